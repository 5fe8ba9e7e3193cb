#include "ircclient.h"

#include "roomlink/ircmessage.h"

#include <QtTest/QTest>

IrcClient::IrcClient(QObject* parent) : QObject(parent)
{
    connect(&socket, &QTcpSocket::readyRead, this, &IrcClient::readLines);
}

IrcClient::~IrcClient()
{
    socket.abort();
}

bool IrcClient::connectAndJoin(quint16 port, const QByteArray& nick, const QByteArray& channel,
                               int timeoutMs)
{
    ownNick = nick;
    channelName = channel;
    inChannel = false;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    sendRaw("NICK " + nick);
    sendRaw("USER " + nick + " 0 * :test player");
    sendRaw("JOIN " + channel);
    return QTest::qWaitFor([this] { return inChannel; }, timeoutMs);
}

void IrcClient::say(const QString& text)
{
    sayTo(channelName, text);
}

void IrcClient::sayTo(const QByteArray& target, const QString& text)
{
    sendRaw("PRIVMSG " + target + " :" + text.toUtf8());
}

void IrcClient::sendRaw(const QByteArray& line)
{
    socket.write(line + "\r\n");
    socket.flush();
}

void IrcClient::quit()
{
    if (!isConnected())
        return;
    sendRaw("QUIT :bye");
    socket.disconnectFromHost();
}

void IrcClient::clear()
{
    channel_.clear();
    private_.clear();
    joins_.clear();
}

bool IrcClient::waitForChannelLines(int count, int timeoutMs)
{
    return QTest::qWaitFor([&] { return channel_.size() >= count; }, timeoutMs);
}

bool IrcClient::waitForPrivateLines(int count, int timeoutMs)
{
    return QTest::qWaitFor([&] { return private_.size() >= count; }, timeoutMs);
}

bool IrcClient::waitForJoin(const QString& nick, int timeoutMs)
{
    return QTest::qWaitFor([&] { return joins_.contains(nick); }, timeoutMs);
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
        } else if (message.command == "001") {
            ownNick = message.param(0);
        } else if (message.command == "JOIN") {
            if (ircLower(message.nick()) == ircLower(ownNick))
                inChannel = true;
            else
                joins_.append(QString::fromUtf8(message.nick()));
        } else if (message.command == "PRIVMSG") {
            const QString entry = QString::fromUtf8(message.nick()) + QStringLiteral(": ")
                                  + decodeIrcText(message.param(1));
            if (ircLower(message.param(0)) == ircLower(channelName))
                channel_.append(entry);
            else
                private_.append(entry);
        }
    }
}
