#include "ircroomlink.h"

#include <QRandomGenerator>
#include <QSettings>
#include <QSslSocket>
#include <QTcpSocket>
#include <QTimer>

#include <utility>

namespace {

// A silent link is found only by writing to it: PING after this long without
// a byte from the server, give up after twice as long.
constexpr qint64 idlePingMs = 120000;
constexpr qint64 idleDropMs = 240000;
// A server that accepts the connection but never welcomes us.
constexpr qint64 registerTimeoutMs = 30000;
constexpr int aliveCheckMs = 15000;
// A line longer than any server sends; without a newline it is garbage.
constexpr int maxReadLine = 16384;
constexpr int maxNickTries = 10;

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
        " \r\n,:!@");
    if (!nick.isEmpty())
        room.nick = nick;
    QByteArray channel = withoutBytes(
        settings.value(QStringLiteral("Channel"), QString::fromLatin1(room.channel)).toString().toUtf8(),
        " \r\n,\a");
    if (!channel.isEmpty()) {
        if (!QByteArray("#&+!").contains(channel.at(0)))
            channel.prepend('#');
        room.channel = channel;
    }
    settings.endGroup();
    if (room.server.isEmpty())
        room.server = QStringLiteral("127.0.0.1");
    return room;
}

RoomLink* createIrcRoomLink(QSettings& settings, QObject* parent)
{
    return new IrcRoomLink(IrcRoomSettings::read(settings), parent);
}

IrcRoomLink::IrcRoomLink(const IrcRoomSettings& settings, QObject* parent, int burst, int intervalMs)
    : RoomLink(parent),
      settings(settings),
      nick(settings.nick),
      channelLower(ircLower(settings.channel)),
      queue(burst, intervalMs),
      sendTimer(new QTimer(this)),
      aliveTimer(new QTimer(this))
{
    clock.start();
    sendTimer->setSingleShot(true);
    connect(sendTimer, &QTimer::timeout, this, &IrcRoomLink::flushQueue);
    aliveTimer->setInterval(aliveCheckMs);
    connect(aliveTimer, &QTimer::timeout, this, &IrcRoomLink::checkAlive);
}

IrcRoomLink::~IrcRoomLink()
{
    if (socket) {
        socket->disconnect(this);
        socket->abort();
    }
}

void IrcRoomLink::join()
{
    switch (state) {
    case Unconnected:
        openSocket();
        break;
    case Registered:
        // Connected but not in the room (kicked, or the join was refused).
        writeNow("JOIN " + settings.channel);
        break;
    case Connecting:
    case Registering:
    case Joined:
        break;
    }
}

void IrcRoomLink::openSocket()
{
    if (socket) {
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
    }
    readBuffer.clear();
    queue.reset();
    ++connectionGeneration;
    state = Connecting;
    lastActivity = clock.elapsed();
    aliveTimer->start();

    QAbstractSocket* newSocket;
    if (settings.tls) {
        auto* ssl = new QSslSocket(this);
        connect(ssl, &QSslSocket::encrypted, this, &IrcRoomLink::socketReady);
        newSocket = ssl;
    } else {
        newSocket = new QTcpSocket(this);
        connect(newSocket, &QAbstractSocket::connected, this, &IrcRoomLink::socketReady);
    }
    socket = newSocket;
    // Small lines that must leave now: no waiting for more to fill a segment.
    newSocket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    connect(newSocket, &QAbstractSocket::readyRead, this, &IrcRoomLink::readLines);
    connect(newSocket, &QAbstractSocket::disconnected, this, &IrcRoomLink::dropConnection);
    connect(newSocket, &QAbstractSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        // A waitFor...() that runs out of time is not the link failing.
        if (error != QAbstractSocket::SocketTimeoutError)
            dropConnection();
    });
    if (settings.tls)
        static_cast<QSslSocket*>(newSocket)->connectToHostEncrypted(settings.server, settings.port);
    else
        newSocket->connectToHost(settings.server, settings.port);
}

void IrcRoomLink::socketReady()
{
    if (state != Connecting)
        return;
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    state = Registering;
    nick = settings.nick;
    nickTries = 0;
    lastActivity = clock.elapsed();
    if (!settings.password.isEmpty())
        writeNow("PASS :" + settings.password);
    writeNow("NICK " + nick);
    writeNow("USER quiznewt 0 * :QuizNewt trivia");
}

void IrcRoomLink::readLines()
{
    // A handler that runs a nested event loop brings us back here; the outer
    // call goes on reading, so lines keep their order and none is handled twice.
    if (reading)
        return;
    reading = true;
    const int generation = connectionGeneration;
    while (socket && generation == connectionGeneration && socket->bytesAvailable() > 0) {
        readBuffer += socket->readAll();
        lastActivity = clock.elapsed();
        pingSent = false;

        // Handling a line can post, leave or drop the connection: work on a
        // copy and stop as soon as this connection is gone.
        const QByteArray data = std::exchange(readBuffer, QByteArray());
        int start = 0;
        while (generation == connectionGeneration) {
            const int end = data.indexOf('\n', start);
            if (end < 0)
                break;
            int stop = end;
            if (stop > start && data.at(stop - 1) == '\r')
                --stop;
            const IrcMessage message = IrcMessage::parse(data.mid(start, stop - start));
            start = end + 1;
            if (message.isValid())
                handle(message);
        }
        if (generation != connectionGeneration)
            break;
        readBuffer = data.mid(start);
        if (readBuffer.size() > maxReadLine)
            readBuffer.clear();
    }
    reading = false;
}

