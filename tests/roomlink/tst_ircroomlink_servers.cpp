#include "roomlink/ircroomlink.h"
#include "tests/common/ircservices.h"

#include <QtTest>

#include <memory>

// The room link's SASL login against a real network: inspircd with atheme's
// SaslServ checking an account's password.
class TestIrcRoomLinkServers : public QObject
{
    Q_OBJECT

    const QByteArray password = "quiz-s3cret";
    std::unique_ptr<IrcServicesServer> services;

private Q_SLOTS:
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
