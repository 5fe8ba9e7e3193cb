// The rules of play on the engine alone: a fake clock, a store in memory and
// a recording room, so every case runs in microseconds. Each case is a script
// of what the room says, how time moves, and what the game posts and records.

#include <QRegularExpression>
#include <QTest>

#include <algorithm>

#include "game/game.h"
#include "tests/common/fakeclock.h"
#include "tests/common/memorygamestore.h"
#include "tests/common/recordingroomlink.h"

#define STARTED "> (O) QuizNewt started by Ctrl (O)"
// Ctrl starts "Capitals"; its first question is out after the start pause.
#define START "Ctrl: !start Capitals | " STARTED " | +1000 | > Capital of France?"
#define REFUSED "' does not exist, or you are an unauthorized user!"
// The same for "Art", with an accepted answer.
#define ART "accept da Vinci | Ctrl: !start Art | " STARTED " | +1000 | > Painter of the Mona Lisa?"

class TestGameEngine : public QObject
{
    Q_OBJECT

    FakeClock clock;
    std::unique_ptr<RecordingRoomLink> room;
    MemoryGameStore* store = nullptr;
    std::unique_ptr<Game> game;
    qsizetype checked = 0; // posts the script has looked at
    qsizetype recordsChecked = 0;
    qsizetype roomsChecked = 0;
    int judgingChanges = 0;
    QString failure;

    void check(bool ok, const QString& why)
    {
        if (!ok && failure.isEmpty())
            failure = why;
    }
    QStringList unchecked() const { return room->posts.mid(checked); }

    // "> POST": the next post not yet checked.
    void expect(const QString& wanted)
    {
        const QString got = room->posts.value(checked++);
        const QString seen = wanted.startsWith(QLatin1String("list ")) ? categoryList(got) : got;
        check(checked <= room->posts.size(), "nothing posted, wanted " + wanted);
        check(wanted.endsWith(QLatin1Char('*')) ? seen.startsWith(wanted.chopped(1)) : seen == wanted,
              "posted " + seen + ", wanted " + wanted);
    }

    // "< RECORD": the next of what the store was told of a question, or of
    // the room's state ("room ...").
    void expectRecord(const QString& wanted)
    {
        const bool room = wanted.startsWith(QLatin1String("room "));
        const QStringList& records = room ? store->rooms : store->records;
        const QString got = records.value((room ? roomsChecked : recordsChecked)++, QStringLiteral("nothing"));
        check(got == wanted, "recorded " + got + ", wanted " + wanted);
    }

    // Time moves on only once every post so far has been checked. "@MS" also
    // checks that nothing is posted before MS after the script's start.
    void advance(const QString& step)
    {
        const bool quietBefore = step.startsWith(QLatin1Char('@'));
        const qint64 to = (quietBefore ? 0 : clock.now) + step.mid(1).toLongLong();
        check(unchecked().isEmpty(), "not checked: " + unchecked().join(" / "));
        if (quietBefore) {
            clock.advance(to - 1 - clock.now);
            check(unchecked().isEmpty(), QStringLiteral("before %1 ms: %2").arg(to).arg(unchecked().join(" / ")));
        }
        clock.advance(to - clock.now);
    }

    // "list room|msg N": a category list of N lines, to the room or to Bob,
    // naming every category, no line over 400 bytes.
    QString categoryList(const QString& post)
    {
        const bool toBob = post.startsWith(QLatin1String("/msg Bob "));
        const QStringList lines = post.mid(toBob ? 9 : 0).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        // After "QuizNewt Categories:", one a line or packed, "A, B,\nC".
        QStringList names = lines.join(QLatin1Char(',')).mid(20).split(QLatin1Char(','), Qt::SkipEmptyParts);
        names.replaceInStrings(QRegularExpression("^ "), QString());
        const bool fit = std::all_of(lines.begin(), lines.end(), [](const QString& line) {
            return line.toUtf8().size() <= 400;
        });
        if (names != store->categories.keys() || !fit)
            return "list of " + names.join(QLatin1Char('|')) + (fit ? "" : ", lines over 400 bytes");
        return QStringLiteral("list %1 %2").arg(toBob ? "msg" : "room").arg(lines.size());
    }

