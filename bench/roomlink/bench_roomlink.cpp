// Room link figures: room lines per second from the socket to textCaptured,
// the time from post() to the line reaching another member, and the same with
// long replies waiting under the real flood limits.
#include "roomlink/ircroomlink.h"
#include "tests/common/ngircdserver.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTextStream>
#include <QtTest/QTest>

#include <algorithm>

static QTextStream out(stdout);

static double percentile(QList<double> values, double p)
{
    std::sort(values.begin(), values.end());
    const int index = qBound(0, int(p * (values.size() - 1) + 0.5), int(values.size()) - 1);
    return values.at(index);
}

// Reads lines off a socket until one contains needle; blocks on that socket only.
static bool readUntil(QTcpSocket& socket, QByteArray& buffer, const QByteArray& needle, int timeoutMs = 3000)
{
    QElapsedTimer clock;
    clock.start();
    while (!buffer.contains(needle)) {
        if (clock.elapsed() > timeoutMs || !socket.waitForReadyRead(timeoutMs))
            return false;
        buffer += socket.readAll();
    }
    return true;
}

// Registers nick on the server and, with a channel, joins it; false if that did not happen in time.
static bool connectMember(QTcpSocket& member, QByteArray& buffer, quint16 port, const QByteArray& nick,
                          const QByteArray& channel = QByteArray())
{
    member.connectToHost(QHostAddress::LocalHost, port);
    member.waitForConnected(3000);
    member.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    member.write("NICK " + nick + "\r\nUSER " + nick + " 0 * :bench\r\n"
                 + (channel.isEmpty() ? QByteArray() : "JOIN " + channel + "\r\n"));
    return readUntil(member, buffer, channel.isEmpty() ? " 001 " : " 366 ", 5000);
}

