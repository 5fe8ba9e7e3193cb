#include "ircclient.h"

#include "roomlink/ircmessage.h"

#include <QtTest/QTest>

bool IrcClient::connectAndJoin(quint16 port, const QByteArray& nick, const QByteArray& channel)
{
    startJoining(port, nick, channel);
    return QTest::qWaitFor([this] { return inChannel; }, 15000);
}

void IrcClient::startJoining(quint16 port, const QByteArray& nick, const QByteArray& channel)
{
    clock.start();
    ownNick = nick;
    channelName = channel;
    connect(&socket, &QTcpSocket::readyRead, this, &IrcClient::readLines, Qt::UniqueConnection);
    socket.connectToHost(QHostAddress::LocalHost, port);
    // The socket keeps what is written until it is connected.
    socket.write("NICK " + nick + "\r\nUSER " + nick + " 0 * :test player\r\nJOIN " + channel + "\r\n");
}

void IrcClient::say(const QString& text)
{
    sendRaw("PRIVMSG " + channelName + " :" + text.toUtf8());
}

void IrcClient::sendRaw(const QByteArray& line)
{
    socket.write(line + "\r\n");
    socket.flush();
}

bool IrcClient::waitForChannelLines(int count, int timeoutMs)
{
    return QTest::qWaitFor([&] { return channel_.size() >= count; }, timeoutMs);
}

void IrcClient::readLines()
{
    buffer += socket.readAll();
    int newline;
    while ((newline = buffer.indexOf('\n')) >= 0) {
        QByteArray line = buffer.left(newline);
        buffer.remove(0, newline + 1);
        if (line.endsWith('\r'))
            line.chop(1);
        const IrcMessage message = IrcMessage::parse(line);
        if (message.command == "PING") {
            sendRaw("PONG :" + message.param(0));
        } else if (message.command == "JOIN") {
            if (ircLower(message.nick()) == ircLower(ownNick))
                inChannel = true;
            else
                joins_.append(QString::fromUtf8(message.nick()));
        } else if (message.command == "QUIT") {
            quits_.append(QString::fromUtf8(message.nick()));
        } else if (message.command == "PRIVMSG") {
            const QString said =
                QString::fromUtf8(message.nick()) + QStringLiteral(": ") + decodeIrcText(message.param(1));
            if (ircLower(message.param(0)) == ircLower(channelName)) {
                channel_.append(said);
                times_.append(clock.elapsed());
            } else if (ircLower(message.param(0)) == ircLower(ownNick)) {
                private_.append(said);
            }
        }
    }
}
