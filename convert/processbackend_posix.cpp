#include "processbackend.h"

#include <QByteArrayList>
#include <QDeadlineTimer>
#include <QFile>
#include <QStandardPaths>
#include <QThread>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace ProcessBackend {

int lastError()
{
    return errno;
}

int createPipe(Pipe &pipe)
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return errno;
    pipe.readEnd = fds[0];
    pipe.writeEnd = fds[1];
    return 0;
}

void closeHandle(Handle handle)
{
    if (handle != NoHandle)
        ::close(int(handle));
}

qint32 readHandle(Handle handle, void *buffer, qint32 count)
{
    if (handle == NoHandle || count <= 0)
        return 0;
    ssize_t n;
    do
        n = ::read(int(handle), buffer, size_t(count));
    while (n < 0 && errno == EINTR);
    return n > 0 ? qint32(n) : 0;
}

qint32 writeHandle(Handle handle, const void *buffer, qint32 count)
{
    if (handle == NoHandle || count <= 0)
        return 0;
    // A gone reader must give 0, not kill the program: hold SIGPIPE back for this thread and
    // swallow the one the write may have raised.
    sigset_t pipeSignal, old;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, &old);
    ssize_t n;
    do
        n = ::write(int(handle), buffer, size_t(count));
    while (n < 0 && errno == EINTR);
    if (n < 0 && errno == EPIPE && !sigismember(&old, SIGPIPE)) {
        const timespec zero{0, 0};
        while (sigtimedwait(&pipeSignal, nullptr, &zero) < 0 && errno == EINTR) {
        }
    }
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
    return n > 0 ? qint32(n) : 0;
}

bool waitReadable(Handle handle, int msecs)
{
    if (handle == NoHandle)
        return true;
    pollfd p{int(handle), POLLIN, 0};
    int r;
    do
        r = ::poll(&p, 1, msecs);
    while (r < 0 && errno == EINTR);
    return r != 0;
}

QByteArray resolveProgram(const QByteArray &name)
{
    if (name.isEmpty() || name.contains('/'))
        return name;
    const QString found = QStandardPaths::findExecutable(QFile::decodeName(name));
    return found.isEmpty() ? name : QFile::encodeName(found);
}

namespace {

// How often a child is asked about its end when no process descriptor can wait for it.
constexpr qint64 PollMsecs = 10;

bool fallbacksForced()
{
    return qEnvironmentVariableIsSet("TOLVANE_PROCESS_FALLBACKS");
}

std::vector<char *> pointers(QList<QByteArray> &texts)
{
    std::vector<char *> result;
    result.reserve(size_t(texts.size()) + 1);
    for (QByteArray &t : texts)
        result.push_back(t.data());
    result.push_back(nullptr);
    return result;
}

// Closes every descriptor above 2 but keep by walking the descriptor table; for kernels without
// close_range. Entries are read into a buffer on the stack: nothing here may allocate.
void closeListedDescriptors(int keep)
{
    const int dir = ::open("/proc/self/fd", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) {
        rlimit limit{};
        const rlim_t last = ::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY
                                ? limit.rlim_cur
                                : rlim_t(1) << 20;
        for (rlim_t fd = 3; fd < last; ++fd)
            if (int(fd) != keep)
                ::close(int(fd));
        return;
    }
    // Closing while reading may move later entries; read again until a pass finds nothing to close.
    for (bool closedAny = true; closedAny;) {
        closedAny = false;
        ::lseek(dir, 0, SEEK_SET);
        alignas(8) char buffer[4096];
        long n;
        while ((n = ::syscall(SYS_getdents64, dir, buffer, sizeof buffer)) > 0) {
            for (long at = 0; at < n;) {
                const char *entry = buffer + at;
                unsigned short length;
                std::memcpy(&length, entry + 16, sizeof length);
                const char *name = entry + 19;
                at += length;
                int fd = 0;
                if (*name < '0' || *name > '9')
                    continue;
                for (; *name >= '0' && *name <= '9'; ++name)
                    fd = fd * 10 + (*name - '0');
                if (fd > 2 && fd != keep && fd != dir) {
                    ::close(fd);
                    closedAny = true;
                }
            }
        }
    }
    ::close(dir);
}

// The child gets its three standard streams and nothing else, whatever flags the parent's
// descriptors carry; keep (close-on-exec) reports a failed exec.
void closeOtherDescriptors(int keep, bool withoutCloseRange)
{
    if (!withoutCloseRange) {
        const bool closed = (keep <= 3 || ::syscall(SYS_close_range, 3u, unsigned(keep - 1), 0u) == 0) &&
                            ::syscall(SYS_close_range, unsigned(qMax(keep + 1, 3)), ~0u, 0u) == 0;
        if (closed)
            return;
    }
    closeListedDescriptors(keep);
}

// Only async-signal-safe calls from here on: the parent has other threads.
[[noreturn]] void runChild(const SpawnRequest &r, const char *program, char *const *argv, char *const *envp,
                           int errorPipe, pid_t parent, bool fallbacks)
{
    // The child dies with us even when we are killed outright. The signal follows the thread that
    // forked: the worker thread lives until its encoder has ended.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent)
        ::_exit(127);
    const Handle wanted[3] = {r.stdIn, r.stdOut, r.stdErr};
    for (int target = 0; target < 3; ++target) {
        const int fd = int(wanted[target]);
        if (wanted[target] == NoHandle)
            continue;
        if (fd == target)
            ::fcntl(fd, F_SETFD, 0);
        else if (::dup2(fd, target) < 0)
            goto failed;
    }
    closeOtherDescriptors(errorPipe, fallbacks);
    if (!r.directory.isEmpty() && ::chdir(r.directory.constData()) != 0)
        goto failed;
    if (r.newProcessGroup)
        ::setpgid(0, 0);
    if (r.niceness != 0)
        ::setpriority(PRIO_PROCESS, 0, r.niceness);
    {
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        ::signal(SIGPIPE, SIG_DFL);
    }
    if (r.suspended)
        ::raise(SIGSTOP);
    ::execve(program, argv, envp);
failed:
    const int error = errno;
    [[maybe_unused]] ssize_t ignored = ::write(errorPipe, &error, sizeof error);
    ::_exit(127);
}

} // namespace

