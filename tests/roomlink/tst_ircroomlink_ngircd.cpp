#include "gui/messagebox.h"
#include "app/quiznewt.h"
#include "roomlink/ircroomlink.h"
#include "tests/common/ircclient.h"
#include "tests/common/ngircdserver.h"
#include "tests/common/testdatabase.h"

#include <QPushButton>
#include <QSettings>
#include <QtTest>

// The room link against a real IRC server (ngircd), with a scripted member.
class TestIrcRoomLinkNgircd : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void connectGreetsThroughTheWindow()
    {
        NgircdServer server;
        QVERIFY2(server.isRunning(), qPrintable(server.error()));
        isolateSettings();
        MessageBox::setTestMode(true);
        TestDatabase db;
        QVERIFY2(db.isValid(), qPrintable(db.error()));
        db.makeInstallDir();
        QSettings(QStringLiteral("NewtLiberty"), QStringLiteral("QuizNewt"))
            .setValue(QStringLiteral("Room/Port"), server.port());
        IrcClient alice;
        QVERIFY(alice.connectAndJoin(server.port(), "Alice", "#trivia"));

        QuizNewt window;
        window.pbConnect->click();
        QVERIFY(alice.waitForChannelLines(1, 10000));
        QCOMPARE(alice.channelLines(), QStringList{QStringLiteral("QuizNewt: (O) QuizNewt Connected (O)")});
        // Connect again while in the room greets again on the same connection.
        window.pbConnect->click();
        QVERIFY(alice.waitForChannelLines(2));
        QCOMPARE(alice.channelLines().at(1), QStringLiteral("QuizNewt: (O) QuizNewt Connected (O)"));
        QCOMPARE(alice.joins(), QStringList{QStringLiteral("QuizNewt")});
        QVERIFY(MessageBox::takeShown().isEmpty());
    }

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
        QTRY_COMPARE(joined.size(), 1);

        server.stop();
        QTRY_COMPARE(lost.size(), 1);
        QTest::qWait(300); // an attempt or two meets a closed port
        QVERIFY2(server.start(), qPrintable(server.error()));
        QTRY_COMPARE_WITH_TIMEOUT(joined.size(), 2, 10000);
        QCOMPARE(link.stateText(), QStringLiteral("In #trivia on 127.0.0.1"));

        IrcClient alice;
        QVERIFY(alice.connectAndJoin(server.port(), "Alice", "#trivia"));
        alice.say(QStringLiteral(u"\x03" "04Zürich\x03"));
        QTRY_COMPARE(captured.size(), 2);
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
        QVERIFY(alice.waitForChannelLines(16, 10000));
        QCOMPARE(alice.channelLines(), seen);
        QCOMPARE(lost.size(), 1);
    }
};

QTEST_MAIN(TestIrcRoomLinkNgircd)
#include "tst_ircroomlink_ngircd.moc"