    // What "= WHAT" may say of the game: the active timers (a: answer,
    // h: hint, n: next), the answer time left, the timing settings, the
    // members' scores, how many records the store has, how often the judging
    // changed.
    QStringList states() const
    {
        const QString timers = QString(game->answerTimer()->isActive() ? "a" : "")
            + (game->hintTimer()->isActive() ? "h" : "") + (game->nextTimer()->isActive() ? "n" : "");
        QStringList all{game->isStopped() ? "stopped" : "running", "answer " + game->answer(),
                        "timers " + (timers.isEmpty() ? QStringLiteral("-") : timers),
                        "left " + QString::number(game->answerTimer()->remainingTime()),
                        QStringLiteral("settings %1 %2 %3")
                            .arg(game->answerSeconds()).arg(game->waitSeconds()).arg(int(game->givesAnswer()))};
        for (const MemoryGameStore::Member& member : store->members)
            all << QStringLiteral("score %1 %2").arg(member.name).arg(member.score);
        return all << QStringLiteral("records %1").arg(store->records.size())
                   << QStringLiteral("judging changed %1").arg(judgingChanges);
    }

    // Steps of a script, split by " | ":
    //   "NAME: TEXT"  NAME says TEXT in the room
    //   "> POST"      the next post ("/msg NAME TEXT" a private one; "POST*"
    //                 one that starts so; "list ..." see categoryList())
    //   "< RECORD"    the next record (see expectRecord())
    //   "~"           passes over the posts not yet checked
    //   "+MS", "@MS"  time moves on by MS, or to MS (see advance())
    //   "= WHAT"      the game's state (see states())
    //   "answer|wait|give N" the timing settings; "judging exact|lenient";
    //   "accept ANSWER" for a category's first question; "hold" and "release"
    //   the room's onSent; "lost", "join", "quiet" (no greeting on a return);
    //   "next", "timeout"; "modified" (a category renamed), "remove NAME" (a
    //   category gone), "add N" (N more categories); "echo LINE" said after
    //   every post but a question
    void step(const QString& step)
    {
        const QString word = step.section(' ', 0, 0);
        const QString arg = step.section(' ', 1);
        const QHash<QString, std::function<void()>> actions{
            {"answer", [&] { game->setAnswerSeconds(arg.toInt()); }},
            {"wait", [&] { game->setWaitSeconds(arg.toInt()); }},
            {"give", [&] { game->setGiveAnswer(arg.toInt()); }},
            {"judging", [&] { game->setJudging(Quiz::judgingFromName(arg)); }},
            {"accept", [&] { store->accepted[0] = QStringList(arg); }},
            {"hold", [&] { room->holding = true; }},
            {"release", [&] { room->release(); }},
            {"lost", [&] { emit room->lost(); }},
            {"join", [&] { room->join(); }},
            {"quiet", [&] { room->greets = false; }},
            {"next", [&] { game->nextQuestion(); }},
            {"timeout", [&] { game->answerTimeout(); }},
            {"modified", [&] { game->categoryModified(); }},
            {"remove", [&] { store->categories.remove(arg.toUpper()); }},
            {"add", [&] {
                 for (int i = 0; i < arg.toInt(); ++i)
                     store->addQuestion(QStringLiteral("Category number %1").arg(i), "Q?", "A");
             }},
            {"echo", [&] {
                 room->onPost = [this, arg](const QString& text) {
                     if (!text.startsWith(QLatin1String("Capital of")))
                         room->say(arg);
                 };
             }}};
        if (word == QLatin1String(">"))
            expect(arg);
        else if (word == QLatin1String("<"))
            expectRecord(arg);
        else if (word == QLatin1String("~"))
            checked = room->posts.size();
        else if (word.startsWith(QLatin1Char('+')) || word.startsWith(QLatin1Char('@')))
            advance(word);
        else if (word == QLatin1String("="))
            check(states().contains(arg), "state " + states().join(", ") + "; wanted " + arg);
        else if (word.endsWith(QLatin1Char(':')))
            room->say(step);
        else if (actions.contains(word))
            actions[word]();
        else
            check(false, "no such step: " + step);
    }

private Q_SLOTS:
    void init()
    {
        room = std::make_unique<RecordingRoomLink>();
        auto memory = std::make_unique<MemoryGameStore>();
        store = memory.get();
        store->addQuestion("Capitals", "Capital of France?", "Paris");
        store->addQuestion("Capitals", "Capital of Peru?", "Lima");
        store->addQuestion("Old Movies", "Who said it?", "Rick");
        store->addQuestion("Art", "Painter of the Mona Lisa?", "Leonardo da Vinci");
        store->addQuestion("Empty", QString(), "unplayable");
        store->addMember("Ctrl", 3, true, false);
        store->addMember("Admin", 5, false, true);
        // The hint reveals the first character.
        game = std::make_unique<Game>(room.get(), std::move(memory), &clock, Quiz::Random{[] { return 0; }, 32767});
        connect(game.get(), &Game::judgingChanged, this, [this] { ++judgingChanges; });
        room->takePosts();
        clock.now = 0;
        checked = recordsChecked = roomsChecked = judgingChanges = 0;
        failure.clear();
    }
    void cleanup()
    {
        game.reset();
        room.reset();
    }

