#ifndef NGIRCDSERVER_H
#define NGIRCDSERVER_H

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A throwaway ngircd on a free loopback port, for tests that want a real IRC
// server. Started by the constructor, stopped by the destructor.
class NgircdServer
{
public:
    NgircdServer();
    ~NgircdServer();

    bool isRunning() const { return running; }
    QString error() const { return lastError; }
    quint16 port() const { return serverPort; }
    QString host() const { return QStringLiteral("127.0.0.1"); }

private:
    QTemporaryDir dir;
    QProcess process;
    quint16 serverPort = 0;
    bool running = false;
    QString lastError;
};

#endif
