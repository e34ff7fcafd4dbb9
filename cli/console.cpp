#include "console.h"

#include <QSocketNotifier>

#include <cstdio>

#ifdef Q_OS_WIN
#include <io.h>
#include <windows.h>
#else
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#ifdef Q_OS_WIN

bool stderrIsTerminal()
{
    return _isatty(_fileno(stderr));
}

void ignoreBrokenPipe() {}

namespace {
StopSignals *instance = nullptr;

// Runs on a thread the system creates; queuing the signal is safe from any thread.
BOOL WINAPI onConsoleEvent(DWORD)
{
    QMetaObject::invokeMethod(instance, &StopSignals::stopRequested, Qt::QueuedConnection);
    return TRUE;
}
} // namespace

StopSignals::StopSignals(QObject *parent)
    : QObject(parent)
{
    instance = this;
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

StopSignals::~StopSignals()
{
    SetConsoleCtrlHandler(onConsoleEvent, FALSE);
    instance = nullptr;
}

#else

bool stderrIsTerminal()
{
    return isatty(fileno(stderr));
}

void ignoreBrokenPipe()
{
    std::signal(SIGPIPE, SIG_IGN);
}

namespace {
// The handler may only do async-signal-safe work: it writes one byte into a pipe whose other
// end the event loop watches.
int wakeFds[2] = {-1, -1};

constexpr char StopByte = 1;
constexpr char MarkerByte = 2;

void onSignal(int signal)
{
    const char byte = signal == SIGUSR1 ? MarkerByte : StopByte;
    [[maybe_unused]] const ssize_t written = ::write(wakeFds[1], &byte, 1);
}
} // namespace

StopSignals::StopSignals(QObject *parent)
    : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, wakeFds) != 0)
        qFatal("tevrano-log: cannot create the signal pipe");
    for (int fd : wakeFds) {
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
        ::fcntl(fd, F_SETFL, O_NONBLOCK);
    }
    auto *notifier = new QSocketNotifier(wakeFds[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] {
        char bytes[16];
        bool stop = false;
        ssize_t got = 0;
        while ((got = ::read(wakeFds[0], bytes, sizeof bytes)) > 0) {
            for (ssize_t i = 0; i < got; ++i) {
                if (bytes[i] == MarkerByte)
                    emit markerRequested();
                else
                    stop = true;
            }
        }
        if (stop)
            emit stopRequested();
    });
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGUSR1, &action, nullptr);
}

StopSignals::~StopSignals()
{
    ::signal(SIGINT, SIG_DFL);
    ::signal(SIGTERM, SIG_DFL);
    ::signal(SIGUSR1, SIG_DFL);
    delete findChild<QSocketNotifier *>();
    for (int &fd : wakeFds) {
        ::close(fd);
        fd = -1;
    }
}

#endif