void IrcRoomLink::handle(const IrcMessage& message)
{
    const QByteArray& command = message.command;
    if (command == "PRIVMSG") {
        handlePrivmsg(message);
    } else if (command == "PING") {
        writeNow(message.params.isEmpty() ? QByteArray("PONG") : "PONG :" + message.params.constLast());
    } else if (command == "001") {
        if (state == Registering) {
            state = Registered;
            if (!message.param(0).isEmpty())
                nick = message.param(0);
            writeNow("JOIN " + settings.channel);
        }
    } else if (command == "433" || command == "437" || command == "432") {
        // Only our own registration asks for a nick.
        if (state == Registering)
            nickInUse();
    } else if (command == "JOIN") {
        if (state == Registered && ircLower(message.nick()) == ircLower(nick)
            && ircLower(message.param(0)) == channelLower) {
            state = Joined;
            emit joined();
        }
    } else if (command == "PART") {
        if (state == Joined && ircLower(message.nick()) == ircLower(nick)
            && ircLower(message.param(0)) == channelLower)
            state = Registered;
    } else if (command == "KICK") {
        if (state == Joined && ircLower(message.param(1)) == ircLower(nick)
            && ircLower(message.param(0)) == channelLower)
            state = Registered;
    } else if (command == "NICK") {
        if (ircLower(message.nick()) == ircLower(nick) && !message.param(0).isEmpty())
            nick = message.param(0);
    } else if (command == "ERROR") {
        dropConnection();
    }
}

void IrcRoomLink::handlePrivmsg(const IrcMessage& message)
{
    if (state != Joined || message.params.size() < 2)
        return;
    // Private messages, other channels and "@#channel" messages to ops only
    // are not room text.
    if (ircLower(message.param(0)) != channelLower)
        return;
    const QByteArray& text = message.params.at(1);
    // CTCP, ACTION included.
    if (text.startsWith('\x01'))
        return;
    const QByteArray speaker = message.nick();
    if (speaker.isEmpty() || ircLower(speaker) == ircLower(nick))
        return;
    emit textCaptured(decodeIrcText(speaker) + QStringLiteral(": ")
                      + stripIrcFormatting(decodeIrcText(text)));
    emit textCaptured(QStringLiteral("\n"));
}

void IrcRoomLink::nickInUse()
{
    ++nickTries;
    if (nickTries > maxNickTries) {
        dropConnection();
        return;
    }
    // Servers allow as few as 9 characters: first try an underscore, then
    // keep the length and end in a number.
    if (nickTries == 1) {
        nick = settings.nick + '_';
    } else {
        const QByteArray number = QByteArray::number(
            nickTries < 4 ? nickTries : int(QRandomGenerator::global()->bounded(10, 1000)));
        nick = settings.nick.left(qMax(1, 9 - int(number.size()))) + number;
    }
    writeNow("NICK " + nick);
}

void IrcRoomLink::writeNow(const QByteArray& line)
{
    if (!socket || socket->state() != QAbstractSocket::ConnectedState)
        return;
    socket->write(line + "\r\n");
    socket->flush();
}

void IrcRoomLink::post(const QString& text)
{
    if (state != Joined)
        return;
    for (const QByteArray& line : buildPrivmsgLines(text, settings.channel))
        queue.enqueue(line);
    flushQueue();
}

void IrcRoomLink::flushQueue()
{
    if (!socket || state == Unconnected)
        return;
    const qint64 now = clock.elapsed();
    const QList<QByteArray> due = queue.takeDue(now);
    if (!due.isEmpty()) {
        for (const QByteArray& line : due)
            socket->write(line);
        // Written now, not on a later turn of the event loop: the game may
        // block the thread right after posting and the room must see the
        // line before that pause.
        socket->flush();
    }
    const qint64 wait = queue.msUntilNext(now);
    if (wait >= 0)
        sendTimer->start(int(qMax<qint64>(1, wait)));
}

void IrcRoomLink::leave()
{
    if (!socket)
        return;
    if (state == Registered || state == Joined || state == Registering) {
        // Whatever is still queued goes out first: it no longer matters if
        // the server thinks it a flood, we are leaving anyway.
        for (const QByteArray& line : queue.takeAll())
            socket->write(line);
        writeNow("QUIT :QuizNewt leaves");
        socket->disconnectFromHost();
        if (socket && socket->state() != QAbstractSocket::UnconnectedState)
            socket->waitForDisconnected(1000);
    }
    dropConnection();
}

void IrcRoomLink::dropConnection()
{
    if (state == Unconnected && !socket)
        return;
    const bool wasUp = state != Unconnected;
    state = Unconnected;
    ++connectionGeneration;
    sendTimer->stop();
    aliveTimer->stop();
    queue.reset();
    readBuffer.clear();
    pingSent = false;
    if (QAbstractSocket* old = socket) {
        socket = nullptr;
        old->disconnect(this);
        old->abort();
        old->deleteLater();
    }
    if (wasUp)
        emit disconnected();
}

void IrcRoomLink::checkAlive()
{
    const qint64 idle = clock.elapsed() - lastActivity;
    if (state == Connecting || state == Registering) {
        if (idle > registerTimeoutMs)
            dropConnection();
    } else if (idle > idleDropMs) {
        dropConnection();
    } else if (idle > idlePingMs && !pingSent) {
        writeNow("PING :quiznewt");
        pingSent = true;
    }
}
