#ifndef FIREBIRDSERVER_H
#define FIREBIRDSERVER_H

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A throwaway Firebird 3 server (package firebird3.0-server) on a free
// loopback port, for tests that want a real database server. It runs from a
// root of its own in a temporary directory: its own firebird.conf, lock
// directory and security database with a SYSDBA of its own password, never
// the system's service or users. Started by the constructor, stopped by the
// destructor.
class FirebirdServer
{
public:
    FirebirdServer();
    ~FirebirdServer();

    bool isRunning() const { return running; }
    QString error() const { return lastError; }
    quint16 port() const { return serverPort; }
    QString host() const { return QStringLiteral("127.0.0.1"); }
    QString user() const { return QStringLiteral("SYSDBA"); }
    QString password() const { return serverPassword; }
    // A directory the server may create databases in.
    QString dataDir() const { return dir.filePath(QStringLiteral("data")); }

private:
    bool prepareRoot(const QString& systemRoot);
    bool writeConf();

    QTemporaryDir dir;
    QProcess process;
    QProcessEnvironment environment;
    QString serverPassword;
    quint16 serverPort = 0;
    bool running = false;
    QString lastError;
};

#endif
