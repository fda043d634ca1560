#pragma once

#include <QByteArray>
#include <QList>
#include <QtGlobal>

// The operating-system side of starting and watching a child program. Handles are file descriptors
// and the process handle is the process id; everything above this layer is platform-neutral.
namespace ProcessBackend {

using Handle = qintptr;
constexpr Handle NoHandle = -1;

struct Pipe
{
    Handle readEnd = NoHandle;
    Handle writeEnd = NoHandle;
};

// Both ends are closed on exec, so no other child started meanwhile keeps a pipe open.
// Returns 0 or the system error code.
int createPipe(Pipe &pipe);
void closeHandle(Handle handle);

// Blocking read of up to count bytes; 0 at end of data or on failure.
qint32 readHandle(Handle handle, void *buffer, qint32 count);
// Returns the bytes written, 0 on failure (also when the reader is gone: no SIGPIPE is raised).
qint32 writeHandle(Handle handle, const void *buffer, qint32 count);
// True when a read would not block (data waiting or the writers are gone).
bool waitReadable(Handle handle, int msecs);

struct SpawnRequest
{
    QByteArray program;
    QList<QByteArray> arguments;   // argv, the first one included
    QList<QByteArray> environment; // NAME=VALUE entries; empty keeps the parent's environment
    QByteArray directory;          // empty keeps the parent's working directory
    Handle stdIn = NoHandle;       // NoHandle: the child shares the parent's stream
    Handle stdOut = NoHandle;
    Handle stdErr = NoHandle;
    bool suspended = false;
    bool newProcessGroup = false;
    int niceness = 0;
};

// Starts the child; returns 0 and its id, or the system error code (2 for a missing program). The
// child has no descriptor but its standard streams and is killed when this process dies.
// TOLVANE_PROCESS_FALLBACKS in the environment makes spawn and waitChildFor do without close_range
// and pidfd, as on older kernels, so those ways can be tested too.
int spawn(const SpawnRequest &request, qint64 &pid);

enum class WaitResult
{
    Running,
    Exited,
    Killed,
    Failed
};
// Reaps the child when it has ended. Exited gives its exit code (128 + the signal for a child ended by
// any signal but the one killChild sends); Killed means killChild's signal ended it.
WaitResult waitChild(qint64 pid, bool block, int &exitCode);
// The same, waiting at most msecs for the end (0: not at all, -1: without limit); Running when the
// child is still active by then.
WaitResult waitChildFor(qint64 pid, int msecs, int &exitCode);

bool killChild(qint64 pid);
bool stopChild(qint64 pid);
bool continueChild(qint64 pid);

// The program as the command line names it: a bare name is looked up on PATH like a shell would.
QByteArray resolveProgram(const QByteArray &name);

int lastError();

} // namespace ProcessBackend
