#ifndef IRCCLIENT_H
#define IRCCLIENT_H

#include <QByteArray>
#include <QObject>
#include <QStringList>
#include <QTcpSocket>

// A scripted IRC user for tests: connects, joins one channel, says lines and
// records what it is told. Recorded lines read "nick: text", decoded from
// UTF-8 with formatting codes kept, so a test can see bold codes.
class IrcClient : public QObject
{
    Q_OBJECT

public:
    explicit IrcClient(QObject* parent = nullptr);
    ~IrcClient() override;

    // Registers as nick and joins channel; false if that did not happen in time.
    bool connectAndJoin(quint16 port, const QByteArray& nick, const QByteArray& channel,
                        int timeoutMs = 5000);
    void say(const QString& text);                          // to the channel
    void sayTo(const QByteArray& target, const QString& text);
    void sendRaw(const QByteArray& line);                   // without CR LF
    void quit();

    bool isConnected() const { return socket.state() == QAbstractSocket::ConnectedState; }
    QByteArray nick() const { return ownNick; }
    QStringList channelLines() const { return channel_; }
    QStringList privateLines() const { return private_; }
    // Nicks seen joining the channel after us.
    QStringList joins() const { return joins_; }
    void clear();

    // Wait, serving the event loop, until that many lines are recorded.
    bool waitForChannelLines(int count, int timeoutMs = 5000);
    bool waitForPrivateLines(int count, int timeoutMs = 5000);
    bool waitForJoin(const QString& nick, int timeoutMs = 5000);

private:
    void readLines();

    QTcpSocket socket;
    QByteArray buffer;
    QByteArray ownNick;
    QByteArray channelName;
    bool inChannel = false;
    QStringList channel_;
    QStringList private_;
    QStringList joins_;
};

#endif
