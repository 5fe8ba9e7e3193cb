#include "app/messagebox.h"
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

    void roomLineReachesTextCaptured()
    {
        NgircdServer server;
        QVERIFY2(server.isRunning(), qPrintable(server.error()));
        IrcClient alice;
        QVERIFY(alice.connectAndJoin(server.port(), "Alice", "#trivia"));
        IrcRoomSettings settings;
        settings.port = server.port();
        IrcRoomLink link(settings);
        QSignalSpy captured(&link, &RoomLink::textCaptured);
        link.join();
        QTRY_VERIFY(link.isJoined());

        alice.say(QStringLiteral(u"\x03" "04Zürich\x03"));
        QTRY_COMPARE(captured.size(), 2);
        QCOMPARE(captured.at(0).at(0).toString(), QStringLiteral(u"Alice: Zürich"));
        QCOMPARE(captured.at(1).at(0).toString(), QStringLiteral("\n"));
    }

    void longPostArrivesCompleteAndInOrder()
    {
        NgircdServer server;
        QVERIFY2(server.isRunning(), qPrintable(server.error()));
        IrcClient alice;
        QVERIFY(alice.connectAndJoin(server.port(), "Alice", "#trivia"));
        // The real burst, a quicker rate to keep the test short.
        IrcRoomSettings settings;
        settings.port = server.port();
        IrcRoomLink link(settings, nullptr, SendQueue::defaultBurst, 100);
        QSignalSpy disconnected(&link, &IrcRoomLink::disconnected);
        link.join();
        QTRY_VERIFY(link.isJoined());

        QStringList posted;
        QStringList expected;
        for (int i = 1; i <= 15; ++i) {
            posted.append(QStringLiteral("%1. <b>Player%1</b> %2 points").arg(i).arg(100 - i));
            expected.append(QStringLiteral("QuizNewt: %1. \x02Player%1\x02 %2 points").arg(i).arg(100 - i));
        }
        link.post(posted.join(QLatin1Char('\n')));
        link.post(QStringLiteral("still here"));
        QVERIFY(alice.waitForChannelLines(16, 10000));
        QCOMPARE(alice.channelLines(), expected + QStringList{QStringLiteral("QuizNewt: still here")});
        QVERIFY(link.isJoined());
        QVERIFY(disconnected.isEmpty());
    }
};

QTEST_MAIN(TestIrcRoomLinkNgircd)
#include "tst_ircroomlink_ngircd.moc"
