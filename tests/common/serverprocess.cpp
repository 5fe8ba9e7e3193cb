#include "tests/common/serverprocess.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

quint16 freeLoopbackPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

bool startServerProcess(QProcess& process, const QString& program, const QStringList& arguments, quint16 port,
                        int timeoutMs, QString* error)
{
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    const QDeadlineTimer deadline(timeoutMs);
    while (process.waitForStarted(15000) && !deadline.hasExpired()) {
        if (process.state() != QProcess::Running)
            break;
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, port);
        if (probe.waitForConnected(200))
            return true;
        QThread::msleep(10);
    }
    *error = QStringLiteral("%1 did not start on port %2: %3")
                 .arg(QFileInfo(program).fileName())
                 .arg(port)
                 .arg(QString::fromLocal8Bit(process.readAll().right(400)));
    process.kill();
    process.waitForFinished(2000);
    return false;
}

void stopServerProcess(QProcess& process, int gentleMs)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(gentleMs)) {
        process.kill();
        process.waitForFinished(3000);
    }
}

bool writeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(content) == content.size();
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
