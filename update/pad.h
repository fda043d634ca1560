#pragma once

#include "platform/exception.h"

#include <QByteArray>
#include <QString>

// The published version file cannot be read: not well-formed, a branch is missing, or a read
// element holds more than text.
class EPadError : public Exception
{
public:
    using Exception::Exception;
};

struct PadInfo
{
    QString version;     // root/Program_Info/Program_Version
    QString downloadUrl; // root/Web_Info/Download_URLs/Primary_Download_URL
};

// Reads a PAD file; its encoding comes from the document. A missing leaf reads as empty text.
// Takes any bytes: raises EPadError and nothing else for what it cannot read.
PadInfo readPad(const QByteArray &data);
