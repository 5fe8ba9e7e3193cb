// A short game in a real IRC room (ngircd on loopback) with scripted players.

#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

#include "app/quiznewt.h"
#include "gui/messagebox.h"
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
        const QString greeting = QStringLiteral("(O) QuizNewt Connected (O)");
        bool greetedAgain = false;
        QStringList joins;
        // Bob answers at the hint, and the real pause of one second follows.
        HeardInRoom heard = playInRoom(room.server.port(), 3, 1, [&](QuizNewt& window, IrcClient& host) {
            // Announcement, question, hint, Bob's answer, success, pause, next question.
            if (!host.waitForChannelLines(8, 15000))
                return;
            // Connect while in the room greets again on the same connection.
            window.pbConnect->click();
            greetedAgain = QTest::qWaitFor([&] { return host.channelLines().filter(greeting).size() == 2; }, 5000);
            joins = host.joins();
        }, QStringLiteral("Hint: "), QStringLiteral("paris"));
        QVERIFY(greetedAgain);
        QCOMPARE(joins, QStringList{QStringLiteral("QuizNewt")});

        // Trailing blanks do not survive the trip through the server.
        heard.lines.replaceInStrings(QRegularExpression(QStringLiteral(" +$")), QString());
        const QRegularExpression hint(QStringLiteral("^Hint: [P_] [a_] [r_] [i_] [s_]$"));
        QVERIFY(hint.match(heard.lines.value(3)).hasMatch());
        heard.lines[3] = QStringLiteral("Hint");
        QCOMPARE(heard.lines, QStringList({greeting, "(O) QuizNewt started by Host (O)", "Capital of France?", "Hint",
                                           "(*)Bob(*) Is Correct!  Score: 1", "Next Question in 1 Seconds",
                                           "Capital of France?", greeting, "(O) Trivia ended by Host (O)"}));
        QVERIFY2(heard.times.at(2) - heard.times.at(1) >= 900, "pause between the announcement and the question");
        QVERIFY(MessageBox::takeShown().isEmpty());
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
        // Replies that ate into the game's time would cost whole seconds; the
        // margins only allow for a loaded machine. bench_gametiming measures.
        for (const QuestionTiming& timing : timings) {
            QVERIFY2(timing.hint >= 900 && timing.hint < 1800, qPrintable(QString::number(timing.hint)));
            QVERIFY2(timing.timedOut >= 1900 && timing.timedOut < 2800, qPrintable(QString::number(timing.timedOut)));
            QVERIFY2(timing.pause < 0 || (timing.pause >= 900 && timing.pause < 1800),
                     qPrintable(QString::number(timing.pause)));
        }
    }
};

QTEST_MAIN(tst_GameEndToEnd)
#include "tst_game_e2e.moc"