    void play_data()
    {
        QTest::addColumn<QString>("script");
        const auto row = [](const char* name, const char* script) { QTest::newRow(name) << QString(script); };
        row("the round as timed by default", "Ctrl: !start capitals | " STARTED " | @1000 | > Capital of France?"
            " | @16000 | > Hint: P _ _ _ _  | @31000 | > Not answered correctly. Correct answer was: Paris \nNext"
            " question in 10 seconds. | @41000 | > Capital of Peru? | @56000 | > Hint: L _ _ _ ");
        row("answer kept back, an odd answer time, no pause", "answer 5 | wait 0 | give 0"
            " | Ctrl: !start capitals | " STARTED " | @1000 | > Capital of France? | @3500 | > Hint: P _ _ _ _ "
            " | @6000 | > Not answered correctly.  \nNext question in 0 seconds. | > Capital of Peru? | @8500"
            " | > Hint: L _ _ _ ");
        // The event loop is never held up by the start pause.
        row("lines said in the start pause wait for its question, in order", "Ctrl: !start Capitals | Bob: !q"
            " | Bob: paris | " STARTED " | @1000 | > Capital of France? | > /msg Bob Capital of France?"
            " | > (*)Bob(*) Is Correct!  Score: 1  \nNext Question in 10 Seconds");
        row("starts in a row: each question a second after its announcement", "Ctrl: !start Capitals"
            " | Ctrl: !start Capitals | Ctrl: !start Capitals | " STARTED " | @1000 | > Capital of France?"
            " | " STARTED " | @2000 | > Capital of France? | " STARTED " | @3000 | > Capital of France?");
        // As it did when the start blocked everything.
        row("a pause that ends during a start: the next question follows the start's", START " | Bob: Paris"
            " | > (*)Bob(*)* | +9500 | Ctrl: !start Capitals | " STARTED " | +1000 | > Capital of France?"
            " | > Capital of Peru? | = answer Lima");
        // A busy send queue must not eat into the answer time or the pause.
        row("time counts from when the room has a line", "hold | Ctrl: !start Capitals | " STARTED " | +1000"
            " | > Capital of France? | = timers - | Bob: paris | > (*)Bob(*)* | release | = timers n | hold | next"
            " | > Capital of Peru? | = timers - | release | = timers ah | hold | timeout | > Not answered*"
            " | = timers - | release | = timers n");
        row("with no time at all the room paces the game, a line a turn", "answer 0 | wait 0 | hold"
            " | " START " | release | hold | +10 | > Not answered* | release | hold | +10 | > Capital of Peru?"
            " | release | hold | +10 | > Not answered* | release | hold | +10 | > Capital of France?");
        row("a lost connection: the open question again, with its full time", START " | +20000 | > Hint* | lost"
            " | = timers - | join | > (O) QuizNewt Connected (O) | > Capital of France? | = left 30000"
            " | Ctrl: !quit | > (O) Trivia ended by Ctrl (O) | lost | = stopped | quiet | join");
        row("one question scores once", START " | echo Bob: Paris | Bob: Paris | timeout | ~ | = score Bob 1"
            " | = timers n");
        row("restart: no hint for its first question; quit by control only", START " | Ctrl: !restart Capitals"
            " | > (O)Restarting with category 'Capitals' by Ctrl (O) | +1000 | > Capital of France? | = timers a"
            " | timeout | > Not answered* | next | > Capital of Peru? | = timers ah | Admin: !quit"
            " | > You are an unauthorized user! | = timers ah | Ctrl: !QUIT | > (O) Trivia ended by Ctrl (O)"
            " | = stopped");
        row("a category renamed away ends the game", START " | modified | = running | remove Capitals | modified"
            " | > This category's name has been modified! Please restart with the updated category name (Type"
            " !categories) | = stopped");
        row("admin commands set the timing within its range", "Admin: !answertime 500"
            " | > /msg Admin Answer time set to: 500 seconds | = settings 120 10 1 | Admin: !answertime"
            " | > /msg Admin Answer time set to:  seconds | = settings 0 10 1 | Admin: !nexttime 45"
            " | > /msg Admin Next question time set to: 45 seconds | = settings 0 45 1 | Admin: !giveanswer 0"
            " | > /msg Admin Answer will not be given if not guessed | = settings 0 45 0 | Admin: !giveanswer 2"
            " | = settings 0 45 0");
        row("control is not admin", "Ctrl: !nexttime 45 | > /msg Ctrl You are not an admin! | = settings 30 10 1");
        row("help: the admin's names the admin commands", "Admin: !help | > /msg Admin <b>\n(O) QuizNewt Admin"
            " Commands (O)* | Ctrl: !help | > /msg Ctrl <b>\n(O) QuizNewt Commands (O)*");
        // Every name, always; asked again while the room's list is recent, to the asker alone.
        row("categories: one a line in the room, then to the asker for 30 s", "Bob: !categories | > list room 5"
            " | +10000 | Bob: !categories | > list msg 5 | @29999 | Bob: !categories | > list msg 5 | @30000"
            " | Bob: !categories | > list room 5");
        row("60 categories packed", "add 56 | Bob: !categories | > list room 3");
        row("!q repeats an open question only; nothing matches while none is", "Bob: !q | Bob: No Answer"
            " | " START " | timeout | > Not answered* | Bob: !q | > /msg Bob Capital of France? | next"
            " | > Capital of Peru? | Bob: LIMA | > (*)Bob(*)* | Bob: !q");
        // What play records of a question: how it ended and after how long
        // from when the room had it, near misses, reports; and the room's state.
        row("exact: a slip is a near miss, then the time runs out", ART " | Bob: Leonardo da Vinchi"
            " | < near 0 Leonardo da Vinchi by Bob | +30000 | > Hint* | > Not answered* | < end 0 TimedOut 0"
            " | = records 2");
        row("lenient: the slip scores, timed from the question", "judging lenient | " ART " | +4500"
            " | Bob: leonardo da vinchi | > (*)Bob(*)* | < end 0 Answered 4500 | = records 1");
        row("exact: an accepted answer scores, other words are not near", ART " | Bob: Picasso | Bob: DA VINCI"
            " | > (*)Bob(*)* | < end 0 Answered 0 | = records 1");
        row("a command line is never a near miss", ART " | Bob: !Leonardo da Vinchi | = records 0");
        row("a start over an open question counts it asked", ART " | Ctrl: !start Art | " STARTED
            " | < end 0 Abandoned 0 | = records 1");
        row("report: once per member, the last question after a quit", ART " | Ctrl: !quit"
            " | > (O) Trivia ended by Ctrl (O) | < end 0 Abandoned 0 | Bob: !report the answer is wrong"
            " | > /msg Bob Thanks, the question is reported. | < report 0 Bob: the answer is wrong"
            " | bob: !report again | > /msg bob You have reported this question already. | Ann: !report"
            " | > /msg Ann Thanks, the question is reported. | < report 0 Ann:  | = records 3");
        row("nothing asked yet: nothing to report", "Bob: !report | > /msg Bob There is no question to report yet.");
        // It lasts from the next question and says when it changes.
        row("judging: admin only, any other word tells", "Ctrl: !judging lenient | > /msg Ctrl You are not an admin!"
            " | Admin: !judging what | > /msg Admin Answers are judged exactly. | Admin: !judging LENIENT"
            " | > /msg Admin Answers are judged leniently. | Admin: !judging lenient"
            " | > /msg Admin Answers are judged leniently. | = judging changed 1");
        row("the room's state: a question asked again after a lost connection keeps its number", START
            " | Bob: paris | > (*)Bob(*)* | +10000 | > Capital of Peru? | lost | join | > (O) QuizNewt Connected (O)"
            " | > Capital of Peru? | Ctrl: !quit | > (O) Trivia ended by Ctrl (O) | < room question Capitals #1 30s"
            " | < room pause Capitals #1 30s | < room question Capitals #2 30s | < room question Capitals #2 30s"
            " | < room stopped Capitals #2 30s");
        // The first word wins; the whole rest only when no category has its name.
        row("a category name with a blank", "Ctrl: !start Old Movies | " STARTED " | +1000 | > Who said it?");
        row("the first word wins", "Ctrl: !start Capitals of Europe | " STARTED " | +1000 | > Capital of France?");
        row("no name matches", "Ctrl: !start Old Films | > The category 'Old" REFUSED);
        // A refused start or restart leaves a running game as it was: rights
        // are checked before anything stops.
        row("start without control", START " | Admin: !start Capitals | > The category 'Capitals" REFUSED
            " | = answer Paris");
        row("start, unknown category", START " | Ctrl: !start Nowhere | > The category 'Nowhere" REFUSED
            " | = answer Paris");
        row("start, no argument", START " | Ctrl: !start | > The category '" REFUSED " | = answer Paris");
        row("restart without control", START " | Bob: !restart Capitals | > The category 'Capitals" REFUSED
            " | = answer Paris");
        row("restart, unknown category", START " | Ctrl: !restart x | > The category 'x" REFUSED " | = answer Paris");
        // It passes the checks and ends the game at the draw.
        row("a category with nothing playable", START " | Ctrl: !start Empty | > (O) Trivia ended: no question"
            " could be drawn from the category 'Empty' (O) | = stopped");
    }
    // Those watching see the game end with the program.
    void gameEndsWithTheProgram()
    {
        QStringList rooms;
        store->roomsOutliving = &rooms;
        step(QStringLiteral("Ctrl: !start Art"));
        step(QStringLiteral("+1000"));
        game.reset();
        QCOMPARE(rooms, QStringList({"room question Art #1 30s", "room stopped Art #1 30s"}));
        room->takePosts();
        checked = 0;
    }

    void play()
    {
        QFETCH(QString, script);
        const QStringList steps = script.split(QStringLiteral(" | "));
        for (const QString& next : steps) {
            step(next);
            if (!failure.isEmpty())
                QFAIL(qPrintable("at \"" + next + "\": " + failure));
        }
        QVERIFY2(unchecked().isEmpty(), qPrintable("not checked: " + unchecked().join(" / ")));
    }
};

QTEST_GUILESS_MAIN(TestGameEngine)
#include "tst_gameengine.moc"
