#include "ircroomlink.h"

namespace {

constexpr qint64 maxReconnectMs = 5 * 60 * 1000;
// SASL sends its payload in pieces of this many bytes.
constexpr int saslChunk = 400;

} // namespace

IrcRoomSettings::IrcRoomSettings(const Settings::Room& room)
    : server(room.server)
    , port(quint16(room.port))
    , tls(room.tls)
    , password(room.password.toUtf8())
    , nick(room.nick.toUtf8())
    , channel(room.channel.toUtf8())
    , saslUser(room.saslUser.toUtf8())
    , saslPassword(room.saslPassword.toUtf8())
    , rejoinAfterKickSeconds(room.rejoinAfterKick)
    , greetOnRejoin(room.greetOnRejoin)
{
}

IrcRoomSettings IrcRoomSettings::read(QSettings& settings)
{
    return IrcRoomSettings(Settings::load<Settings::Room>(settings));
}

bool IrcRoomSettings::operator==(const IrcRoomSettings& other) const
{
    return server == other.server && port == other.port && tls == other.tls && password == other.password
        && nick == other.nick && channel == other.channel && saslUser == other.saslUser
        && saslPassword == other.saslPassword;
}

bool IrcRoomLink::configure(QSettings& settings)
{
    const IrcRoomSettings wanted = IrcRoomSettings::read(settings);
    this->settings.rejoinAfterKickSeconds = wanted.rejoinAfterKickSeconds;
    this->settings.greetOnRejoin = wanted.greetOnRejoin;
    if (wanted == this->settings)
        return false;
    // Out of the old place before anything is sent with the new names.
    leave();
    this->settings = wanted;
    nick = wanted.nick;
    channelLower = ircLower(wanted.channel);
    return true;
}

RoomLink* createIrcRoomLink(QSettings& settings, QObject* parent)
{
    return new IrcRoomLink(IrcRoomSettings::read(settings), parent);
}

qint64 reconnectDelayMs(int attempt, qint64 baseMs, double jitter)
{
    qint64 delay = qMax<qint64>(1, baseMs);
    for (int i = 0; i < attempt && delay < maxReconnectMs; ++i)
        delay *= 2;
    delay = qMin(delay, maxReconnectMs);
    return delay - qint64(double(delay) * 0.2 * qBound(0.0, jitter, 1.0));
}

QList<QByteArray> saslPlainLines(const QByteArray& user, const QByteArray& password)
{
    // authzid NUL authcid NUL password; the account logs in as itself.
    QByteArray plain = user;
    plain.append('\0').append(user).append('\0').append(password);
    const QByteArray encoded = plain.toBase64();
    QList<QByteArray> lines;
    for (int i = 0; i < encoded.size(); i += saslChunk)
        lines.append("AUTHENTICATE " + encoded.mid(i, saslChunk));
    // A full last piece would leave the server waiting for more.
    if (encoded.size() % saslChunk == 0)
        lines.append("AUTHENTICATE +");
    return lines;
}