static void throughput()
{
    const int lines = 200000;
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    IrcRoomSettings settings;
    settings.port = server.serverPort();
    IrcRoomLink link(settings);
    link.join();
    if (!server.waitForNewConnection(3000)) {
        out << "throughput: no connection\n";
        return;
    }
    QTcpSocket* peer = server.nextPendingConnection();
    QByteArray received;
    // Registration comes from the event loop (the socket's connected signal).
    (void)QTest::qWaitFor([&] { received += peer->readAll(); return received.contains("USER "); }, 3000);
    peer->write(":irc.test 001 QuizNewt :Welcome\r\n:QuizNewt!q@h JOIN #trivia\r\n");
    peer->flush();
    if (!QTest::qWaitFor([&] { return link.isJoined(); }, 3000)) {
        out << "throughput: not joined\n";
        return;
    }

    QByteArray blast;
    for (int i = 0; i < lines; ++i)
        blast += ":Player" + QByteArray::number(i % 50) + "!p@host.example PRIVMSG #trivia :\x03" "04answer "
                 + QByteArray::number(i) + "\r\n";
    int ends = 0;
    QObject::connect(&link, &RoomLink::textCaptured, &link, [&](const QString& piece) {
        if (piece.size() == 1 && piece.at(0) == QLatin1Char('\n'))
            ++ends;
    });
    QElapsedTimer clock;
    clock.start();
    peer->write(blast);
    while (ends < lines && clock.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    const double seconds = clock.nsecsElapsed() / 1e9;
    out << "room lines captured: " << ends << " of " << lines << " in " << QString::number(seconds, 'f', 3)
        << " s = " << QString::number(ends / seconds, 'f', 0) << " lines/s (target 50000)\n";
}

static void latency()
{
    NgircdServer server;
    if (!server.isRunning()) {
        out << "latency: ngircd not available: " << server.error() << "\n";
        return;
    }
    QTcpSocket member;
    QByteArray buffer;
    if (!connectMember(member, buffer, server.port(), "Alice", "#trivia")) {
        out << "latency: member could not join\n";
        return;
    }

    IrcRoomSettings settings;
    settings.server = server.host();
    settings.port = server.port();
    // The real burst, a quick refill: every sample meets an empty queue.
    IrcRoomLink link(settings, nullptr, SendQueue::defaultBurst, 20);
    link.join();
    if (!QTest::qWaitFor([&] { return link.isJoined(); }, 5000)) {
        out << "latency: link could not join\n";
        return;
    }
    readUntil(member, buffer, "JOIN", 3000);

    const int samples = 100;
    QList<double> ms;
    for (int i = 0; i < samples; ++i) {
        // ngircd holds back a client's lines when they come faster than about ten a second.
        QTest::qWait(100);
        buffer.clear();
        const QByteArray needle = "sample " + QByteArray::number(i) + "\r\n";
        QElapsedTimer clock;
        clock.start();
        link.post(QStringLiteral("sample %1").arg(i));
        if (!readUntil(member, buffer, needle)) {
            out << "latency: sample " << i << " lost\n";
            return;
        }
        ms.append(clock.nsecsElapsed() / 1e6);
    }
    out << "post to another member (ngircd, empty queue, " << samples << " samples): median "
        << QString::number(percentile(ms, 0.5), 'f', 3) << " ms, p95 "
        << QString::number(percentile(ms, 0.95), 'f', 3) << " ms, max "
        << QString::number(percentile(ms, 1.0), 'f', 3) << " ms (target under 5 ms)\n";
}

static void behindReplies()
{
    NgircdServer server;
    if (!server.isRunning()) {
        out << "behind replies: ngircd not available: " << server.error() << "\n";
        return;
    }
    // Replies go to members who are there: ngircd slows down a client that
    // writes to nicks that are not.
    const int samples = 10;
    QTcpSocket member;
    QByteArray buffer;
    QList<QTcpSocket*> askers;
    bool ready = connectMember(member, buffer, server.port(), "Alice", "#trivia");
    for (int i = 0; i <= samples && ready; ++i) {
        QByteArray ignored;
        askers.append(new QTcpSocket(&member));
        ready = connectMember(*askers.last(), ignored, server.port(), "Member" + QByteArray::number(i));
    }
    if (!ready) {
        out << "behind replies: members could not connect\n";
        return;
    }
    IrcRoomSettings settings;
    settings.server = server.host();
    settings.port = server.port();
    IrcRoomLink link(settings); // the real limits: 5 at once, then one a second
    link.join();
    if (!QTest::qWaitFor([&] { return link.isJoined(); }, 5000)) {
        out << "behind replies: link could not join\n";
        return;
    }
    readUntil(member, buffer, "JOIN", 3000);

    QStringList help;
    for (int i = 1; i <= 15; ++i)
        help.append(QStringLiteral("!command%1 does thing %1").arg(i));
    // The first help empties the bucket; from then on at least 15 reply lines wait at every sample, as
    // one more member asks before each (until the total cap turns them away).
    link.postReply(QStringLiteral("Member%1").arg(samples), help.join(QLatin1Char('\n')));
    QList<double> ms;
    for (int i = 0; i < samples; ++i) {
        // The question comes at a random point of a send slot.
        link.postReply(QStringLiteral("Member%1").arg(i), help.join(QLatin1Char('\n')));
        QTest::qWait(int(QRandomGenerator::global()->bounded(1000)));
        buffer.clear();
        const QByteArray needle = "question " + QByteArray::number(i) + "\r\n";
        QElapsedTimer clock;
        clock.start();
        link.post(QStringLiteral("question %1").arg(i));
        if (!QTest::qWaitFor([&] { buffer += member.readAll(); return buffer.contains(needle); }, 5000)) {
            out << "behind replies: sample " << i << " lost\n";
            return;
        }
        ms.append(clock.nsecsElapsed() / 1e6);
    }
    out << "post to another member behind 15 or more waiting reply lines (ngircd, burst 5, 1000 ms slots, " << samples
        << " samples): median " << QString::number(percentile(ms, 0.5), 'f', 1) << " ms, max "
        << QString::number(percentile(ms, 1.0), 'f', 1) << " ms (target under one slot, 1000 ms)\n";
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    throughput();
    out.flush();
    latency();
    out.flush();
    behindReplies();
    out.flush();
    return 0;
}
