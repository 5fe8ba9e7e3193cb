#include "ircroomlink.h"

#include <QRandomGenerator>
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

} // namespace

IrcRoomLink::IrcRoomLink(const IrcRoomSettings& settings, QObject* parent, int burst, int intervalMs)
    : RoomLink(parent),
      settings(settings),
      nick(settings.nick),
      channelLower(ircLower(settings.channel)),
      queue(burst, intervalMs),
      sendTimer(new QTimer(this)),
      aliveTimer(new QTimer(this)),
      reconnectTimer(new QTimer(this)),
      rejoinTimer(new QTimer(this))
{
    clock.start();
    sendTimer->setSingleShot(true);
    connect(sendTimer, &QTimer::timeout, this, &IrcRoomLink::flushQueue);
    aliveTimer->setInterval(aliveCheckMs);
    connect(aliveTimer, &QTimer::timeout, this, &IrcRoomLink::checkAlive);
    reconnectTimer->setSingleShot(true);
    connect(reconnectTimer, &QTimer::timeout, this, [this] {
        if (state == Unconnected && stayIn) {
            returning = true;
            openSocket();
        }
    });
    rejoinTimer->setSingleShot(true);
    connect(rejoinTimer, &QTimer::timeout, this, [this] {
        if (state == Registered && !banned) {
            returning = true;
            writeNow("JOIN " + this->settings.channel);
        }
    });
}

IrcRoomLink::~IrcRoomLink()
{
    if (socket) {
        socket->disconnect(this);
        socket->abort();
    }
}

void IrcRoomLink::setStateText(const QString& text)
{
    if (text == state_)
        return;
    state_ = text;
    emit stateChanged(state_);
}

