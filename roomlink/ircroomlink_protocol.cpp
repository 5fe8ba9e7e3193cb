#include "ircroomlink.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTimer>

// What the link does with each line from the server.

namespace {

constexpr int maxNickTries = 10;
// Replies to JOIN that keep us out: no such channel, too many channels,
// unavailable, full, invite only, banned, wrong key, bad mask, registered
// nicks only, illegal name, TLS only, opers only.
const QByteArrayList joinRefusals{"403", "405", "437", "471", "473", "474", "475", "476", "477", "479", "489", "520"};

// Server text shown to the operator: one line, no formatting, not too long.
QString shownText(const QByteArray& bytes)
{
    QString text = stripIrcFormatting(decodeIrcText(bytes));
    for (QChar& c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            c = QLatin1Char(' ');
    }
    return text.simplified().left(200);
}

} // namespace

void IrcRoomLink::handle(const IrcMessage& message)
{
    const QByteArray& command = message.command;
    auto ours = [&] { return ircLower(message.nick()) == ircLower(nick); };
    auto ourChannel = [&] { return ircLower(message.param(0)) == channelLower; };
    // The holder of the nick we wanted, going away.
    auto wantedFreed = [&] {
        return ircLower(nick) != ircLower(settings.nick) && ircLower(message.nick()) == ircLower(settings.nick);
    };
    if (command == "PRIVMSG") {
        handlePrivmsg(message);
    } else if (command == "PING") {
        writeNow(message.params.isEmpty() ? QByteArray("PONG") : "PONG :" + message.params.constLast());
    } else if (command == "CAP") {
        handleCap(message);
    } else if (command == "AUTHENTICATE") {
        if (sasl == Sasl::Authenticating && message.param(0) == "+") {
            for (const QByteArray& line : saslPlainLines(settings.saslUser, settings.saslPassword))
                writeNow(line);
        }
    } else if (command == "903" || command == "907") {
        if (sasl == Sasl::Authenticating) {
            sasl = Sasl::Done;
            writeNow("CAP END");
        }
    } else if (command == "902" || command == "904" || command == "905" || command == "906") {
        if (sasl != Sasl::Off && sasl != Sasl::Done)
            quit(QStringLiteral("SASL login refused"));
    } else if (command == "001") {
        if (state != Registering)
            return;
        // A server that knows no CAP welcomes us without a login.
        if (sasl != Sasl::Off && sasl != Sasl::Done) {
            quit(QStringLiteral("SASL not offered by the server"));
            return;
        }
        state = Registered;
        if (!message.param(0).isEmpty())
            nick = message.param(0);
        writeNow("JOIN " + settings.channel);
    } else if (state == Registering && (command == "433" || command == "437" || command == "432")) {
        // Only our own registration asks for a nick.
        nickInUse();
    } else if (joinRefusals.contains(command)) {
        // Trying again on our own would only be refused again.
        if (state == Registered && ircLower(message.param(1)) == channelLower) {
            stayIn = false;
            const QString channel = QString::fromUtf8(settings.channel);
            setStateText(command == "474"
                             ? QStringLiteral("Banned from %1").arg(channel)
                             : QStringLiteral("Cannot join %1: %2").arg(channel, shownText(message.param(2))));
        }
    } else if (command == "JOIN") {
        if (state == Registered && ours() && ourChannel()) {
            state = Joined;
            stayIn = true;
            banned = false;
            ownPrefix = message.prefix;
            reconnectAttempt = 0;
            regainNick();
            setStateText(QStringLiteral("In %1 on %2").arg(QString::fromUtf8(settings.channel), settings.server));
            if (state == Joined)
                emit joined();
        }
    } else if (command == "PART") {
        if (state == Joined && ours() && ourChannel())
            leftRoom(QStringLiteral("Left %1").arg(QString::fromUtf8(settings.channel)));
    } else if (command == "KICK") {
        if (state == Joined && ourChannel() && ircLower(message.param(1)) == ircLower(nick)) {
            const QString reason = shownText(message.param(2));
            QString why = QStringLiteral("Kicked by %1").arg(shownText(message.nick()));
            if (!reason.isEmpty())
                why += QStringLiteral(": ") + reason;
            kicked(why);
        }
    } else if (command == "MODE") {
        if (ourChannel())
            watchBans(message);
    } else if (command == "NICK") {
        if (ours() && !message.param(0).isEmpty()) {
            nick = message.param(0);
            if (ircLower(nick) == ircLower(settings.nick) && monitorOffered)
                writeNow("MONITOR - " + settings.nick);
        } else if (wantedFreed()) {
            writeNow("NICK " + settings.nick);
        }
    } else if (command == "QUIT") {
        if (wantedFreed())
            writeNow("NICK " + settings.nick);
    } else if (command == "005") {
        for (const QByteArray& token : message.params) {
            if (token == "MONITOR" || token.startsWith("MONITOR="))
                monitorOffered = true;
        }
    } else if (command == "731" || command == "303") {
        // MONITOR says a watched nick went offline; ISON lists those online.
        const bool offline = command == "731";
        bool listed = false;
        for (const QByteArray& entry : message.params.value(1).split(command == "731" ? ',' : ' '))
            listed = listed || ircLower(entry.split('!').value(0)) == ircLower(settings.nick);
        if (ircLower(nick) != ircLower(settings.nick) && (state == Registered || state == Joined)
            && listed == offline)
            writeNow("NICK " + settings.nick);
    } else if (command == "ERROR") {
        const QString reason = shownText(message.param(0));
        endConnection(reason.isEmpty() ? QStringLiteral("Server closed the connection")
                                       : QStringLiteral("Server closed the connection: ") + reason);
    }
}

