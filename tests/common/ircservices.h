#ifndef IRCSERVICES_H
#define IRCSERVICES_H

#include <QByteArray>
#include <QDeadlineTimer>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A throwaway IRC network with services, for tests of account login (SASL):
// inspircd on a free loopback port, linked over loopback to atheme, which
// runs SaslServ and knows one account. Started by the constructor (it waits
// until the services have linked), stopped by the destructor.
class IrcServicesServer
{
public:
    IrcServicesServer(const QByteArray& account, const QByteArray& password);
    ~IrcServicesServer();

    bool isRunning() const { return running; }
    QString error() const { return lastError; }
    quint16 port() const { return clientPort; }

private:
    bool startOnce(const QString& ircdProgram, const QString& servicesProgram, const QDeadlineTimer& deadline);
    bool writeConfigs();
    void stop();

    QTemporaryDir dir;
    QProcess ircd;
    QProcess services;
    quint16 clientPort = 0;
    quint16 linkPort = 0;
    bool running = false;
    QString lastError;
};

#endif
