#ifndef IRCSERVICES_H
#define IRCSERVICES_H

#include <QByteArray>
#include <QDeadlineTimer>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <functional>

struct IrcMessage;
class QTcpSocket;

// A throwaway IRC network with services, for tests of account login (SASL):
// inspircd on a free loopback port, linked over loopback to atheme, which
// runs NickServ and SaslServ. Started by the constructor (it waits until the
// services have linked), stopped by the destructor.
class IrcServicesServer
{
public:
    IrcServicesServer();
    ~IrcServicesServer();

    bool isRunning() const { return running; }
    QString error() const { return lastError; }
    quint16 port() const { return clientPort; }

    // Registers a NickServ account; it connects with the account as its nick,
    // since NickServ names the account after the nick that registers it.
    bool registerAccount(const QByteArray& account, const QByteArray& password);

private:
    // Returns true when the conversation is over.
    using LineHandler = std::function<bool(const IrcMessage&, QTcpSocket&)>;

    bool startOnce(const QString& ircdProgram, const QString& servicesProgram, const QDeadlineTimer& deadline);
    bool writeConfigs();
    bool waitForServices(int timeoutMs);
    // Connects as nick, registers with the server and feeds it every line
    // until the handler is done; false on timeout or a dropped connection.
    bool talk(const QByteArray& nick, int timeoutMs, const LineHandler& handler);
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
