#include "db/serverprobe.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

#include <ibase.h>

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

}

bool serverAnswers(const Location& location, int timeoutMs, QString* error)
{
    prepareEngine();
    auto probe = std::make_shared<Probe>();
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

    QElapsedTimer waited;
    waited.start();
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (probe->done)
            loop.quit();
    });
    poll.start(20);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    // A stop signal ends every event loop, this one too.
    loop.exec();

    if (!probe->done) {
        *error = waited.elapsed() < timeoutMs
            ? QStringLiteral("stopped while waiting for the database server %1").arg(location.connectString())
            : QStringLiteral("the database server %1 did not answer within %2 s")
                  .arg(location.connectString())
                  .arg(timeoutMs / 1000);
        return false;
    }
    const std::lock_guard<std::mutex> lock(probe->mutex);
    *error = probe->error;
    return probe->error.isEmpty();
}

}
