#ifndef IRCROOMLINK_H
#define IRCROOMLINK_H

#include "ircmessage.h"
#include "roomlink.h"
#include "sendqueue.h"

#include <QAbstractSocket>
#include <QElapsedTimer>
#include <QPointer>

class QTimer;

// Where the room is: one IRC server and one channel.
struct IrcRoomSettings
{
    QString server = QStringLiteral("127.0.0.1");
    quint16 port = 6667;
    bool tls = false;
    QByteArray password;    // the server password, sent with PASS when set
    QByteArray nick = "QuizNewt";
    QByteArray channel = "#trivia";

    // Reads the "Room" group of the program's settings.
    static IrcRoomSettings read(QSettings& settings);
};

// The room as an IRC channel: QuizNewt is its own client. TCP and TLS share
// one code path through QAbstractSocket.
class IrcRoomLink : public RoomLink
{
    Q_OBJECT

public:
    explicit IrcRoomLink(const IrcRoomSettings& settings, QObject* parent = nullptr,
                         int burst = SendQueue::defaultBurst,
                         int intervalMs = SendQueue::defaultIntervalMs);
    ~IrcRoomLink() override;

    void join() override;
    bool isJoined() const override { return state == Joined; }
    void post(const QString& text) override;
    void leave() override;

    // The nick the server accepted, which may differ from the wanted one.
    QByteArray currentNick() const { return nick; }
    bool isConnected() const { return state != Unconnected && state != Connecting; }
    int queuedLines() const { return queue.size(); }

Q_SIGNALS:
    // The connection ended, by the server, the network or leave().
    void disconnected();

private:
    enum State { Unconnected, Connecting, Registering, Registered, Joined };

    void openSocket();
    void socketReady();
    void readLines();
    void handle(const IrcMessage& message);
    void handlePrivmsg(const IrcMessage& message);
    void nickInUse();
    void writeNow(const QByteArray& line);
    void flushQueue();
    void dropConnection();
    void checkAlive();

    IrcRoomSettings settings;
    QPointer<QAbstractSocket> socket;
    QByteArray readBuffer;
    State state = Unconnected;
    QByteArray nick;
    QByteArray channelLower;
    SendQueue queue;
    QElapsedTimer clock;
    QTimer* sendTimer = nullptr;
    QTimer* aliveTimer = nullptr;
    qint64 lastActivity = 0;
    bool pingSent = false;
    int nickTries = 0;
    int connectionGeneration = 0;
    bool reading = false;
};

#endif
