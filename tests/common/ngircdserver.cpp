#include "ngircdserver.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

static quint16 freeLoopbackPort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}

NgircdServer::NgircdServer(const QByteArray& serverPassword, const QByteArray& extraConfig)
    : password(serverPassword), extra(extraConfig)
{
    program = QStandardPaths::findExecutable(QStringLiteral("ngircd"));
    if (program.isEmpty())
        program = QStandardPaths::findExecutable(QStringLiteral("ngircd"),
                                                 {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")});
    if (program.isEmpty()) {
        lastError = QStringLiteral("ngircd is not installed");
        return;
    }
    // The free port may be taken between the probe and ngircd's bind.
    for (int attempt = 0; attempt < 3 && !running; ++attempt)
        running = startOnce();
}

bool NgircdServer::startOnce()
{
    serverPort = freeLoopbackPort();
    if (serverPort == 0) {
        lastError = QStringLiteral("no free loopback port");
        return false;
    }
    const QString conf = dir.filePath(QStringLiteral("ngircd.conf"));
    QByteArray text =
        "[Global]\n"
        "Name = irc.quiznewt.test\n"
        "Info = QuizNewt test server\n"
        "AdminInfo1 = test\nAdminInfo2 = test\nAdminEMail = test@localhost\n"
        "Listen = 127.0.0.1\n"
        "Ports = " + QByteArray::number(serverPort) + "\n"
        // A missing or empty MOTD file costs every client a 3 s penalty.
        "MotdPhrase = QuizNewt test server\n"
        "HelpFile =\n";
    if (!password.isEmpty())
        text += "Password = " + password + "\n";
    text +=
        "[Limits]\n"
        "MaxConnectionsIP = 0\n"
        "MaxNickLength = 30\n"
        "PingTimeout = 120\nPongTimeout = 20\n"
        "[Options]\n"
        "Ident = no\nPAM = no\nDNS = no\n"
        "IncludeDir =\n";
    text += extra;
    QFile file(conf);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(text) != text.size()) {
        lastError = QStringLiteral("cannot write %1").arg(conf);
        return false;
    }
    file.close();

    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, {QStringLiteral("-n"), QStringLiteral("-f"), conf});
    if (!process.waitForStarted(5000)) {
        lastError = process.errorString();
        return false;
    }
    const QDeadlineTimer deadline(5000);
    while (!deadline.hasExpired()) {
        if (process.state() != QProcess::Running) {
            log += process.readAll();
            lastError = QStringLiteral("ngircd exited: %1").arg(QString::fromUtf8(log.right(400)));
            return false;
        }
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, serverPort);
        if (probe.waitForConnected(200)) {
            probe.abort();
            return true;
        }
        QThread::msleep(5);
    }
    lastError = QStringLiteral("ngircd did not accept connections on port %1").arg(serverPort);
    process.kill();
    process.waitForFinished(2000);
    return false;
}

QByteArray NgircdServer::output()
{
    log += process.readAll();
    return log;
}

NgircdServer::~NgircdServer()
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(3000)) {
        process.kill();
        process.waitForFinished(3000);
    }
}