// vfork spares copying the page tables of a large program for every file; the child only calls the
// system before exec. A child that stops itself before exec needs its own copy of memory. Nothing of
// this frame is used by the parent after the call but its result.
static pid_t startChild(const SpawnRequest &request, char *const *argv, char *const *envp, int errorPipe,
                        pid_t parent, bool fallbacks)
{
    const pid_t child = request.suspended ? ::fork() : ::vfork();
    if (child == 0)
        runChild(request, request.program.constData(), argv, envp, errorPipe, parent, fallbacks);
    return child;
}

int spawn(const SpawnRequest &request, qint64 &pid)
{
    QList<QByteArray> arguments = request.arguments;
    if (arguments.isEmpty())
        arguments.append(request.program);
    QList<QByteArray> environment = request.environment;
    const std::vector<char *> argv = pointers(arguments);
    const std::vector<char *> envp = pointers(environment);
    char *const *env = request.environment.isEmpty() ? environ : envp.data();

    const bool fallbacks = fallbacksForced();
    const pid_t parent = ::getpid();
    // The child reports a failed exec through this pipe; it closes unread when exec succeeds.
    Pipe status;
    if (const int error = createPipe(status))
        return error;
    const pid_t child = startChild(request, argv.data(), env, int(status.writeEnd), parent, fallbacks);
    if (child < 0) {
        const int error = errno;
        closeHandle(status.readEnd);
        closeHandle(status.writeEnd);
        return error;
    }

    closeHandle(status.writeEnd);
    int childError = 0;
    if (request.suspended) {
        // The child stops itself before exec; a failing exec then shows as exit code 127.
        int st = 0;
        while (::waitpid(child, &st, WUNTRACED) < 0 && errno == EINTR) {
        }
        if (!WIFSTOPPED(st)) {
            if (::read(int(status.readEnd), &childError, sizeof childError) != ssize_t(sizeof childError) ||
                childError == 0)
                childError = ECHILD;
        }
    } else {
        ssize_t n;
        do
            n = ::read(int(status.readEnd), &childError, sizeof childError);
        while (n < 0 && errno == EINTR);
        if (n != ssize_t(sizeof childError))
            childError = 0;
        else
            while (::waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
            }
    }
    closeHandle(status.readEnd);
    if (childError)
        return childError;
    pid = child;
    return 0;
}

WaitResult waitChild(qint64 pid, bool block, int &exitCode)
{
    if (pid <= 0)
        return WaitResult::Failed;
    int st = 0;
    pid_t r;
    do
        r = ::waitpid(pid_t(pid), &st, block ? 0 : WNOHANG);
    while (r < 0 && errno == EINTR);
    if (r == 0)
        return WaitResult::Running;
    if (r < 0)
        return WaitResult::Failed;
    if (WIFSIGNALED(st)) {
        exitCode = 128 + WTERMSIG(st);
        return WTERMSIG(st) == SIGKILL ? WaitResult::Killed : WaitResult::Exited;
    }
    exitCode = WEXITSTATUS(st);
    return WaitResult::Exited;
}

WaitResult waitChildFor(qint64 pid, int msecs, int &exitCode)
{
    if (msecs <= 0 || pid <= 0)
        return waitChild(pid, msecs < 0, exitCode);
    // A process descriptor becomes readable when the child ends, so the wait needs no polling.
    const int fd = fallbacksForced() ? -1 : int(::syscall(SYS_pidfd_open, pid_t(pid), 0));
    if (fd >= 0) {
        pollfd p{fd, POLLIN, 0};
        while (::poll(&p, 1, msecs) < 0 && errno == EINTR) {
        }
        ::close(fd);
        return waitChild(pid, false, exitCode);
    }
    // Without one (older kernels, or refused): ask now and then until the time is up.
    const QDeadlineTimer deadline(msecs);
    for (;;) {
        const WaitResult result = waitChild(pid, false, exitCode);
        if (result != WaitResult::Running || deadline.hasExpired())
            return result;
        QThread::msleep(quint64(qMin(PollMsecs, deadline.remainingTime())));
    }
}

bool killChild(qint64 pid)
{
    return pid > 0 && ::kill(pid_t(pid), SIGKILL) == 0;
}

bool stopChild(qint64 pid)
{
    return pid > 0 && ::kill(pid_t(pid), SIGSTOP) == 0;
}

bool continueChild(qint64 pid)
{
    return pid > 0 && ::kill(pid_t(pid), SIGCONT) == 0;
}

} // namespace ProcessBackend
