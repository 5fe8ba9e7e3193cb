#ifndef NGIRCDSERVER_H
#define NGIRCDSERVER_H

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A throwaway ngircd on a free loopback port, for tests that want a real IRC
// server. Started by the constructor, stopped by the destructor.
class NgircdServer
{
public:
    // extraConfig is appended to the generated file (for example an
    // "[Channel]" section); serverPassword, when set, is required by the server.
    explicit NgircdServer(const QByteArray& serverPassword = QByteArray(),
                          const QByteArray& extraConfig = QByteArray());
    ~NgircdServer();

    bool isRunning() const { return running; }
    QString error() const { return lastError; }
    quint16 port() const { return serverPort; }
    QString host() const { return QStringLiteral("127.0.0.1"); }
    // What ngircd printed so far, for a failing test's message.
    QByteArray output();

private:
    bool startOnce();

    QTemporaryDir dir;
    QString program;
    QProcess process;
    QByteArray password;
    QByteArray extra;
    QByteArray log;
    quint16 serverPort = 0;
    bool running = false;
    QString lastError;
};

#endif
