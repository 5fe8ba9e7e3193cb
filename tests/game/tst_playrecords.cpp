// What play records about questions, and the commands around it, on the
// engine alone: judging modes, accepted answers, near misses, statistics,
// reports.

#include <QSignalSpy>
#include <QTest>

#include "game/game.h"
#include "tests/common/fakeclock.h"
#include "tests/common/memorygamestore.h"
#include "tests/common/recordingroomlink.h"

class TestPlayRecords : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Each script step is a room line, or "+MS" to let time pass; the
    // question is "Painter of the Mona Lisa?" (key 0), open from 1 s on.
    // Seen: what the store recorded, then private replies, in order.
    void play_data()
    {
        QTest::addColumn<QString>("judging");
        QTest::addColumn<QStringList>("script");
        QTest::addColumn<QStringList>("seen");
        QTest::newRow("exact: a slip is a near miss, then the time runs out")
            << "exact" << QStringList{"Bob: Leonardo da Vinchi", "+30000"}
            << QStringList{"near 0 Leonardo da Vinchi by Bob", "end 0 TimedOut 0"};
        QTest::newRow("lenient: the slip scores, timed from the question")
            << "lenient" << QStringList{"+4500", "Bob: leonardo da vinchi"} << QStringList{"end 0 Answered 4500"};
        QTest::newRow("exact: an accepted answer scores, other words are not near")
            << "exact" << QStringList{"Bob: Picasso", "Bob: DA VINCI"} << QStringList{"end 0 Answered 0"};
        QTest::newRow("a command line is never a near miss")
            << "exact" << QStringList{"Bob: !Leonardo da Vinchi"} << QStringList();
        QTest::newRow("a start over an open question counts it asked")
            << "exact" << QStringList{"Ctrl: !start Art"} << QStringList{"end 0 Abandoned 0"};
        QTest::newRow("quit") << "exact" << QStringList{"Ctrl: !quit"} << QStringList{"end 0 Abandoned 0"};
        QTest::newRow("report: once per member, the last question after a quit")
            << "exact"
            << QStringList{"Ctrl: !quit", "Bob: !report the answer is wrong", "bob: !report again", "Ann: !report"}
            << QStringList{"end 0 Abandoned 0", "report 0 Bob: the answer is wrong", "report 0 Ann: ",
                           "/msg Bob Thanks, the question is reported.",
                           "/msg bob You have reported this question already.",
                           "/msg Ann Thanks, the question is reported."};
        QTest::newRow("judging: admin only, any other word tells")
            << "exact" << QStringList{"Ctrl: !judging lenient", "Admin: !judging what", "Admin: !judging LENIENT"}
            << QStringList{"/msg Ctrl You are not an admin!", "/msg Admin Answers are judged exactly.",
                           "/msg Admin Answers are judged leniently."};
    }
    void play()
    {
        QFETCH(QString, judging);
        QFETCH(QStringList, script);
        FakeClock clock;
        RecordingRoomLink room;
        auto memory = std::make_unique<MemoryGameStore>();
        MemoryGameStore* store = memory.get();
        store->addQuestion(QStringLiteral("Art"), QStringLiteral("Painter of the Mona Lisa?"),
                           QStringLiteral("Leonardo da Vinci"));
        store->accepted[0] = QStringList(QStringLiteral("da Vinci"));
        store->addMember(QStringLiteral("Ctrl"), 0, true, false);
        store->addMember(QStringLiteral("Admin"), 0, false, true);
        Game game(&room, std::move(memory), &clock, {[] { return 0; }, 32767});
        game.setJudging(Quiz::judgingFromName(judging));
        room.say(QStringLiteral("Ctrl: !start Art"));
        clock.advance(Game::startPauseMs);
        room.takePosts();
        for (const QString& step : script) {
            if (step.startsWith(QLatin1Char('+')))
                clock.advance(step.toLongLong());
            else
                room.say(step);
        }
        QTEST(store->records + room.takePosts().filter(QRegularExpression(QStringLiteral("^/msg "))), "seen");
    }

    // The room's row through a game: a question asked again after a lost
    // connection keeps its number.
    void roomStates()
    {
        FakeClock clock;
        RecordingRoomLink room;
        auto memory = std::make_unique<MemoryGameStore>();
        MemoryGameStore* store = memory.get();
        store->addQuestion(QStringLiteral("Art"), QStringLiteral("Painter of the Mona Lisa?"), QStringLiteral("Leo"));
        store->addMember(QStringLiteral("Ctrl"), 0, true, false);
        Game game(&room, std::move(memory), &clock, Quiz::standardRandom());
        room.say(QStringLiteral("Ctrl: !start Art"));
        clock.advance(Game::startPauseMs);
        room.say(QStringLiteral("Bob: leo"));
        clock.advance(10000);
        emit room.lost();
        room.join();
        room.say(QStringLiteral("Ctrl: !quit"));
        QCOMPARE(store->rooms, QStringList({"room question Art #1 30s",
                                            "room pause Art #1 30s", "room question Art #2 30s",
                                            "room question Art #2 30s", "room stopped Art #2 30s"}));
    }

    // Nothing asked yet: nothing to report. The judging lasts from the next
    // question and says when it changes.
    void beforeAnyQuestion()
    {
        FakeClock clock;
        RecordingRoomLink room;
        auto memory = std::make_unique<MemoryGameStore>();
        memory->addMember(QStringLiteral("Admin"), 0, false, true);
        Game game(&room, std::move(memory), &clock, Quiz::standardRandom());
        QSignalSpy changed(&game, &Game::judgingChanged);
        room.say(QStringLiteral("Bob: !report"));
        room.say(QStringLiteral("Admin: !judging lenient"));
        room.say(QStringLiteral("Admin: !judging lenient"));
        QCOMPARE(room.takePosts(), QStringList({"/msg Bob There is no question to report yet.",
                                                "/msg Admin Answers are judged leniently.",
                                                "/msg Admin Answers are judged leniently."}));
        QCOMPARE(changed.size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestPlayRecords)
#include "tst_playrecords.moc"
