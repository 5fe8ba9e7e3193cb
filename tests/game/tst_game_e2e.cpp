// A game in a real IRC room (ngircd on loopback) with scripted players, while
// three members keep asking for help, so replies wait all the time.

#include <QLineEdit>
#include <QTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSpinBox>
#include <QTest>
#include <QComboBox>
#include <QTreeWidget>

#include <memory>
#include <vector>

#include "app/quiznewt.h"
#include "editor/dlgquestionhealth.h"
#include "settings/settings.h"
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
        std::vector<std::unique_ptr<IrcClient>> askers;
        for (const char* nick : {"Carol", "Dave", "Erin"}) {
            askers.push_back(std::make_unique<IrcClient>());
            QVERIFY(askers.back()->connectAndJoin(room.server.port(), nick, "#trivia"));
        }
        const QString greeting = QStringLiteral("(O) QuizNewt Connected (O)");
        bool greetedAgain = false;
        bool answerTimeShown = false;
        QStringList joins;
        QString shown;
        // Bob answers at the first hint; the two questions after it run out,
        // and a fourth follows.
        HeardInRoom heard = playInRoom(room.server.port(), 2, 1, [&](QuizNewt& window, IrcClient& host) {
            for (int round = 0; round < 100 && host.channelLines().filter("QuizNewt: Capital of").size() < 4; ++round) {
                for (auto& asker : askers)
                    asker->say(QStringLiteral("!help"));
                QTest::qWait(700);
            }
            // Connect while in the room greets again on the same connection.
            window.pbConnect->click();
            greetedAgain = QTest::qWaitFor([&] { return host.channelLines().filter(greeting).size() == 2; }, 5000);
            joins = host.joins();
            // The Trivia and Settings pages follow the engine.
            shown = window.teQuestion->toPlainText() + QLatin1Char('|') + window.leAnswer->text();
            host.say(QStringLiteral("!answertime 500"));
            answerTimeShown = QTest::qWaitFor([&] { return window.sbAnswer->value() == 120; }, 10000);
        }, QStringLiteral("Hint: "), QStringLiteral("paris"));
        QVERIFY(greetedAgain);
        QCOMPARE(joins, QStringList{QStringLiteral("QuizNewt")});
        QCOMPARE(shown, QStringLiteral("Capital of France?|Paris"));
        QVERIFY(answerTimeShown);

        // Trailing blanks do not survive the trip through the server.
        QStringList& lines = heard.lines;
        lines.replaceInStrings(QRegularExpression(QStringLiteral(" +$")), QString());
        const QRegularExpression hint(QStringLiteral("^Hint: [P_] [a_] [r_] [i_] [s_]$"));
        QVERIFY(hint.match(lines.value(3)).hasMatch());
        QCOMPARE(lines.mid(0, 7), QStringList({greeting, "(O) QuizNewt started by Host (O)", "Capital of France?",
                                               lines.value(3), "(*)Bob(*) Is Correct!  Score: 1",
                                               "Next Question in 1 Seconds", "Capital of France?"}));
        QCOMPARE(lines.filter(greeting).size(), 2);
        QCOMPARE(lines.last(), QStringLiteral("(O) Trivia ended by Host (O)"));
        QVERIFY2(lines.filter(QStringLiteral("Correct answer was")).isEmpty(), "the answer is kept back");
        // The gap a real machine can tell from none.
        QVERIFY2(heard.times.at(2) - heard.times.at(1) >= 500, "pause between the announcement and the question");

        // Each question that runs out: its hint at half the answer time, the
        // result at its end, the next question a pause after the result.
        // Replies that ate into the game's time would cost whole seconds; the
        // margins only allow for a loaded machine. bench_gametiming measures.
        const auto at = [&](int i, const char* start) { return lines.value(i).startsWith(QLatin1String(start)); };
        int timedOut = 0;
        for (int i = 6; i + 3 < lines.size(); ++i) {
            if (!at(i, "Capital of") || !at(i + 1, "Hint: ") || !at(i + 2, "Not answered"))
                continue;
            ++timedOut;
            const qint64 hint = heard.times.at(i + 1) - heard.times.at(i);
            const qint64 end = heard.times.at(i + 2) - heard.times.at(i);
            const qint64 pause = at(i + 4, "Capital of") ? heard.times.at(i + 4) - heard.times.at(i + 3) : 1000;
            QVERIFY2(hint >= 500 && hint < 2500 && end >= 1500 && end < 3500 && pause >= 500 && pause < 2500,
                     qPrintable(QStringLiteral("hint %1 ms, end %2 ms, pause %3 ms").arg(hint).arg(end).arg(pause)));
        }
        QVERIFY2(timedOut >= 2, qPrintable(lines.join(QLatin1Char('\n'))));
        QVERIFY(MessageBox::takeShown().isEmpty());
    }

    // Judging in the room: a slip is a near miss while judging is exact and
    // scores once an admin makes it lenient; an accepted answer scores; a
    // report is stored; the editor's health view lists the question; the
    // retired question beside it is never asked.
    void judgingInTheRoom()
    {
        RoomGame room(QStringLiteral("Capital of Australia?"), QStringLiteral("Canberra"));
        QVERIFY2(room.isReady(), qPrintable(room.error()));
        QVERIFY(room.db.exec(QStringLiteral("UPDATE users SET hasAdmin=1 WHERE username='Host'")));
        QVERIFY(room.db.exec(QStringLiteral("INSERT INTO content_answer SELECT contentID, 'Canberra City' FROM content "
                                            "WHERE answer='Canberra'")));
        const qint64 capitals = room.db.value(QStringLiteral("SELECT catID FROM category")).toLongLong();
        const qint64 retired = room.db.addQuestion(capitals, QStringLiteral("Retired: capital of Peru?"),
                                                   QStringLiteral("Lima"));
        QVERIFY(room.db.exec(QStringLiteral("INSERT INTO content_retired VALUES (%1, NULL)").arg(retired)));
        QStringList results;
        QString heard;
        int rows = -1;
        QString reasons;
        QString judgingShown;
        playInRoom(room.server.port(), 2, 1, [&](QuizNewt& window, IrcClient& host) {
            const auto asked = [&](int times) {
                return QTest::qWaitFor([&] { return host.channelLines().filter("QuizNewt: Capital of").size() >= times; },
                                       15000);
            };
            const auto result = [&](int times) {
                return QTest::qWaitFor(
                    [&] { return host.channelLines().filter("correct", Qt::CaseInsensitive).size() >= times; }, 15000);
            };
            const auto trace = qScopeGuard([&] { heard = (host.channelLines() + host.privateLines()).join(" / "); });
            if (!asked(1))
                return;
            host.say(QStringLiteral("Canbera"));
            host.say(QStringLiteral("!report the map says Sydney"));
            host.say(QStringLiteral("!judging lenient"));
            if (!result(1) || !asked(2))
                return;
            judgingShown = window.cbJudging->currentText() + QLatin1Char('/')
                + Settings::load<Settings::Game>().judging;
            host.say(QStringLiteral("canbera"));
            if (!result(2) || !asked(3))
                return;
            host.say(QStringLiteral("CANBERRA CITY"));
            // With these short times the game's lines keep the replies
            // waiting; the report's went out at the start.
            if (!result(3) || host.privateLines().filter("Thanks, the question is reported.").size() != 1)
                return;
            results = host.channelLines().filter(QRegularExpression(QStringLiteral("[Cc]orrect|Retired")));
            results.replaceInStrings(QRegularExpression(QStringLiteral(" +$")), QString());
            dlgQuestionHealth health;
            health.loadHealth();
            rows = health.twHealth->topLevelItemCount();
            reasons = rows == 1 ? health.twHealth->topLevelItem(0)->text(3) : QString();
        });
        QVERIFY2(results.size() == 3, qPrintable(heard));
        QCOMPARE(results, QStringList({"QuizNewt: Not answered correctly.",
                                       "QuizNewt: (*)Host(*) Is Correct!  Score: 1",
                                       "QuizNewt: (*)Host(*) Is Correct!  Score: 2"}));
        QCOMPARE(room.db.column(QStringLiteral("SELECT answer || ' ' || times FROM near_miss")),
                 QStringList("Canbera 1"));
        QCOMPARE(room.db.column(QStringLiteral("SELECT reporter || ': ' || note FROM question_report")),
                 QStringList("Host: the map says Sydney"));
        QCOMPARE(judgingShown, QStringLiteral("lenient/lenient"));
        QCOMPARE(rows, 1);
        QVERIFY2(reasons.contains(QLatin1String("Reported")) && reasons.contains(QLatin1String("near miss")),
                 qPrintable(reasons));
    }
};

QTEST_MAIN(tst_GameEndToEnd)
#include "tst_game_e2e.moc"
