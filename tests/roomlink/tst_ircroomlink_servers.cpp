// The link on real servers. On ngircd: replies from the game to members, two
// requests both answered, every member of a flood served and a quiet one
// after it, 60 categories listed, a refused restart that stops nothing, and
// no empty message anywhere; its place: back in after a kick, its nick back
// once the holder leaves. On inspircd with atheme's
// SaslServ: the SASL login, with the account's password and without.

#include "game/clock.h"
#include "game/game.h"
#include "roomlink/ircroomlink.h"
#include "tests/common/ircclient.h"
#include "tests/common/ircservices.h"
#include "tests/common/memorygamestore.h"
#include "tests/common/ngircdserver.h"

#include <QtTest>

#include <algorithm>
#include <memory>

class TestIrcRoomLinkServers : public QObject
{
    Q_OBJECT

    const QByteArray password = "quiz-s3cret";
    std::unique_ptr<IrcServicesServer> services;

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

        std::vector<std::unique_ptr<IrcClient>> members;
        for (const char* nick : {"Host", "Ann", "Bob", "F1", "F2", "F3", "F4", "Quiet"}) {
            members.push_back(std::make_unique<IrcClient>());
            members.back()->startJoining(server.port(), nick, "#trivia");
        }
        QTRY_VERIFY_WITH_TIMEOUT(std::all_of(members.begin(), members.end(), [](auto& m) { return m->isInChannel(); }),
                                 20000);
        IrcClient& host = *members[0];
        link.join();
        QTRY_VERIFY_WITH_TIMEOUT(link.isJoined(), 10000);
        host.say(QStringLiteral("!start Capitals"));
        QTRY_VERIFY_WITH_TIMEOUT(host.channelLines().contains(QStringLiteral("QuizNewt: Capital of France?")), 5000);

        members[1]->say(QStringLiteral("!top"));
        members[1]->say(QStringLiteral("!help"));
        members[2]->say(QStringLiteral("!restart Capitals"));
        members[2]->say(QStringLiteral("!categories"));
        for (int round = 0; round < 5; ++round) {
            for (int f = 3; f <= 6; ++f)
                members[f]->say(QLatin1String(round % 2 ? "!help" : "!top"));
        }
        QTest::qWait(300);
        members[7]->say(QStringLiteral("!about"));

        const auto heard = [](const IrcClient* member, const char* text) {
            return !member->privateLines().filter(QLatin1String(text)).isEmpty();
        };
        // The newcomer may be served before Ann's second request is through.
        QTRY_VERIFY_WITH_TIMEOUT(heard(members[7].get(), "About QuizNewt"), 30000);
        // Both of Ann's, shared a line a turn with four flooders: a minute on a loaded machine.
        QTRY_VERIFY_WITH_TIMEOUT(heard(members[1].get(), "Top Ten") && heard(members[1].get(), "QuizNewt Commands"),
                                 60000);
        for (int f = 3; f <= 6; ++f) {
            const QString flooder = QStringLiteral("F%1").arg(f - 2);
            QTRY_VERIFY2_WITH_TIMEOUT(!members[f]->privateLines().isEmpty(), qPrintable(flooder), 30000);
        }
        // The refused restart stopped nothing; the room had the whole list
        // (names as stored, upper case in this store).
        QVERIFY(!game.isStopped());
        QTRY_VERIFY_WITH_TIMEOUT(std::all_of(categories.begin(), categories.end(), [&](const QString& name) {
            return host.channelLines().join(QLatin1Char(' ')).contains(name);
        }), 10000);
        QVERIFY(host.channelLines().filter(QStringLiteral("Restarting")).isEmpty());
        // Nothing empty, nothing of formatting alone, for anyone.
        for (const auto& member : members) {
            for (QString line : member->channelLines() + member->privateLines())
                QVERIFY2(!line.section(QStringLiteral(": "), 1).remove(QChar(0x02)).trimmed().isEmpty(),
                         qPrintable(line));
        }
    }

    // Its place: back in after a kick, and its nick back once the holder,
    // first in the channel and so its operator, leaves. After a ban it stays
    // out: tst_ircroomlink's "banned on coming back".
    void placeInTheRoom()
    {
        NgircdServer server;
        QVERIFY2(server.isRunning(), qPrintable(server.error()));
        IrcClient op;
        QVERIFY(op.connectAndJoin(server.port(), "QuizNewt", "#trivia"));
        IrcRoomLink link(settingsFor(server));
        int joins = 0;
        connect(&link, &RoomLink::joined, this, [&] { ++joins; });
        link.join();
        QTRY_COMPARE_WITH_TIMEOUT(joins, 1, 10000);
        QCOMPARE(link.currentNick(), QByteArray("QuizNewt_"));
        QVERIFY2(link.greetsOnJoin(), "the operator's join greets");
        op.sendRaw("KICK #trivia QuizNewt_ :out");
        QTRY_VERIFY_WITH_TIMEOUT(!link.isJoined(), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(joins, 2, 10000);
        QVERIFY2(!link.greetsOnJoin(), "a return greets only when the settings say so");
        op.sendRaw("QUIT :gone");
        QTRY_COMPARE_WITH_TIMEOUT(link.currentNick(), QByteArray("QuizNewt"), 10000);
    }

    void saslLogin_data()
    {
        QTest::addColumn<QByteArray>("loginPassword");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("accepted login") << password << true;
        QTest::newRow("refused login") << QByteArray("not-the-password") << false;
    }
    void saslLogin()
    {
        QFETCH(QByteArray, loginPassword);
        QFETCH(bool, accepted);
        // One network for both rows.
        if (!services)
            services = std::make_unique<IrcServicesServer>("quizbot", password);
        QVERIFY2(services->isRunning(), qPrintable(services->error()));
        IrcRoomSettings settings;
        settings.port = services->port();
        settings.saslUser = "quizbot";
        settings.saslPassword = loginPassword;
        IrcRoomLink link(settings);
        link.join();
        // The link joins only on the server's word that the login succeeded.
        const QString in = QStringLiteral("In #trivia on 127.0.0.1"), refused = QStringLiteral("SASL login refused");
        QTRY_VERIFY_WITH_TIMEOUT(link.stateText() == in || link.stateText() == refused, 30000);
        QCOMPARE(link.stateText(), accepted ? in : refused);
    }
};

QTEST_GUILESS_MAIN(TestIrcRoomLinkServers)
#include "tst_ircroomlink_servers.moc"
