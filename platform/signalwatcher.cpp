#include "signalwatcher.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
// A signal handler can reach nothing but this: the write end of the watcher's pipe.
volatile sig_atomic_t writeEnd = -1;

void onSignal(int signalNumber)
{
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    if (writeEnd >= 0) [[maybe_unused]]
        const ssize_t written = ::write(writeEnd, &byte, 1);
    errno = saved;
}
} // namespace

SignalWatcher::SignalWatcher(std::initializer_list<int> signalNumbers, Handler handler, QObject *parent)
    : QObject(parent), m_handler(std::move(handler)), m_signals(signalNumbers)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, m_fds) != 0)
        return;
    writeEnd = m_fds[0];
    m_notifier = new QSocketNotifier(m_fds[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] { readSignals(); });

    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int s : m_signals)
        ::sigaction(s, &action, nullptr);
}

SignalWatcher::~SignalWatcher()
{
    for (const int s : std::as_const(m_signals))
        ::signal(s, SIG_DFL);
    writeEnd = -1;
    delete m_notifier;
    for (const int fd : m_fds) {
        if (fd >= 0)
            ::close(fd);
    }
}

void SignalWatcher::readSignals()
{
    unsigned char bytes[16];
    const ssize_t n = ::read(m_fds[1], bytes, sizeof bytes);
    for (ssize_t i = 0; i < n; ++i) {
        if (m_handler)
            m_handler(bytes[i]);
    }
}
