#pragma once

#include "platform/dialogs.h"

// The dialogs themselves: message boxes and file and folder choosers, modal over their owner.
Dialogs::Reply personDialog(const Dialogs::Request &request);
