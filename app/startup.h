#pragma once

// Runs the whole program; returns its exit code.
int runTolvane(int argc, char **argv);
