// The link keeping its place on a real server (ngircd): its nick back once
// the holder leaves, back in after a kick, but not after a ban.

#include "roomlink/ircroomlink.h"
#include "tests/common/ircclient.h"
#include "tests/common/ngircdserver.h"

#include <QtTest>

class TestRoomPlace : public QObject
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

QTEST_GUILESS_MAIN(TestRoomPlace)
#include "tst_roomplace.moc"