void IrcRoomLink::handleCap(const IrcMessage& message)
{
    // "CAP <nick or *> <subcommand> [*] :<capabilities>"; the "*" says more follow.
    const QByteArray sub = message.param(1).toUpper();
    if (sub == "LS" && sasl == Sasl::Listing) {
        offeredCaps += ' ' + message.params.constLast();
        if (message.params.size() > 3 && message.param(2) == "*")
            return;
        bool plain = false;
        for (const QByteArray& cap : offeredCaps.split(' ')) {
            if (cap == "sasl")
                plain = true;
            else if (cap.startsWith("sasl="))
                plain = cap.mid(5).toUpper().split(',').contains("PLAIN");
        }
        if (!plain) {
            quit(QStringLiteral("SASL not offered by the server"));
            return;
        }
        sasl = Sasl::Requested;
        writeNow("CAP REQ :sasl");
    } else if (sub == "ACK" && sasl == Sasl::Requested) {
        sasl = Sasl::Authenticating;
        writeNow("AUTHENTICATE PLAIN");
    } else if (sub == "NAK" && sasl == Sasl::Requested) {
        quit(QStringLiteral("SASL not offered by the server"));
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
    const QString name = decodeIrcText(speaker);
    const QString said = stripIrcFormatting(decodeIrcText(text));
    emit textCaptured(name + QStringLiteral(": ") + said);
    emit textCaptured(QStringLiteral("\n"));
    emit lineSaid(name, said);
}

// Ours again once free: watched with MONITOR where offered (else by the
// holder's QUIT or NICK, and ISON now and then); a logged-in account may also
// ask the services to free it.
void IrcRoomLink::regainNick()
{
    if (ircLower(nick) == ircLower(settings.nick))
        return;
    if (monitorOffered)
        writeNow("MONITOR + " + settings.nick);
    if (sasl == Sasl::Done)
        writeNow("PRIVMSG NickServ :REGAIN " + settings.nick);
}

void IrcRoomLink::kicked(const QString& why)
{
    leftRoom(why);
    // A ban says we are not wanted back.
    if (settings.rejoinAfterKickSeconds <= 0 || banned)
        return;
    rejoinTimer->start(settings.rejoinAfterKickSeconds * 1000);
}

// An IRC mask: * any run, ? any one character, everything else literal.
static bool maskMatches(const QByteArray& mask, const QByteArray& prefix)
{
    QString pattern;
    for (QChar c : QString::fromUtf8(ircLower(mask)))
        pattern += c == QLatin1Char('*') ? QStringLiteral(".*")
            : c == QLatin1Char('?')      ? QStringLiteral(".")
                                         : QRegularExpression::escape(QString(c));
    return QRegularExpression(QRegularExpression::anchoredPattern(pattern))
        .match(QString::fromUtf8(ircLower(prefix)))
        .hasMatch();
}

// "MODE #chan +b-o mask nick": a ban (or its lifting) that covers us.
void IrcRoomLink::watchBans(const IrcMessage& message)
{
    const QByteArray modes = message.param(1);
    bool adding = true;
    int argument = 2;
    for (char mode : modes) {
        if (mode == '+' || mode == '-') {
            adding = mode == '+';
            continue;
        }
        // Modes that take an argument either way, and those that take one when set.
        if (QByteArray("beIkovhqa").contains(mode) || (adding && QByteArray("lfjL").contains(mode))) {
            const QByteArray value = message.param(argument++);
            if (mode == 'b' && !ownPrefix.isEmpty() && maskMatches(value, ownPrefix))
                banned = adding;
        }
    }
}

void IrcRoomLink::nickInUse()
{
    ++nickTries;
    if (nickTries > maxNickTries) {
        endConnection(QStringLiteral("No free nick"));
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
