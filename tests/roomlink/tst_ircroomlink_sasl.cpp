#include "roomlink/ircroomlink.h"
#include "tests/common/ircservices.h"

#include <QtTest>

#include <memory>

// Account login (SASL PLAIN) against a real server: inspircd, with atheme's
// SaslServ checking the password.
class TestIrcRoomLinkSasl : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        server = std::make_unique<IrcServicesServer>();
        QVERIFY2(server->isRunning(), qPrintable(server->error()));
        QVERIFY2(server->registerAccount("quizbot", password), qPrintable(server->error()));
    }

    void login_data()
    {
        QTest::addColumn<QByteArray>("loginPassword");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("accepted login") << password << true;
        QTest::newRow("refused login") << QByteArray("not-the-password") << false;
    }

    void login()
    {
        QFETCH(QByteArray, loginPassword);
        QFETCH(bool, accepted);
        IrcRoomSettings settings;
        settings.server = server->host();
        settings.port = server->port();
        settings.nick = "QuizNewt";
        settings.channel = "#trivia";
        settings.saslUser = "quizbot";
        settings.saslPassword = loginPassword;
        IrcRoomLink link(settings);
        QSignalSpy joined(&link, &RoomLink::joined);
        link.join();

        if (accepted) {
            QTRY_COMPARE_WITH_TIMEOUT(joined.size(), 1, 15000);
            // Joining alone would also happen without any login.
            QCOMPARE(server->accountOf(link.currentNick()), QByteArray("quizbot"));
        } else {
            const QString refused = QStringLiteral("SASL login refused");
            QTRY_COMPARE_WITH_TIMEOUT(link.stateText(), refused, 5000);
            // Registering anyway would bring the welcome and the join within
            // about a second.
            QTest::qWait(2500);
            QCOMPARE(joined.size(), 0);
            QCOMPARE(link.stateText(), refused);
        }
    }

private:
    const QByteArray password = "quiz-s3cret";
    std::unique_ptr<IrcServicesServer> server;
};

QTEST_GUILESS_MAIN(TestIrcRoomLinkSasl)
#include "tst_ircroomlink_sasl.moc"
