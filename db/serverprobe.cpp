#include "db/serverprobe.h"

#include <QEventLoop>
#include <QTimer>

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

#include <QDir>

#include <arpa/inet.h>
#include <ibase.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Database {

namespace {

struct Probe {
    std::atomic<bool> done{false};
    std::mutex mutex;
    QString error;
};

QByteArray parameterBlock(const Location& location)
{
    QByteArray dpb(1, char(isc_dpb_version1));
    for (const auto& [item, value] : {std::pair<char, QByteArray>{char(isc_dpb_user_name), location.user.toUtf8()},
                                      {char(isc_dpb_password), location.password.toUtf8()}}) {
        dpb += item;
        dpb += char(qMin(value.size(), qsizetype(255)));
        dpb += value.left(255);
    }
    return dpb;
}

// The process's open sockets connected to port, by descriptor.
QList<int> socketsTo(int port)
{
    QList<int> found;
    const QStringList fds = QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System);
    for (const QString& name : fds) {
        const int fd = name.toInt();
        struct stat info;
        if (::fstat(fd, &info) != 0 || !S_ISSOCK(info.st_mode))
            continue;
        sockaddr_storage peer{};
        socklen_t length = sizeof peer;
        if (::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &length) != 0)
            continue;
        const int peerPort = peer.ss_family == AF_INET ? ntohs(reinterpret_cast<sockaddr_in*>(&peer)->sin_port)
            : peer.ss_family == AF_INET6                ? ntohs(reinterpret_cast<sockaddr_in6*>(&peer)->sin6_port)
                                                        : -1;
        if (peerPort == port)
            found.append(fd);
    }
    return found;
}

}

ServerAnswer askServer(const Location& location, int timeoutMs, QString* error)
{
    prepareEngine();
    auto probe = std::make_shared<Probe>();
    const QList<int> before = socketsTo(location.port);
    std::thread([probe, target = location.connectString().toUtf8(), dpb = parameterBlock(location)] {
        ISC_STATUS_ARRAY status{};
        isc_db_handle db = 0;
        if (isc_attach_database(status, 0, target.constData(), &db, short(dpb.size()), dpb.constData())) {
            char buffer[512];
            const ISC_STATUS* vector = status;
            QStringList parts;
            while (fb_interpret(buffer, sizeof buffer, &vector))
                parts << QString::fromLocal8Bit(buffer);
            const std::lock_guard<std::mutex> lock(probe->mutex);
            probe->error = parts.join(QStringLiteral(": "));
        } else {
            isc_detach_database(status, &db);
        }
        probe->done = true;
    }).detach();

    // The client library would wait on a silent server's socket for ever and
    // hold up the program's exit: once the time is up, the connection is
    // ended under it, so the attach fails and the thread ends.
    const auto endConnection = [&] {
        for (int fd : socketsTo(location.port)) {
            if (!before.contains(fd))
                ::shutdown(fd, SHUT_RDWR);
        }
    };
    constexpr int graceMs = 2000;
    QEventLoop loop;
    QTimer poll;
    bool timedOut = false;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (probe->done)
            loop.quit();
        else if (timedOut)
            endConnection();
    });
    poll.start(20);
    QTimer::singleShot(timeoutMs, Qt::PreciseTimer, &loop, [&] {
        timedOut = true;
        endConnection();
    });
    QTimer::singleShot(timeoutMs + graceMs, &loop, &QEventLoop::quit);
    // A stop signal ends every event loop, this one too.
    loop.exec();

    if (timedOut || !probe->done) {
        endConnection();
        *error = !timedOut
            ? QStringLiteral("stopped while waiting for the database server %1").arg(location.connectString())
            : QStringLiteral("the database server %1 did not answer within %2 s")
                  .arg(location.connectString())
                  .arg(timeoutMs / 1000);
        return ServerAnswer::Silent;
    }
    const std::lock_guard<std::mutex> lock(probe->mutex);
    *error = probe->error;
    return probe->error.isEmpty() ? ServerAnswer::Attached : ServerAnswer::Refused;
}

}
