// How the room is shared under a flood, through a real server and the whole
// game: four members send commands for a while during a game; how many reply
// lines each gets (the smallest and largest share), then how long a quiet
// member who asks once after the flood waits for the first line of the answer.
// Usage: bench_fairness [flood seconds, default 60]
#include "game/clock.h"
#include "game/game.h"
#include "roomlink/ircroomlink.h"
#include "tests/common/memorygamestore.h"
#include "tests/common/ngircdserver.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpSocket>
#include <QTextStream>
#include <QtTest/QTest>

#include <algorithm>
#include <memory>

static QTextStream out(stdout);

// A member's connection; counts the private lines addressed to it.
struct Member
{
    QByteArray nick;
    QTcpSocket socket;
    QByteArray buffer;
    int replies = 0;
    int notices = 0;
    qint64 firstReplyAt = -1;
    bool joined = false;

    bool connectTo(quint16 port)
    {
        socket.connectToHost(QHostAddress::LocalHost, port);
        if (!socket.waitForConnected(3000))
            return false;
        socket.write("NICK " + nick + "\r\nUSER " + nick + " 0 * :bench\r\nJOIN #trivia\r\n");
        return QTest::qWaitFor([&] { read(nullptr); return joined; }, 5000);
    }
    void say(const QByteArray& text) { socket.write("PRIVMSG #trivia :" + text + "\r\n"); }
    void read(const QElapsedTimer* clock)
    {
        buffer += socket.readAll();
        const QByteArray mine = " PRIVMSG " + nick + " :";
        for (qsizetype end; (end = buffer.indexOf("\r\n")) >= 0;) {
            const QByteArray line = buffer.left(end);
            if (line.contains(mine)) {
                if (line.contains("busy"))
                    ++notices;
                else
                    ++replies;
                if (clock && firstReplyAt < 0)
                    firstReplyAt = clock->elapsed();
            }
            joined = joined || line.contains(" 366 ");
            buffer.remove(0, end + 2);
        }
    }
};

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int floodSeconds = argc > 1 ? QByteArray(argv[1]).toInt() : 60;
    NgircdServer server;
    if (!server.isRunning()) {
        out << "fairness: ngircd not available: " << server.error() << "\n";
        return 1;
    }

    auto store = std::make_unique<MemoryGameStore>();
    for (int i = 0; i < 60; ++i)
        store->addQuestion(QStringLiteral("Capitals"), QStringLiteral("Question %1?").arg(i), QStringLiteral("x%1").arg(i));
    for (int i = 0; i < 15; ++i)
        store->addQuestion(QStringLiteral("Category %1").arg(i), QStringLiteral("Q?"), QStringLiteral("A"));
    for (int i = 0; i < 12; ++i)
        store->addMember(QStringLiteral("Player%1").arg(i), 50 - i, false, false);
    store->addMember(QStringLiteral("Ctrl"), 0, true, false);

    IrcRoomSettings settings;
    settings.server = server.host();
    settings.port = server.port();
    IrcRoomLink link(settings); // the real limits: 5 at once, then one a second
    Game game(&link, std::move(store), Clock::system(), Quiz::standardRandom());
    game.setAnswerSeconds(20);
    game.setWaitSeconds(5);
    link.join();
    if (!QTest::qWaitFor([&] { return link.isJoined(); }, 5000)) {
        out << "fairness: link could not join\n";
        return 1;
    }

    std::vector<std::unique_ptr<Member>> members;
    for (const char* nick : {"Ctrl", "Flood1", "Flood2", "Flood3", "Flood4", "Quiet"}) {
        members.push_back(std::make_unique<Member>());
        members.back()->nick = nick;
        if (!members.back()->connectTo(server.port())) {
            out << "fairness: " << nick << " could not join\n";
            return 1;
        }
    }
    members[0]->say("!start Capitals");
    QTest::qWait(2000);

    // Each flooder: a command every 300 ms, different ones in turn.
    const QList<QByteArray> commands{"!top", "!help", "!myscore", "!q", "!categories", "!userscore Player1", "!about"};
    QElapsedTimer clock;
    clock.start();
    for (int tick = 0; clock.elapsed() < floodSeconds * 1000; ++tick) {
        for (int i = 1; i <= 4; ++i)
            members[i]->say(commands.at((tick + i) % commands.size()));
        QTest::qWait(300);
        for (auto& member : members)
            member->read(nullptr);
    }
    // A second after the flood, the quiet member asks once.
    QTest::qWait(1000);
    for (auto& member : members)
        member->read(nullptr);
    QElapsedTimer asked;
    asked.start();
    members[5]->say("!help");
    const bool answered = QTest::qWaitFor([&] { members[5]->read(&asked); return members[5]->firstReplyAt >= 0; }, 120000);
    // What still waited for the flooders comes meanwhile; count it too.
    QTest::qWait(2000);
    QList<int> shares;
    for (int i = 1; i <= 4; ++i) {
        members[i]->read(nullptr);
        shares.append(members[i]->replies);
        out << members[i]->nick << ": " << members[i]->replies << " reply lines, " << members[i]->notices
            << " busy notices\n";
    }
    const int least = *std::min_element(shares.begin(), shares.end());
    const int most = *std::max_element(shares.begin(), shares.end());
    out << "four flooders, " << floodSeconds << " s (ngircd, burst 5, one a second): reply lines per member min "
        << least << ", max " << most << ", min/max share " << QString::number(most ? double(least) / most : 0, 'f', 2)
        << "\n";
    if (answered)
        out << "quiet member's !help one second after the flood: first line after "
            << QString::number(members[5]->firstReplyAt / 1000.0, 'f', 1) << " s\n";
    else
        out << "quiet member's !help one second after the flood: no answer within 120 s\n";
    return 0;
}