void IrcRoomLink::join()
{
    returning = false;
    rejoinTimer->stop();
    switch (state) {
    case Unconnected:
        reconnectTimer->stop();
        openSocket();
        break;
    case Registered:
        // Connected but not in the room: kicked, or the join was refused.
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
    const int generation = ++connectionGeneration;
    state = Connecting;
    sasl = Sasl::Off;
    certificateRejected = false;
    lastActivity = clock.elapsed();
    aliveTimer->start();
    setStateText(QStringLiteral("Connecting to %1:%2...").arg(settings.server).arg(settings.port));
    if (generation != connectionGeneration)
        return;

    QAbstractSocket* newSocket;
    if (settings.tls) {
        auto* ssl = new QSslSocket(this);
        connect(ssl, &QSslSocket::encrypted, this, &IrcRoomLink::socketReady);
        // Not ignored, so the handshake fails next; this says why.
        connect(ssl, &QSslSocket::sslErrors, this, [this] { certificateRejected = true; });
        newSocket = ssl;
    } else {
        newSocket = new QTcpSocket(this);
        connect(newSocket, &QAbstractSocket::connected, this, &IrcRoomLink::socketReady);
    }
    socket = newSocket;
    // Small lines that must leave now: no waiting for more to fill a segment.
    newSocket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    connect(newSocket, &QAbstractSocket::readyRead, this, &IrcRoomLink::readLines);
    connect(newSocket, &QAbstractSocket::disconnected, this,
            [this] { endConnection(QStringLiteral("Server closed the connection")); });
    connect(newSocket, &QAbstractSocket::errorOccurred, this, &IrcRoomLink::socketFailed);
    if (settings.tls)
        static_cast<QSslSocket*>(newSocket)->connectToHostEncrypted(settings.server, settings.port);
    else
        newSocket->connectToHost(settings.server, settings.port);
}

void IrcRoomLink::socketFailed(QAbstractSocket::SocketError error)
{
    QString why;
    switch (error) {
    case QAbstractSocket::SocketTimeoutError:
        // A waitFor...() that runs out of time is not the link failing.
        return;
    case QAbstractSocket::ConnectionRefusedError:
        why = QStringLiteral("Connection refused");
        break;
    case QAbstractSocket::HostNotFoundError:
        why = QStringLiteral("Host not found: %1").arg(settings.server);
        break;
    case QAbstractSocket::RemoteHostClosedError:
        why = QStringLiteral("Server closed the connection");
        break;
    case QAbstractSocket::SslHandshakeFailedError:
        why = certificateRejected ? QStringLiteral("TLS: certificate not trusted")
                                  : QStringLiteral("TLS: handshake failed");
        break;
    default:
        why = QStringLiteral("Connection failed: %1").arg(socket ? socket->errorString() : QString());
        break;
    }
    // Trying again will not make a certificate trusted.
    if (certificateRejected)
        stayIn = false;
    endConnection(why);
}

void IrcRoomLink::socketReady()
{
    if (state != Connecting)
        return;
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    state = Registering;
    nick = settings.nick;
    nickTries = 0;
    monitorOffered = false;
    banned = false;
    if (!settings.saslUser.isEmpty() && !settings.tls)
        qWarning("Room: SASL login to %s without TLS sends the password in clear",
                 qPrintable(settings.server));
    lastActivity = clock.elapsed();
    if (!settings.password.isEmpty())
        writeNow("PASS :" + settings.password);
    // Sent before NICK and USER, so the server holds registration until CAP END.
    if (!settings.saslUser.isEmpty()) {
        sasl = Sasl::Listing;
        offeredCaps.clear();
        writeNow("CAP LS 302");
    }
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
    while (socket && socket->bytesAvailable() > 0) {
        const int generation = connectionGeneration;
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
        // A new connection opened meanwhile has its own buffer and socket.
        if (generation != connectionGeneration)
            continue;
        readBuffer = data.mid(start);
        if (readBuffer.size() > maxReadLine)
            readBuffer.clear();
    }
    reading = false;
}

void IrcRoomLink::leftRoom(const QString& why)
{
    // Out of the room but still connected; a join() goes back in.
    state = Registered;
    stayIn = false;
    queue.reset();
    sendTimer->stop();
    setStateText(why);
    emit lost();
}

void IrcRoomLink::quit(const QString& why)
{
    // Refused logins and missing SASL do not mend by retrying.
    stayIn = false;
    writeNow("QUIT");
    endConnection(why, true);
}

void IrcRoomLink::writeNow(const QByteArray& line)
{
    if (!socket || socket->state() != QAbstractSocket::ConnectedState)
        return;
    socket->write(line + "\r\n");
    socket->flush();
}

void IrcRoomLink::post(const QString& text, std::function<void()> onSent)
{
    if (state != Joined)
        return;
    queue.enqueueGame(buildPrivmsgLines(text, settings.channel), std::move(onSent));
    flushQueue();
}

static const char busyNotice[] = "QuizNewt is busy answering others; please ask again in a minute.";

void IrcRoomLink::postReply(const QString& name, const QString& text, bool toRoom)
{
    if (state != Joined)
        return;
    const QByteArray target = toRoom ? settings.channel : privateTarget(name);
    if (target.isEmpty())
        return;
    // The busy notice goes privately even for a room reply: the room need
    // not hear who was turned away.
    const QByteArray noticeTarget = privateTarget(name);
    const QByteArray notice = noticeTarget.isEmpty()
        ? QByteArray()
        : buildPrivmsgLines(QString::fromLatin1(busyNotice), noticeTarget).value(0);
    queue.enqueueReply(ircLower(name.toUtf8()), buildPrivmsgLines(text, target), notice);
    flushQueue();
}

int IrcRoomLink::textBytes(const QString& name, bool toRoom) const
{
    return maxTextBytes(toRoom ? settings.channel : privateTarget(name));
}

void IrcRoomLink::flushQueue()
{
    if (!socket || state != Joined)
        return;
    const QList<SendQueue::Line> due = queue.takeDue(clock.elapsed());
    if (!due.isEmpty()) {
        for (const SendQueue::Line& line : due)
            socket->write(line.bytes);
        // Written now, not on a later turn of the event loop: the game may
        // block the thread right after posting and the room must see the
        // line before that pause.
        socket->flush();
        // Only now: a callback may post again, or leave.
        for (const SendQueue::Line& line : due) {
            if (line.onSent)
                line.onSent();
        }
    }
    if (state != Joined)
        return;
    const qint64 now = clock.elapsed();
    const qint64 wait = queue.msUntilNext(now);
    if (wait >= 0)
        sendTimer->start(int(qMax<qint64>(1, wait)));
}

void IrcRoomLink::leave()
{
    stayIn = false;
    reconnectTimer->stop();
    rejoinTimer->stop();
    if (socket && socket->state() == QAbstractSocket::ConnectedState && state != Connecting) {
        // Whatever still waits goes out first: it no longer matters if the
        // server thinks it a flood, we are leaving anyway.
        for (const SendQueue::Line& line : queue.takeAll())
            socket->write(line.bytes);
        writeNow("QUIT :QuizNewt leaves");
        QAbstractSocket* closing = socket;
        closing->disconnect(this);
        closing->disconnectFromHost();
        if (closing->state() != QAbstractSocket::UnconnectedState)
            closing->waitForDisconnected(1000);
    }
    // Left on purpose: no lost().
    state = Unconnected;
    endConnection(QStringLiteral("Not connected"));
}

void IrcRoomLink::endConnection(const QString& why, bool graceful)
{
    const bool wasJoined = state == Joined;
    state = Unconnected;
    ++connectionGeneration;
    sendTimer->stop();
    aliveTimer->stop();
    queue.reset();
    readBuffer.clear();
    pingSent = false;
    sasl = Sasl::Off;
    if (QAbstractSocket* old = socket) {
        socket = nullptr;
        old->disconnect(this);
        if (graceful && old->state() == QAbstractSocket::ConnectedState) {
            // Let the QUIT reach the server before the socket goes.
            connect(old, &QAbstractSocket::disconnected, old, &QObject::deleteLater);
            QTimer::singleShot(5000, old, &QObject::deleteLater);
            old->disconnectFromHost();
        } else {
            old->abort();
            old->deleteLater();
        }
    }
    setStateText(why);
    if (wasJoined)
        emit lost();
    // A handler may have joined or left meanwhile.
    if (stayIn && state == Unconnected && !reconnectTimer->isActive())
        scheduleReconnect();
}

void IrcRoomLink::scheduleReconnect()
{
    const qint64 wait =
        reconnectDelayMs(reconnectAttempt++, reconnectBaseMs, QRandomGenerator::global()->generateDouble());
    reconnectTimer->start(int(wait));
    setStateText(QStringLiteral("Reconnecting in %1 s").arg((wait + 999) / 1000));
}

void IrcRoomLink::checkAlive()
{
    const qint64 idle = clock.elapsed() - lastActivity;
    if (state == Connecting || state == Registering) {
        if (idle > registerTimeoutMs)
            endConnection(QStringLiteral("Timed out"));
    } else if (idle > idleDropMs) {
        endConnection(QStringLiteral("Ping timeout"));
    } else if (idle > idlePingMs && !pingSent) {
        writeNow("PING :quiznewt");
        pingSent = true;
    }
    // Without MONITOR, and when the holder is in none of our channels, ask.
    if ((state == Registered || state == Joined) && ircLower(nick) != ircLower(settings.nick) && !monitorOffered)
        writeNow("ISON " + settings.nick);
}
