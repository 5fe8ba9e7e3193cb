#include "ircroomlink.h"

#include <QSettings>

namespace {

constexpr qint64 maxReconnectMs = 5 * 60 * 1000;
// SASL sends its payload in pieces of this many bytes.
constexpr int saslChunk = 400;

QByteArray withoutBytes(QByteArray value, const char* bytes)
{
    for (const char* b = bytes; *b; ++b)
        value.replace(*b, QByteArray());
    return value;
}

} // namespace

IrcRoomSettings IrcRoomSettings::read(QSettings& settings)
{
    IrcRoomSettings room;
    settings.beginGroup(QStringLiteral("Room"));
    room.server = settings.value(QStringLiteral("Server"), room.server).toString().trimmed();
    bool ok = false;
    const int port = settings.value(QStringLiteral("Port"), room.port).toInt(&ok);
    if (ok && port > 0 && port <= 65535)
        room.port = quint16(port);
    room.tls = settings.value(QStringLiteral("Tls"), room.tls).toBool();
    // The values end up in protocol lines: no line breaks, and no blanks
    // where a blank would start the next parameter.
    QByteArray password = settings.value(QStringLiteral("Password")).toString().toUtf8();
    password.replace('\r', QByteArray()).replace('\n', QByteArray()).replace('\0', QByteArray());
    room.password = password;
    const QByteArray nick = withoutBytes(
        settings.value(QStringLiteral("Nick"), QString::fromLatin1(room.nick)).toString().toUtf8(),
        nickExcluded);
    if (!nick.isEmpty())
        room.nick = nick;
    QByteArray channel = withoutBytes(
        settings.value(QStringLiteral("Channel"), QString::fromLatin1(room.channel)).toString().toUtf8(),
        channelExcluded);
    if (!channel.isEmpty()) {
        if (!QByteArray(channelPrefixes).contains(channel.at(0)))
            channel.prepend('#');
        room.channel = channel;
    }
    // Both travel inside the base64 PLAIN payload, where NUL separates them.
    room.saslUser = withoutBytes(settings.value(QStringLiteral("SaslUser")).toString().toUtf8(), "\r\n");
    room.saslUser.replace('\0', QByteArray());
    room.saslPassword = settings.value(QStringLiteral("SaslPassword")).toString().toUtf8();
    room.saslPassword.replace('\0', QByteArray());
    settings.endGroup();
    if (room.server.isEmpty())
        room.server = QStringLiteral("127.0.0.1");
    return room;
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
