#ifndef IRCCLIENT_H
#define IRCCLIENT_H

#include <QElapsedTimer>
#include <QObject>
#include <QStringList>
#include <QTcpSocket>

// A scripted IRC user for tests: connects, joins one channel, says lines and
// records what is said there and to it as "nick: text", decoded from UTF-8
// with formatting codes kept, so a test can see bold codes.
class IrcClient : public QObject
{
public:
    // Registers as nick and joins channel; false if that did not happen in time.
    bool connectAndJoin(quint16 port, const QByteArray& nick, const QByteArray& channel);
    // The same without waiting, so that several register at once: a server
    // may make each registration wait a second.
    void startJoining(quint16 port, const QByteArray& nick, const QByteArray& channel);
    bool isInChannel() const { return inChannel; }
    void say(const QString& text);
    void sendRaw(const QByteArray& line); // without CR LF

    QStringList channelLines() const { return channel_; }
    // When each channel line came, in ms since connectAndJoin().
    QList<qint64> channelTimes() const { return times_; }
    // What was said to us alone, as "nick: text".
    QStringList privateLines() const { return private_; }
    // Nicks seen joining the channel after us.
    QStringList joins() const { return joins_; }
    // Nicks seen quitting the server.
    QStringList quits() const { return quits_; }
    // Waits, serving the event loop, until that many lines are recorded.
    bool waitForChannelLines(int count, int timeoutMs);

private:
    void readLines();

    QTcpSocket socket;
    QByteArray buffer;
    QByteArray ownNick;
    QByteArray channelName;
    bool inChannel = false;
    QStringList channel_;
    QStringList private_;
    QList<qint64> times_;
    QElapsedTimer clock;
    QStringList joins_;
    QStringList quits_;
};

#endif
