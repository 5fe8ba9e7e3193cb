// A short game in a real IRC room (ngircd on loopback) with scripted players.

#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSpinBox>
#include <QTest>
#include <QThread>

#include <atomic>
#include <memory>

#include "app/quiznewt.h"
#include "tests/common/gametiming.h"
#include "tests/common/ircclient.h"

class tst_GameEndToEnd : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void gameInTheRoom()
    {
        RoomGame room(QStringLiteral("Capital of France?"), QStringLiteral("Paris"));
        QVERIFY2(room.isReady(), qPrintable(room.error()));
        NgircdServer& server = room.server;

        // Bob plays on a thread of his own: the game's pause blocks the main
        // thread, so only a member elsewhere sees when lines really arrive.
        std::atomic<bool> bobIn{false};
        QStringList heard;
        QList<qint64> heardAt;
        std::unique_ptr<QThread> bob(QThread::create([&] {
            IrcClient client;
            bobIn = client.connectAndJoin(server.port(), "Bob", "#trivia");
            auto hear = [&](const QString& text) {
                return QTest::qWaitFor([&] { return !client.channelLines().filter(text).isEmpty(); }, 15000);
            };
            if (hear(QStringLiteral("QuizNewt: Hint: ")))
                client.say(QStringLiteral("paris"));
            hear(QStringLiteral("QuizNewt: (O) Trivia ended"));
            heard = client.channelLines();
            heardAt = client.channelTimes();
        }));
        bob->start();
        auto waitForBob = qScopeGuard([&] { bob->wait(); });
        QTRY_VERIFY_WITH_TIMEOUT(bobIn, 10000);

        IrcClient host;
        QVERIFY(host.connectAndJoin(server.port(), "Host", "#trivia"));
        QuizNewt window; // the real pause of one second
        window.sbAnswer->setValue(3);
        window.sbWaitTime->setValue(1);
        window.pbConnect->click();
        QVERIFY(host.waitForChannelLines(1, 10000));
        host.say(QStringLiteral("!start capitals"));
        // Announcement, question, hint, Bob's answer, success, pause, next question.
        QVERIFY(host.waitForChannelLines(8, 15000));
        host.say(QStringLiteral("!quit"));
        QTRY_VERIFY_WITH_TIMEOUT(bob->isFinished(), 15000);

        // Trailing blanks do not survive the trip through the server.
        heard.replaceInStrings(QRegularExpression(QStringLiteral(" +$")), QString());
        const QRegularExpression hint(QStringLiteral("^QuizNewt: Hint: [P_] [a_] [r_] [i_] [s_]$"));
        QVERIFY(hint.match(heard.value(4)).hasMatch());
        heard[4] = QStringLiteral("QuizNewt: Hint");
        QCOMPARE(heard, QStringList({"QuizNewt: (O) QuizNewt Connected (O)", "Host: !start capitals",
                                     "QuizNewt: (O) QuizNewt started by Host (O)", "QuizNewt: Capital of France?",
                                     "QuizNewt: Hint", "QuizNewt: (*)Bob(*) Is Correct!  Score: 1",
                                     "QuizNewt: Next Question in 1 Seconds", "QuizNewt: Capital of France?",
                                     "Host: !quit", "QuizNewt: (O) Trivia ended by Host (O)"}));
        QVERIFY2(heardAt.at(3) - heardAt.at(2) >= 900, "pause between the announcement and the question");
    }

    // Members keep asking for help, so replies wait all the time: the room
    // still sees each question open for the whole answer time, its hint at
    // half of it, and the next question right after the pause.
    void timingWithRepliesWaiting()
    {
        RoomGame room(QStringLiteral("Capital of Peru?"), QStringLiteral("Lima"));
        QVERIFY2(room.isReady(), qPrintable(room.error()));
        QString heard;
        const QList<QuestionTiming> timings = playWithRepliesWaiting(room.server.port(), 2, 1, 8, &heard);
        QVERIFY2(timings.size() >= 2, qPrintable(heard));
        for (const QuestionTiming& timing : timings) {
            QVERIFY2(qAbs(timing.hint - 1000) < 200, qPrintable(QString::number(timing.hint)));
            QVERIFY2(qAbs(timing.timedOut - 2000) < 200, qPrintable(QString::number(timing.timedOut)));
            QVERIFY2(timing.pause < 0 || (timing.pause >= 950 && timing.pause < 1200),
                     qPrintable(QString::number(timing.pause)));
        }
    }
};

QTEST_MAIN(tst_GameEndToEnd)
#include "tst_game_e2e.moc"
