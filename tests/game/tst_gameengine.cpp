// The rules of play on the engine alone: a fake clock, a store in memory and
// a recording room, so every case runs in microseconds.

#include <QRegularExpression>
#include <QTest>

#include "game/game.h"
#include "tests/common/fakeclock.h"
#include "tests/common/memorygamestore.h"
#include "tests/common/recordingroomlink.h"

namespace {

// Reveals the first character, and the first again.
Quiz::Random firstCharacter()
{
    return {[] { return 0; }, 32767};
}

const QString started = QStringLiteral("(O) QuizNewt started by Ctrl (O)");

} // namespace

class TestGameEngine : public QObject
{
    Q_OBJECT

    FakeClock clock;
    std::unique_ptr<RecordingRoomLink> room;
    MemoryGameStore* store = nullptr;
    std::unique_ptr<Game> game;

    void say(const QString& line) { room->say(line); }
    QStringList posts() { return room->takePosts(); }
    // Starts "Capitals" and lets the start pause run out.
    void start()
    {
        say(QStringLiteral("Ctrl: !start Capitals"));
        clock.advance(Game::startPauseMs);
        posts();
    }
    // Posts made while time moves on by ms, each as "time post".
    QStringList timeline(qint64 until)
    {
        QStringList seen;
        const qint64 begin = clock.now;
        room->onPost = [&](const QString& text) { seen << QStringLiteral("%1 %2").arg(clock.now - begin).arg(text); };
        clock.advance(until);
        room->onPost = nullptr;
        room->takePosts();
        return seen;
    }

private Q_SLOTS:
    void init()
    {
        room = std::make_unique<RecordingRoomLink>();
        auto memory = std::make_unique<MemoryGameStore>();
        store = memory.get();
        store->addQuestion(QStringLiteral("Capitals"), QStringLiteral("Capital of France?"), QStringLiteral("Paris"));
        store->addQuestion(QStringLiteral("Capitals"), QStringLiteral("Capital of Peru?"), QStringLiteral("Lima"));
        store->addQuestion(QStringLiteral("Empty"), QString(), QStringLiteral("unplayable"));
        store->addMember(QStringLiteral("Ctrl"), 3, true, false);
        store->addMember(QStringLiteral("Admin"), 5, false, true);
        game = std::make_unique<Game>(room.get(), std::move(memory), &clock, firstCharacter());
        room->takePosts();
    }
    void cleanup()
    {
        game.reset();
        room.reset();
    }

