#include "app/stopsignals.h"

#include <QSocketNotifier>

#include <csignal>
#include <pthread.h>
#include <ibase.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace {

sigset_t stopSet()
{
    sigset_t set;
    sigemptyset(&set);
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaddset(&set, signal);
    return set;
}

// The thread that reads the signalfd, where the signal is blocked.
pthread_t readingThread;

// Called on the engine's own thread: the request goes to the reading thread
// as the signal it stands for, to be read there like any other.
int engineShutdown(const int reason, const int, void*)
{
    if (reason != fb_shutrsn_signal)
        return 0;
    pthread_kill(readingThread, SIGTERM);
    return 1;
}

}

void StopSignals::blockInAllThreads()
{
    const sigset_t set = stopSet();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

StopSignals::StopSignals(QObject* parent)
    : QObject(parent)
{
    // Harmless when main() did it already; a test thread needs it here.
    blockInAllThreads();
    const sigset_t set = stopSet();
    fd = ::signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
    if (fd >= 0) {
        notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
        connect(notifier, &QSocketNotifier::activated, this, &StopSignals::readSignals);
    }
    readingThread = pthread_self();
    ISC_STATUS_ARRAY status;
    fb_shutdown_callback(status, engineShutdown, fb_shut_confirmation, nullptr);
}

StopSignals::~StopSignals()
{
    if (fd >= 0)
        ::close(fd);
}

void StopSignals::readSignals()
{
    signalfd_siginfo info;
    int last = 0;
    while (::read(fd, &info, sizeof info) == ssize_t(sizeof info))
        last = int(info.ssi_signo);
    if (last) {
        stopped = true;
        emit stopRequested(last);
    }
}
