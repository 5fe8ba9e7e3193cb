// The link on a real server (ngircd). Replies from the game to members: two
// requests both answered, every member of a flood served and a quiet one
// after it, 60 categories listed, a refused restart that stops nothing, and
// no empty message anywhere. Its place: its nick back once the holder leaves,
// back in after a kick, but not after a ban.

#include "game/clock.h"
#include "game/game.h"
#include "roomlink/ircroomlink.h"
#include "tests/common/ircclient.h"
#include "tests/common/memorygamestore.h"
#include "tests/common/ngircdserver.h"

#include <QTcpSocket>
#include <QtTest>

#include <algorithm>
#include <memory>

// A member: every PRIVMSG it receives, as "target text".
struct Member
{
    QByteArray nick;
    QTcpSocket socket;
    QByteArray buffer;
    QList<QByteArray> heard;

    bool joined = false;

    void join(quint16 port)
    {
        socket.connectToHost(QHostAddress::LocalHost, port);
        socket.write("NICK " + nick + "\r\nUSER " + nick + " 0 * :test\r\nJOIN #trivia\r\n");
    }
    void say(const QByteArray& text) { socket.write("PRIVMSG #trivia :" + text + "\r\n"); }
    void read()
    {
        buffer += socket.readAll();
        for (qsizetype end; (end = buffer.indexOf("\r\n")) >= 0; buffer.remove(0, end + 2)) {
            const QByteArray line = buffer.left(end);
            joined = joined || line.contains(" 366 ");
            const qsizetype at = line.indexOf(" PRIVMSG ");
            if (at >= 0)
                heard.append(line.mid(at + 9).replace(" :", " "));
        }
    }
    int privately(const QByteArray& needle = QByteArray())
    {
        read();
        int count = 0;
        for (const QByteArray& line : std::as_const(heard))
            count += line.startsWith(nick + ' ') && line.contains(needle);
        return count;
    }
};

class TestRoomServer : public QObject
{
    Q_OBJECT

    IrcRoomSettings settingsFor(const NgircdServer& server)
    {
        IrcRoomSettings settings;
        settings.port = server.port();
        settings.rejoinAfterKickSeconds = 1;
        settings.greetOnRejoin = false;
        return settings;
    }

private Q_SLOTS:
    void repliesInARunningGame()
    {
        NgircdServer server;
        QVERIFY2(server.isRunning(), qPrintable(server.error()));
        auto store = std::make_unique<MemoryGameStore>();
        store->addQuestion(QStringLiteral("Capitals"), QStringLiteral("Capital of France?"), QStringLiteral("Paris"));
        for (int i = 1; i < 60; ++i)
            store->addQuestion(QStringLiteral("Topic %1").arg(i, 2, 10, QLatin1Char('0')), QStringLiteral("Q?"),
                               QStringLiteral("A"));
        store->addMember(QStringLiteral("Host"), 0, true, false);
        const QStringList categories = store->categories.keys();
        // The real burst, quicker slots: the rules are the queue tests' part.
        IrcRoomLink link(settingsFor(server), nullptr, SendQueue::defaultBurst, 150);
        Game game(&link, std::move(store), Clock::system(), Quiz::standardRandom());
        game.setAnswerSeconds(4);
        game.setWaitSeconds(1);
        game.setStartPause(100);

        std::vector<std::unique_ptr<Member>> members;
        for (const char* nick : {"Host", "Ann", "Bob", "F1", "F2", "F3", "F4", "Quiet"}) {
            members.push_back(std::make_unique<Member>());
            members.back()->nick = nick;
            members.back()->join(server.port());
        }
        // Together: the server makes each registration wait about a second.
        QTRY_VERIFY_WITH_TIMEOUT(std::all_of(members.begin(), members.end(), [](auto& m) { return m->read(), m->joined; }),
                                 20000);
        Member& host = *members[0];
        link.join();
        QTRY_VERIFY_WITH_TIMEOUT(link.isJoined(), 10000);
        host.say("!start Capitals");
        QTRY_VERIFY_WITH_TIMEOUT((host.read(), host.heard.contains("#trivia Capital of France?")), 5000);

        members[1]->say("!top");
        members[1]->say("!help");
        members[2]->say("!restart Capitals");
        members[2]->say("!categories");
        for (int round = 0; round < 5; ++round) {
            for (int f = 3; f <= 6; ++f)
                members[f]->say(round % 2 ? "!help" : "!top");
        }
        QTest::qWait(300);
        members[7]->say("!about");

        QTRY_VERIFY_WITH_TIMEOUT(members[7]->privately("About QuizNewt"), 30000);
        QVERIFY(members[1]->privately("Top Ten") && members[1]->privately("QuizNewt Commands"));
        for (int f = 3; f <= 6; ++f)
            QVERIFY2(members[f]->privately(), members[f]->nick.constData());
        // The refused restart stopped nothing; the room had the whole list
        // (names as stored, upper case in this store).
        QVERIFY(!game.isStopped());
        auto heardList = [&] {
            host.read();
            QString list;
            for (const QByteArray& line : std::as_const(host.heard)) {
                if (line.startsWith("#trivia "))
                    list += QString::fromUtf8(line.mid(8)) + QLatin1Char(' ');
            }
            return std::all_of(categories.begin(), categories.end(), [&](const QString& name) {
                return list.contains(name);
            }) && !list.contains(QLatin1String("Restarting"));
        };
        QTRY_VERIFY_WITH_TIMEOUT(heardList(), 10000);
        // Nothing empty, nothing of formatting alone, for anyone.
        for (const auto& member : members) {
            member->read();
            for (const QByteArray& line : std::as_const(member->heard))
                QVERIFY2(!QByteArray(line.mid(line.indexOf(' ') + 1)).replace('\x02', "").trimmed().isEmpty(),
                         line.constData());
        }
    }

