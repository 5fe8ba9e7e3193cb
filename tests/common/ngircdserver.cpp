#include "ngircdserver.h"

#include "tests/common/serverprocess.h"

#include <QStandardPaths>

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
        serverPort = freeLoopbackPort();
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
    stopServerProcess(process);
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
    if (!writeFile(conf, text)) {
        lastError = QStringLiteral("cannot write %1").arg(conf);
        return false;
    }
    return startServerProcess(process, program, {QStringLiteral("-n"), QStringLiteral("-f"), conf}, serverPort, 15000, &lastError);
}

NgircdServer::~NgircdServer()
{
    stop();
}
