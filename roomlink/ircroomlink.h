#ifndef IRCROOMLINK_H
#define IRCROOMLINK_H

#include "ircmessage.h"
#include "roomlink.h"
#include "sendqueue.h"
#include "settings/settings.h"

#include <QAbstractSocket>
#include <QElapsedTimer>
#include <QPointer>

class QTimer;

// Where the room is: one IRC server and one channel, as the link sends them.
struct IrcRoomSettings
{
    // The defaults of the settings' Room group.
    IrcRoomSettings() : IrcRoomSettings(Settings::Room()) {}
    explicit IrcRoomSettings(const Settings::Room& room);

    QString server;
    quint16 port;
    bool tls;
    QByteArray password;    // the server password, sent with PASS when set
    QByteArray nick;
    QByteArray channel;
    // An account to log in with SASL PLAIN before joining; empty: no login.
    QByteArray saslUser;
    QByteArray saslPassword;
    // Not part of where the room is: changing them keeps the link in place.
    int rejoinAfterKickSeconds = 30;    // 0: stay out after a kick
    bool greetOnRejoin = true;

    // Reads the "Room" group of the program's settings; a setting that
    // cannot be used keeps its default.
    static IrcRoomSettings read(QSettings& settings);

    bool operator==(const IrcRoomSettings& other) const;
    bool operator!=(const IrcRoomSettings& other) const { return !(*this == other); }
};

// The wait before reconnect attempt `attempt` (0 for the first): baseMs
// doubled per attempt up to five minutes, less up to a fifth of it by jitter
// (0 <= jitter < 1) so that clients lost together do not return together.
qint64 reconnectDelayMs(int attempt, qint64 baseMs, double jitter);

// The AUTHENTICATE lines (without CR LF) that carry a SASL PLAIN login.
QList<QByteArray> saslPlainLines(const QByteArray& user, const QByteArray& password);

// The room as an IRC channel: QuizNewt is its own client. TCP and TLS share
// one code path through QAbstractSocket. A lost connection is reconnected on
// its own, with a growing wait; a kick is rejoined once after the configured
// wait, unless we were banned; a refused join or login is not retried. A nick
// taken at registration is won back as soon as its holder leaves.
class IrcRoomLink : public RoomLink
{
    Q_OBJECT

public:
    static constexpr int defaultReconnectBaseMs = 2000;

    explicit IrcRoomLink(const IrcRoomSettings& settings, QObject* parent = nullptr,
                         int burst = SendQueue::defaultBurst,
                         int intervalMs = SendQueue::defaultIntervalMs);
    ~IrcRoomLink() override;

    void join() override;
    bool isJoined() const override { return state == Joined; }
    void post(const QString& text, std::function<void()> onSent = {}) override;
    void postReply(const QString& name, const QString& text, bool toRoom = false) override;
    void leave() override;
    bool configure(QSettings& settings) override;
    QString stateText() const override { return state_; }
    int textBytes(const QString& name, bool toRoom) const override;
    bool greetsOnJoin() const override { return !returning || settings.greetOnRejoin; }

    // The nick the server accepted, which may differ from the wanted one.
    QByteArray currentNick() const { return nick; }
    // The first wait before reconnecting; tests make it short.
    void setReconnectBaseMs(int ms) { reconnectBaseMs = ms; }

private:
    enum State { Unconnected, Connecting, Registering, Registered, Joined };
    enum class Sasl { Off, Listing, Requested, Authenticating, Done };

    void openSocket();
    void socketReady();
    void socketFailed(QAbstractSocket::SocketError error);
    void readLines();
    void handle(const IrcMessage& message);
    void handleCap(const IrcMessage& message);
    void handlePrivmsg(const IrcMessage& message);
    void nickInUse();
    void regainNick();
    void kicked(const QString& why);
    void watchBans(const IrcMessage& message);
    void leftRoom(const QString& why);
    void quit(const QString& why);
    void writeNow(const QByteArray& line);
    void flushQueue();
    void endConnection(const QString& why, bool graceful = false);
    void scheduleReconnect();
    void checkAlive();
    void setStateText(const QString& text);

    IrcRoomSettings settings;
    QPointer<QAbstractSocket> socket;
    QByteArray readBuffer;
    State state = Unconnected;
    QString state_ = QStringLiteral("Not connected");
    QByteArray nick;
    QByteArray channelLower;
    SendQueue queue;
    QElapsedTimer clock;
    QTimer* sendTimer = nullptr;
    QTimer* aliveTimer = nullptr;
    QTimer* reconnectTimer = nullptr;
    QTimer* rejoinTimer = nullptr;
    qint64 lastActivity = 0;
    bool pingSent = false;
    int nickTries = 0;
    int connectionGeneration = 0;
    bool reading = false;
    // Come back on our own after a loss: set by a join, cleared by leave(),
    // a kick, a refused join or a refused login.
    bool stayIn = false;
    int reconnectAttempt = 0;
    int reconnectBaseMs = defaultReconnectBaseMs;
    Sasl sasl = Sasl::Off;
    QByteArray offeredCaps;
    bool certificateRejected = false;
    // The join under way is one the link makes on its own, not the operator.
    bool returning = false;
    // How the server shows us ("nick!user@host"), to know a ban on us.
    QByteArray ownPrefix;
    bool banned = false;
    bool monitorOffered = false;
};

#endif
