#include "roomlink/ircroomlink.h"
#include "tests/common/ircclient.h"
#include "tests/common/ircservices.h"
#include "tests/common/ngircdserver.h"

#include <QtTest>

#include <memory>

// The room link against real IRC servers: ngircd with a scripted member, and
// inspircd with atheme's SaslServ checking an account's password.
class TestIrcRoomLinkServers : public QObject
{
    Q_OBJECT

    const QByteArray password = "quiz-s3cret";
    std::unique_ptr<IrcServicesServer> services;

private Q_SLOTS:
    void backAfterServerRestart()
    {
        NgircdServer server;
        QVERIFY2(server.isRunning(), qPrintable(server.error()));
        IrcRoomSettings settings;
        settings.port = server.port();
        // The real burst, quicker slots and first wait to keep the test short.
        IrcRoomLink link(settings, nullptr, SendQueue::defaultBurst, 100);
        link.setReconnectBaseMs(100);
        QSignalSpy joined(&link, &RoomLink::joined);
        QSignalSpy lost(&link, &RoomLink::lost);
        QSignalSpy captured(&link, &RoomLink::textCaptured);
        link.join();
        QTRY_COMPARE_WITH_TIMEOUT(joined.size(), 1, 15000);

        server.stop();
        QTRY_COMPARE_WITH_TIMEOUT(lost.size(), 1, 15000);
        QTest::qWait(300); // an attempt or two meets a closed port
        QVERIFY2(server.start(), qPrintable(server.error()));
        QTRY_COMPARE_WITH_TIMEOUT(joined.size(), 2, 15000);
        QCOMPARE(link.stateText(), QStringLiteral("In #trivia on 127.0.0.1"));

        IrcClient alice;
        QVERIFY(alice.connectAndJoin(server.port(), "Alice", "#trivia"));
        alice.say(QStringLiteral(u"\x03" "04Zürich\x03"));
        QTRY_COMPARE_WITH_TIMEOUT(captured.size(), 2, 15000);
        QCOMPARE(captured.at(0).at(0).toString(), QStringLiteral(u"Alice: Zürich"));
        // A question posted behind a long reply goes at once: replies leave the game tokens.
        QStringList posted;
        QStringList seen;
        for (int i = 1; i <= 15; ++i) {
            posted.append(QStringLiteral("%1. <b>Player%1</b>").arg(i));
            seen.append(QStringLiteral("QuizNewt: %1. \x02Player%1\x02").arg(i));
        }
        seen.insert(3, QStringLiteral("QuizNewt: Capital of France?"));
        link.postReply(QStringLiteral("Alice"), posted.join(QLatin1Char('\n')), true);
        link.post(QStringLiteral("Capital of France?"));
        QVERIFY(alice.waitForChannelLines(16, 15000));
        QCOMPARE(alice.channelLines(), seen);
        QCOMPARE(lost.size(), 1);
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
        // One network for both rows, the account registered once.
        if (!services) {
            services = std::make_unique<IrcServicesServer>();
            QVERIFY2(services->registerAccount("quizbot", password), qPrintable(services->error()));
        }
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