    void nickRegained()
    {
        NgircdServer server;
        QVERIFY2(server.isRunning(), qPrintable(server.error()));
        IrcClient ghost;
        QVERIFY(ghost.connectAndJoin(server.port(), "QuizNewt", "#trivia"));
        IrcRoomLink link(settingsFor(server));
        link.join();
        QTRY_VERIFY_WITH_TIMEOUT(link.isJoined(), 10000);
        QCOMPARE(link.currentNick(), QByteArray("QuizNewt_"));
        ghost.sendRaw("QUIT :gone");
        QTRY_COMPARE_WITH_TIMEOUT(link.currentNick(), QByteArray("QuizNewt"), 10000);
    }

    void afterKick_data()
    {
        QTest::addColumn<bool>("banned");
        QTest::newRow("kicked: back in") << false;
        QTest::newRow("banned and kicked: stays out") << true;
    }
    void afterKick()
    {
        QFETCH(bool, banned);
        NgircdServer server;
        QVERIFY2(server.isRunning(), qPrintable(server.error()));
        IrcClient op; // first in the channel, so its operator
        QVERIFY(op.connectAndJoin(server.port(), "Op", "#trivia"));
        IrcRoomLink link(settingsFor(server));
        int joins = 0;
        connect(&link, &RoomLink::joined, this, [&] { ++joins; });
        link.join();
        QTRY_COMPARE_WITH_TIMEOUT(joins, 1, 10000);
        QVERIFY2(link.greetsOnJoin(), "the operator's join greets");
        if (banned)
            op.sendRaw("MODE #trivia +b QuizNewt!*@*");
        op.sendRaw("KICK #trivia QuizNewt :out");
        QTRY_VERIFY_WITH_TIMEOUT(!link.isJoined(), 10000);
        if (banned) {
            // Twice the wait before a rejoin.
            QTest::qWait(2000);
            QVERIFY(!link.isJoined());
        } else {
            QTRY_COMPARE_WITH_TIMEOUT(joins, 2, 10000);
            QVERIFY2(!link.greetsOnJoin(), "a return greets only when the settings say so");
        }
    }
};

QTEST_GUILESS_MAIN(TestRoomServer)
#include "tst_repliesinroom.moc"
