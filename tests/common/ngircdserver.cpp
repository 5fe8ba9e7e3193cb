#include "ngircdserver.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

NgircdServer::NgircdServer()
{
    program = QStandardPaths::findExecutable(
        QStringLiteral("ngircd"), {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/bin"), QStringLiteral("/sbin")});
    if (program.isEmpty()) {
        lastError = QStringLiteral("ngircd is not installed");
        return;
    }
    // The free port may be taken between the probe and ngircd's bind.
    for (int attempt = 0; attempt < 3 && !running; ++attempt) {
        {
            QTcpServer probe;
            probe.listen(QHostAddress::LocalHost, 0);
            serverPort = probe.serverPort();
        }
        running = launch();
    }
}

bool NgircdServer::start()
{
    if (!running && !program.isEmpty())
        running = launch();
    return running;
}

void NgircdServer::stop()
{
    running = false;
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(3000)) {
        process.kill();
        process.waitForFinished(3000);
    }
}

bool NgircdServer::launch()
{
    const QByteArray text =
        "[Global]\nName = irc.quiznewt.test\nInfo = QuizNewt test server\n"
        "AdminInfo1 = test\nAdminInfo2 = test\nAdminEMail = test@localhost\n"
        "Listen = 127.0.0.1\nPorts = " + QByteArray::number(serverPort) + "\n"
        // A missing or empty MOTD file costs every client a 3 s penalty.
        "MotdPhrase = QuizNewt test server\nHelpFile =\n"
        "[Limits]\nMaxConnectionsIP = 0\nMaxNickLength = 30\nPingTimeout = 120\nPongTimeout = 20\n"
        "[Options]\nIdent = no\nPAM = no\nDNS = no\nIncludeDir =\n";
    const QString conf = dir.filePath(QStringLiteral("ngircd.conf"));
    QFile file(conf);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(text) != text.size()) {
        lastError = QStringLiteral("cannot write %1").arg(conf);
        return false;
    }
    file.close();

    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, {QStringLiteral("-n"), QStringLiteral("-f"), conf});
    const QDeadlineTimer deadline(5000);
    while (process.waitForStarted(5000) && !deadline.hasExpired()) {
        if (process.state() != QProcess::Running)
            break;
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, serverPort);
        if (probe.waitForConnected(200))
            return true;
        QThread::msleep(5);
    }
    lastError = QStringLiteral("ngircd did not start on port %1: %2")
                    .arg(serverPort)
                    .arg(QString::fromUtf8(process.readAll().right(400)));
    process.kill();
    process.waitForFinished(2000);
    return false;
}

NgircdServer::~NgircdServer()
{
    stop();
}
