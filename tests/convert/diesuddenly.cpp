// Starts the command line given as its one argument through TProcess, prints the child's id and kills itself
// outright, as a crash or SIGKILL would end the program.
#include "convert/process.h"

#include <QCoreApplication>

#include <csignal>
#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    TProcess process;
    process.setCommandLine(app.arguments().value(1));
    process.setOptions(poUsePipes | poStderrToOutPut);
    process.Execute();
    std::printf("%u\n", process.ProcessID());
    std::fflush(stdout);
    ::raise(SIGKILL);
    return 0;
}
