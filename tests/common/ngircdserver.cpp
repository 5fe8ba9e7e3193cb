#include "ngircdserver.h"

#include "tests/common/serverprocess.h"

#include <QStandardPaths>

NgircdServer::NgircdServer()
{
    const QString program = QStandardPaths::findExecutable(
        QStringLiteral("ngircd"), {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/bin"), QStringLiteral("/sbin")});
    if (program.isEmpty()) {
        lastError = QStringLiteral("ngircd is not installed");
        return;
    }
    const QString conf = dir.filePath(QStringLiteral("ngircd.conf"));
    // The free port may be taken between the probe and ngircd's bind.
    for (int attempt = 0; attempt < 3 && !running; ++attempt) {
        serverPort = freeLoopbackPort();
        const QByteArray text =
            "[Global]\nName = irc.quiznewt.test\nInfo = QuizNewt test server\n"
            "AdminInfo1 = test\nAdminInfo2 = test\nAdminEMail = test@localhost\n"
            "Listen = 127.0.0.1\nPorts = " + QByteArray::number(serverPort) + "\n"
            // A missing or empty MOTD file costs every client a 3 s penalty.
            "MotdPhrase = QuizNewt test server\nHelpFile =\n"
            "[Limits]\nMaxConnectionsIP = 0\nMaxNickLength = 30\nPingTimeout = 120\nPongTimeout = 20\n"
            "[Options]\nIdent = no\nPAM = no\nDNS = no\nIncludeDir =\n";
        if (!writeFile(conf, text)) {
            lastError = QStringLiteral("cannot write %1").arg(conf);
            return;
        }
        running = startServerProcess(process, program, {QStringLiteral("-n"), QStringLiteral("-f"), conf},
                                     serverPort, 15000, &lastError);
    }
}

NgircdServer::~NgircdServer()
{
    stopServerProcess(process);
}
