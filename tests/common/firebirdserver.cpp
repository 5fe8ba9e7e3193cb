#include "firebirdserver.h"

#include "tests/common/serverprocess.h"

#include "db/engine.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

static const QString serverProgram = QStringLiteral("/usr/sbin/firebird");

FirebirdServer::FirebirdServer()
{
    const QString systemRoot = Database::systemEngineRoot();
    if (!QFileInfo(serverProgram).isExecutable() || systemRoot.isEmpty()) {
        lastError = QStringLiteral("the Firebird 3 server is not installed (package firebird3.0-server)");
        return;
    }
    serverPassword = QStringLiteral("t%1").arg(QRandomGenerator::global()->generate(), 0, 36);
    if (!prepareRoot(systemRoot))
        return;
    // Without options the server stays in the foreground as one SuperServer
    // process, so its PID is the one to stop.
    process.setProcessEnvironment(environment);
    // The free port may be taken between the probe and the server's bind.
    for (int attempt = 0; attempt < 3 && !running; ++attempt) {
        serverPort = freeLoopbackPort();
        running = writeConf() && startServerProcess(process, serverProgram, {}, serverPort, 30000, &lastError);
    }
}

bool FirebirdServer::prepareRoot(const QString& systemRoot)
{
    const QString root = dir.filePath(QStringLiteral("root"));
    const QString lock = dir.filePath(QStringLiteral("lock"));
    if (!dir.isValid() || !QDir().mkpath(root) || !QDir().mkpath(lock) || !QDir().mkpath(dataDir())) {
        lastError = QStringLiteral("cannot make the server's directories");
        return false;
    }
    const QDir system(systemRoot);
    for (const QString& name : system.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System)) {
        if (name != QLatin1String("firebird.conf") && name != QLatin1String("databases.conf")
            && !QFile::link(system.filePath(name), root + QLatin1Char('/') + name)) {
            lastError = QStringLiteral("cannot link %1 into the server's root").arg(name);
            return false;
        }
    }
    environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("FIREBIRD"), root);
    environment.insert(QStringLiteral("FIREBIRD_LOCK"), lock);
    // Users live in the security database the configuration names; one of
    // the test's own keeps the system's SYSDBA password out of it.
    if (!writeConf())
        return false;
    const QByteArray security = QFile::encodeName(root + QStringLiteral("/security3.fdb"));

    // Embedded, so no server or password is needed yet; Srp is Firebird 3's
    // default authentication, and creates its user table on first use.
    QProcess isql;
    isql.setProcessEnvironment(environment);
    isql.setProcessChannelMode(QProcess::MergedChannels);
    isql.start(QStringLiteral("isql-fb"), {QStringLiteral("-q"), QStringLiteral("-b"), QStringLiteral("-user"),
                                           QStringLiteral("SYSDBA")});
    isql.write("CREATE DATABASE '" + security + "';\n"
               "CREATE USER SYSDBA PASSWORD '" + serverPassword.toLatin1() + "' USING PLUGIN Srp;\n"
               "COMMIT;\n");
    isql.closeWriteChannel();
    if (!isql.waitForFinished(30000) || isql.exitStatus() != QProcess::NormalExit || isql.exitCode() != 0) {
        lastError = QStringLiteral("isql-fb could not make the security database: %1%2")
                        .arg(isql.errorString(), QString::fromLocal8Bit(isql.readAll().right(400)));
        return false;
    }
    return true;
}

bool FirebirdServer::writeConf()
{
    const QString root = environment.value(QStringLiteral("FIREBIRD"));
    const QByteArray conf = "SecurityDatabase = " + QFile::encodeName(root) + "/security3.fdb\n"
                            "RemoteServicePort = " + QByteArray::number(serverPort) + "\n"
                            "RemoteBindAddress = 127.0.0.1\n";
    if (writeFile(root + QStringLiteral("/firebird.conf"), conf))
        return true;
    lastError = QStringLiteral("cannot write firebird.conf");
    return false;
}

FirebirdServer::~FirebirdServer()
{
    running = false;
    // SIGTERM ends it in about 0.1 s, but now and then its shutdown hangs for
    // good; the data is throwaway, so a killed server costs nothing.
    stopServerProcess(process, 1000);
}