    // The whole round as the room sees it, timed by the clock.
    void roundTiming_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("wait");
        QTest::addColumn<bool>("giveAnswer");
        QTest::addColumn<QStringList>("seen");
        QTest::newRow("defaults") << 30 << 10 << true
                                  << QStringList{"1000 Capital of France?", "16000 Hint: P _ _ _ _ ",
                                                 "31000 Not answered correctly. Correct answer was: Paris \nNext "
                                                 "question in 10 seconds.",
                                                 "41000 Capital of Peru?", "56000 Hint: L _ _ _ "};
        QTest::newRow("answer kept back, odd time") << 5 << 0 << false
                                                    << QStringList{"1000 Capital of France?", "3500 Hint: P _ _ _ _ ",
                                                                   "6000 Not answered correctly.  \nNext question in "
                                                                   "0 seconds.",
                                                                   "6000 Capital of Peru?", "8500 Hint: L _ _ _ "};
    }
    void roundTiming()
    {
        QFETCH(int, answer);
        QFETCH(int, wait);
        QFETCH(bool, giveAnswer);
        game->setAnswerSeconds(answer);
        game->setWaitSeconds(wait);
        game->setGiveAnswer(giveAnswer);
        say(QStringLiteral("Ctrl: !start capitals"));
        QCOMPARE(posts(), QStringList(started));
        QTEST(timeline(1000 + 1000 * (answer + wait) + 1000 * answer / 2), "seen");
    }

    // Lines said during the start pause wait for the question, in order;
    // the event loop is never held up by the pause.
    void startPauseHoldsLines()
    {
        say(QStringLiteral("Ctrl: !start Capitals"));
        say(QStringLiteral("Bob: !q"));
        say(QStringLiteral("Bob: paris"));
        QCOMPARE(posts(), QStringList(started));
        clock.advance(Game::startPauseMs - 1);
        QVERIFY(posts().isEmpty());
        clock.advance(1);
        QCOMPARE(posts(), QStringList({"Capital of France?", "/msg Bob Capital of France?",
                                       "(*)Bob(*) Is Correct!  Score: 1  \nNext Question in 10 Seconds"}));

        // Twenty starts in a row: each one's question comes a second after
        // its announcement, and the next start is handled after it.
        say(QStringLiteral("Ctrl: !quit"));
        posts();
        for (int i = 0; i < 20; ++i)
            say(QStringLiteral("Ctrl: !start Capitals"));
        QCOMPARE(posts().size(), 1);
        clock.advance(20 * Game::startPauseMs);
        const QStringList all = posts();
        QCOMPARE(all.size(), 39);
        QCOMPARE(all.filter(QStringLiteral("Capital of")).size(), 20);
    }

    // A pause that runs out during a start: the next question follows the
    // start's own, as it did when the start blocked everything.
    void pauseEndingDuringAStart()
    {
        start();
        say(QStringLiteral("Bob: Paris"));
        clock.advance(9500);
        say(QStringLiteral("Ctrl: !start Capitals"));
        posts();
        clock.advance(1000);
        QCOMPARE(posts(), QStringList({"Capital of France?", "Capital of Peru?"}));
        QCOMPARE(game->answer(), QStringLiteral("Lima"));
    }

    // Time counts from when the room has a line, not from when it was handed
    // over: a busy send queue must not eat into the answer time or the pause.
    void timersWaitForTheRoom()
    {
        room->holding = true;
        say(QStringLiteral("Ctrl: !start Capitals"));
        clock.advance(Game::startPauseMs);
        QVERIFY2(!game->answerTimer()->isActive(), "the question is not out yet");
        say(QStringLiteral("Bob: paris"));
        room->release();
        QVERIFY2(game->nextTimer()->isActive(), "the pause runs from the result");
        QVERIFY2(!game->answerTimer()->isActive(), "the late question starts no timer");

        room->holding = true;
        game->nextQuestion();
        QVERIFY(!game->answerTimer()->isActive());
        room->release();
        QVERIFY(game->answerTimer()->isActive() && game->hintTimer()->isActive());
        room->holding = true;
        game->answerTimeout();
        QVERIFY(!game->nextTimer()->isActive());
        room->release();
        QVERIFY(game->nextTimer()->isActive());
    }

    // With no time at all the game is paced by the room: one line a turn,
    // each waiting for the room to take the one before.
    void zeroTimesArePacedByTheRoom()
    {
        game->setAnswerSeconds(0);
        game->setWaitSeconds(0);
        room->holding = true;
        start();
        for (int round = 0; round < 4; ++round) {
            room->release();
            room->holding = true;
            clock.advance(10);
            QCOMPARE(posts().size(), 1);
        }
    }

    // A lost connection: the open question is asked again, with its full
    // time, once the room is back; a stopped game stays stopped. The greeting
    // goes as the link says.
    void questionAskedAgainAfterReconnect()
    {
        start();
        clock.advance(20000);
        posts();
        emit room->lost();
        QVERIFY(!game->answerTimer()->isActive());
        room->join();
        QCOMPARE(posts(), QStringList({"(O) QuizNewt Connected (O)", "Capital of France?"}));
        QCOMPARE(game->answerTimer()->remainingTime(), 30000);
        say(QStringLiteral("Ctrl: !quit"));
        posts();
        emit room->lost();
        room->greets = false;
        room->join();
        QVERIFY2(posts().isEmpty(), "no greeting on a return the settings keep quiet");
    }

    // Bob answers again whenever the game posts something other than a question.
    void oneQuestionScoresOnce()
    {
        start();
        room->onPost = [this](const QString& text) {
            if (!text.startsWith(QLatin1String("Capital of")))
                say(QStringLiteral("Bob: Paris"));
        };
        say(QStringLiteral("Bob: Paris"));
        game->answerTimeout();
        room->onPost = nullptr;
        QCOMPARE(store->members.last().score, 1);
        QVERIFY2(!game->answerTimer()->isActive() && !game->hintTimer()->isActive(),
                 "no hint or time-out for a closed question");
    }

    void restartAndQuit()
    {
        start();
        say(QStringLiteral("Ctrl: !restart Capitals"));
        clock.advance(Game::startPauseMs);
        QCOMPARE(posts(), QStringList({"(O)Restarting with category 'Capitals' by Ctrl (O)", "Capital of France?"}));
        QVERIFY2(!game->hintTimer()->isActive(), "the first question after a restart has no hint");
        game->answerTimeout();
        game->nextQuestion();
        QVERIFY(game->hintTimer()->isActive());

        posts();
        say(QStringLiteral("Admin: !quit"));
        QCOMPARE(posts(), QStringList("You are an unauthorized user!"));
        QVERIFY(game->answerTimer()->isActive());
        say(QStringLiteral("Ctrl: !QUIT"));
        QCOMPARE(posts(), QStringList("(O) Trivia ended by Ctrl (O)"));
        QVERIFY(game->isStopped());
    }

    void categoryModified()
    {
        start();
        game->categoryModified();
        QVERIFY2(posts().isEmpty() && !game->isStopped(), "the category is still there");
        store->categories.remove(QStringLiteral("CAPITALS"));
        game->categoryModified();
        QCOMPARE(posts(), QStringList("This category's name has been modified! Please restart with the updated "
                                      "category name (Type !categories)"));
        QVERIFY(game->isStopped());
    }

    // The settings the admin commands change, with the game's range.
    void settingCommands_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QList<int>>("settings");
        QTest::newRow("answertime 500") << "Admin: !answertime 500" << "/msg Admin Answer time set to: 500 seconds"
                                        << QList<int>{120, 10, 1};
        QTest::newRow("answertime alone") << "Admin: !answertime" << "/msg Admin Answer time set to:  seconds"
                                          << QList<int>{0, 10, 1};
        QTest::newRow("nexttime") << "Admin: !nexttime 45" << "/msg Admin Next question time set to: 45 seconds"
                                  << QList<int>{30, 45, 1};
        QTest::newRow("giveanswer 0") << "Admin: !giveanswer 0"
                                      << "/msg Admin Answer will not be given if not guessed" << QList<int>{30, 10, 0};
        QTest::newRow("giveanswer 2") << "Admin: !giveanswer 2" << QString() << QList<int>{30, 10, 1};
        QTest::newRow("control is not admin") << "Ctrl: !nexttime 45" << "/msg Ctrl You are not an admin!"
                                              << QList<int>{30, 10, 1};
    }
    void settingCommands()
    {
        QFETCH(QString, line);
        say(line);
        QTEST(posts().value(0), "reply");
        QTEST(QList<int>({game->answerSeconds(), game->waitSeconds(), game->givesAnswer()}), "settings");
    }

    // Every name, always: a short list one a line in the room, a long one
    // packed; asked again while the room's list is recent, to the asker alone.
    // "room N" / "msg N": where each list went and in how many lines.
    void categoryLists_data()
    {
        QTest::addColumn<int>("extra");
        QTest::addColumn<QList<int>>("askedAt");
        QTest::addColumn<QString>("lists");
        QTest::newRow("short list, one a line") << 0 << QList<int>{0} << "room 3";
        QTest::newRow("60 names packed") << 58 << QList<int>{0} << "room 3";
        QTest::newRow("again within 30 s, then after")
            << 0 << QList<int>{0, 10000, 29999, 30000} << "room 3|msg 3|msg 3|room 3";
    }
    void categoryLists()
    {
        QFETCH(int, extra);
        QFETCH(QList<int>, askedAt);
        for (int i = 0; i < extra; ++i)
            store->addQuestion(QStringLiteral("Category number %1").arg(i), QStringLiteral("Q?"), QStringLiteral("A"));
        QStringList lists;
        qint64 at = 0;
        for (int ms : askedAt) {
            clock.advance(ms - at);
            at = ms;
            say(QStringLiteral("Bob: !categories"));
            const QString post = posts().value(0);
            const bool toBob = post.startsWith(QLatin1String("/msg Bob "));
            const QStringList lines = post.mid(toBob ? 9 : 0).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
            QString names = lines.join(QLatin1Char('\n')).remove(QRegularExpression("^QuizNewt Categories: ?"));
            names.replace(QStringLiteral(",\n"), QStringLiteral("|")).replace(QStringLiteral(", "), QStringLiteral("|"));
            QCOMPARE(names.replace(QLatin1Char('\n'), QLatin1Char('|')).split(QLatin1Char('|'), Qt::SkipEmptyParts),
                     store->categories.keys());
            for (const QString& line : lines)
                QVERIFY(line.toUtf8().size() <= 400);
            lists << QStringLiteral("%1 %2").arg(toBob ? "msg" : "room").arg(lines.size());
        }
        QTEST(lists.join(QLatin1Char('|')), "lists");
    }

    // What !q repeats, and that nothing matches while no question is open.
    void openQuestionOnly()
    {
        say(QStringLiteral("Bob: !q"));
        say(QStringLiteral("Bob: No Answer"));
        QVERIFY(posts().isEmpty());
        start();
        game->answerTimeout();
        posts();
        say(QStringLiteral("Bob: !q"));
        QCOMPARE(posts(), QStringList("/msg Bob Capital of France?"));
        game->nextQuestion();
        say(QStringLiteral("Bob: LIMA"));
        posts();
        say(QStringLiteral("Bob: !q"));
        QVERIFY2(posts().isEmpty(), "no question to repeat after a correct answer");
    }

    // A refused start or restart leaves a running game as it was; a category with
    // nothing playable passes the checks and ends the game at the draw.
    void startRefused_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("post");
        QTest::addColumn<bool>("goesOn");
        const QString refused = QStringLiteral("' does not exist, or you are an unauthorized user!");
        QTest::newRow("without control") << "Admin: !start Capitals" << "The category 'Capitals" + refused << true;
        QTest::newRow("unknown category") << "Ctrl: !start Nowhere" << "The category 'Nowhere" + refused << true;
        QTest::newRow("no argument") << "Ctrl: !start" << "The category '" + refused << true;
        // Rights are checked before anything stops.
        QTest::newRow("restart without control") << "Bob: !restart Capitals" << "The category 'Capitals" + refused
                                                 << true;
        QTest::newRow("restart, unknown category") << "Ctrl: !restart x" << "The category 'x" + refused << true;
        QTest::newRow("nothing playable")
            << "Ctrl: !start Empty" << "(O) Trivia ended: no question could be drawn from the category 'Empty' (O)"
            << false;
    }
    void startRefused()
    {
        QFETCH(QString, line);
        QFETCH(bool, goesOn);
        start();
        say(line);
        QTEST(posts().join(QLatin1Char('|')), "post");
        QCOMPARE(game->answer() == QLatin1String("Paris"), goesOn);
        QCOMPARE(game->isStopped(), !goesOn);
    }
};

QTEST_GUILESS_MAIN(TestGameEngine)
#include "tst_gameengine.moc"
