// The quiz driven through room lines, on a real database.

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

#include <cstdlib>
#include <memory>

#include "app/messagebox.h"
#include "app/quiznewt.h"
#include "tests/common/recordingroomlink.h"
#include "tests/common/testdatabase.h"

const QString ctrlOnly = QStringLiteral("Ctrl");   // control right only
const QString adminOnly = QStringLiteral("Admin"); // admin right only

// A main window on a freshly seeded database, with a room that records what
// it is told.
class QuizNewtTestAccess
{
public:
    explicit QuizNewtTestAccess(TestDatabase& database) : db(database) {}

    TestDatabase& db;
    RecordingRoomLink* link = nullptr;
    std::unique_ptr<QuizNewt> window;
    qint64 capitals = 0;

    bool open()
    {
        if (!db.isValid())
            return false;
        for (const char* table : {"users", "category_content", "content", "category"}) {
            if (!db.exec(QStringLiteral("DELETE FROM ") + QLatin1String(table)))
                return false;
        }
        db.addUser(ctrlOnly, 3, 1, 0);
        db.addUser(adminOnly, 5, 0, 1);
        db.addUser(QStringLiteral("Alice"), 12);
        capitals = db.addCategory(QStringLiteral("Capitals"));
        db.addQuestion(capitals, QStringLiteral("Capital of France?"), QStringLiteral("Paris"));
        db.addCategory(QStringLiteral("Empty"));
        db.makeInstallDir();
        link = new RecordingRoomLink;
        window = std::make_unique<QuizNewt>(link);
        window->startPauseMs = 0;
        return MessageBox::takeShown().isEmpty();
    }

    void say(const QString& line) { link->say(line); }
    QStringList posts() { return link->takePosts(); }

    // Starts a game on a category of one question, so the draw is known.
    void startOn(const QString& answer, const QString& category = QStringLiteral("Solo"))
    {
        db.addQuestion(db.addCategory(category), QStringLiteral("Say it"), answer);
        say(ctrlOnly + QStringLiteral(": !start ") + category);
        link->takePosts();
    }

    QString answer() const { return window->currentAnswer; }
    QString question() const { return window->currentQuestion; }
    QString category() const { return window->currentCategory; }
    QTimer* answerTimer() const { return window->answerTimer; }
    QTimer* hintTimer() const { return window->hintTimer; }
    QTimer* nextTimer() const { return window->nextTimer; }
    bool stopped() const
    {
        return !answerTimer()->isActive() && !hintTimer()->isActive() && !nextTimer()->isActive()
            && answer() == QLatin1String("No Answer");
    }
    void hint() { window->giveHint(); }
    void timeout() { window->answerTimeout(); }
    void next() { window->nextQuestion(); }
    void modified() { window->categoryModified(); }

    static QString hintText(const QString& answer, int first, int second)
    {
        return QuizNewt::hintText(answer, first, second);
    }
    static int randomIndex(int count, int (*generator)(), qint64 max)
    {
        return QuizNewt::randomIndex(count, generator, max);
    }
};

class tst_Game : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestDatabase> database;
    std::unique_ptr<QuizNewtTestAccess> game;

private Q_SLOTS:
    void initTestCase()
    {
        isolateSettings();
        MessageBox::setTestMode(true);
        database = std::make_unique<TestDatabase>();
    }
    void init()
    {
        game = std::make_unique<QuizNewtTestAccess>(*database);
        QVERIFY2(game->open(), qPrintable(database->error()));
    }
    void cleanup() { game.reset(); }
    void cleanupTestCase() { database.reset(); }

    void wholeGame()
    {
        game->say(ctrlOnly + QStringLiteral(": !start capitals"));
        QCOMPARE(game->posts(), QStringList({QStringLiteral("(O) QuizNewt started by Ctrl (O)"),
                                             QStringLiteral("Capital of France?")}));
        QCOMPARE(game->window->teQuestion->toPlainText(), QStringLiteral("Capital of France?"));
        QCOMPARE(game->window->leAnswer->text(), QStringLiteral("Paris"));
        QCOMPARE(game->answerTimer()->interval(), 30000);
        QCOMPARE(game->hintTimer()->interval(), 15000);
        QVERIFY(game->hintTimer()->isActive());

        game->hint();
        QVERIFY(!game->hintTimer()->isActive());
        QCOMPARE(game->posts().value(0).size(), QStringLiteral("Hint: P _ _ _ _ ").size());

        game->say(QStringLiteral("carol: PARIS"));
        QCOMPARE(game->posts(),
                 QStringList(QStringLiteral("(*)carol(*) Is Correct!  Score: 1  \nNext Question in 10 Seconds")));
        QCOMPARE(game->db.column(QStringLiteral("SELECT username || '/' || score || '/' || hasControl || '/' "
                                                "|| hasAdmin FROM users WHERE username='carol'")),
                 QStringList(QStringLiteral("carol/1/0/0")));
        QVERIFY(!game->answerTimer()->isActive());
        QCOMPARE(game->nextTimer()->interval(), 10000);
        QVERIFY(game->nextTimer()->isActive());
        game->say(QStringLiteral("dave: !q"));
        QVERIFY2(game->posts().isEmpty(), "no question to repeat after a correct answer");

        game->next();
        QCOMPARE(game->posts(), QStringList(QStringLiteral("Capital of France?")));
        QVERIFY(!game->nextTimer()->isActive());
        QVERIFY(game->hintTimer()->isActive());
        game->say(QStringLiteral("CAROL: paris"));
        QCOMPARE(game->posts().value(0).left(33), QStringLiteral("(*)CAROL(*) Is Correct!  Score: 2"));
        QCOMPARE(game->db.column(QStringLiteral("SELECT username FROM users WHERE UPPER(username)='CAROL'")),
                 QStringList(QStringLiteral("carol")));
    }

    void timeOut_data()
    {
        QTest::addColumn<bool>("giveAnswer");
        QTest::addColumn<QString>("message");
        QTest::newRow("answer given") << true
                                      << "Not answered correctly. Correct answer was: Paris \nNext question in 60 seconds.";
        QTest::newRow("answer kept back") << false << "Not answered correctly.  \nNext question in 60 seconds.";
    }
    void timeOut()
    {
        QFETCH(bool, giveAnswer);
        QFETCH(QString, message);
        game->window->chkGiveAnswer->setChecked(giveAnswer);
        game->window->sbWaitTime->setValue(60);
        game->startOn(QStringLiteral("Paris"));

        game->timeout();
        QCOMPARE(game->posts(), QStringList(message));
        QVERIFY(!game->answerTimer()->isActive());
        QVERIFY(!game->hintTimer()->isActive());
        QCOMPARE(game->nextTimer()->interval(), 60000);
        game->say(QStringLiteral("Bob: Paris"));
        game->say(QStringLiteral("Bob: !q"));
        QCOMPARE(game->posts(), QStringList(QStringLiteral("/msg Bob Say it")));
        QCOMPARE(game->db.value(QStringLiteral("SELECT count(*) FROM users WHERE username='Bob'")).toInt(), 0);
    }

    // Real timers, shortened: hint, time-out and the next question come by
    // themselves, each once.
    void timersRunTheRound()
    {
        game->window->sbAnswer->setValue(1);
        game->window->sbWaitTime->setValue(0);
        game->startOn(QStringLiteral("Oslo"));
        QTRY_COMPARE_WITH_TIMEOUT(game->link->posts.size(), 3, 5000);
        QCOMPARE(game->link->posts.at(0).left(6), QStringLiteral("Hint: "));
        QCOMPARE(game->link->posts.at(1).left(24), QStringLiteral("Not answered correctly. "));
        QCOMPARE(game->link->posts.at(2), QStringLiteral("Say it"));
        QCOMPARE(game->answer(), QStringLiteral("Oslo"));
    }

    void judging_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QStringList>("pieces");
        QTest::addColumn<bool>("correct");
        const QString lf = QStringLiteral("\n");
        QTest::newRow("lower case") << "Paris" << QStringList{"Bob: paris", lf} << true;
        QTest::newRow("blanks around") << "Paris" << QStringList{"  Bob :    Paris   ", lf} << true;
        QTest::newRow("line in pieces") << "Paris" << QStringList{"Bob", ": Pa", "ris", lf} << true;
        QTest::newRow("piece ending in line feed") << "Paris" << QStringList{"Bob: Paris\n", lf} << true;
        QTest::newRow("colon in the text") << "the answer: Paris" << QStringList{"Bob: the answer: Paris", lf}
                                           << true;
        QTest::newRow("full stop") << "Paris" << QStringList{"Bob: Paris.", lf} << false;
        QTest::newRow("inside a sentence") << "Paris" << QStringList{"Bob: It is Paris", lf} << false;
        QTest::newRow("no line feed piece yet") << "Paris" << QStringList{"Bob: Paris\n"} << false;
        QTest::newRow("two blanks in the answer") << "New  York" << QStringList{"Bob: New  York", lf} << false;
        QTest::newRow("command as answer") << "!help" << QStringList{"Bob: !HELP", lf} << true;
    }
    void judging()
    {
        QFETCH(QString, answer);
        QFETCH(QStringList, pieces);
        QFETCH(bool, correct);
        game->startOn(answer);
        for (const QString& piece : pieces)
            emit game->link->textCaptured(piece);
        const QStringList posts = game->posts();
        const bool scored = !posts.isEmpty() && posts.last().startsWith(QLatin1String("(*)Bob(*) Is Correct!"));
        QCOMPARE(scored, correct);
        QCOMPARE(game->answer() == QLatin1String("No Answer"), correct);
    }

    void sentinelNeverScores()
    {
        game->say(QStringLiteral("Bob: No Answer"));
        game->say(QStringLiteral("Bob: no answer"));
        QVERIFY(game->posts().isEmpty());
        QCOMPARE(game->db.value(QStringLiteral("SELECT count(*) FROM users WHERE username='Bob'")).toInt(), 0);
    }

    // Lines the room delivers while the game is posting.
    void oneQuestionScoresOnce_data()
    {
        QTest::addColumn<QString>("postPrefix");
        QTest::addColumn<int>("bobScore");
        QTest::newRow("answer during the success post") << "(*)" << 1;
        QTest::newRow("answer during the time-out post") << "Not answered" << 0;
        QTest::newRow("answer during the question post") << "Say it" << 1;
    }
    void oneQuestionScoresOnce()
    {
        QFETCH(QString, postPrefix);
        QFETCH(int, bobScore);
        game->startOn(QStringLiteral("Paris"));
        game->link->onPost = [this, postPrefix](const QString& text) {
            if (text.startsWith(postPrefix))
                game->say(QStringLiteral("Bob: Paris"));
        };
        if (postPrefix == QLatin1String("(*)"))
            game->say(QStringLiteral("Bob: Paris"));
        else if (postPrefix == QLatin1String("Not answered"))
            game->timeout();
        else
            game->next();
        game->link->onPost = nullptr;

        QCOMPARE(game->db.value(QStringLiteral("SELECT score FROM users WHERE username='Bob'")).toInt(), bobScore);
        QVERIFY2(!game->answerTimer()->isActive() && !game->hintTimer()->isActive(),
                 "no hint or time-out for a closed question");
        QVERIFY(game->nextTimer()->isActive());
    }

    void startPauses()
    {
        game->window->startPauseMs = 150;
        game->say(ctrlOnly + QStringLiteral(": !start Capitals"));
        game->say(ctrlOnly + QStringLiteral(": !restart Capitals"));
        const QList<qint64> times = game->link->postTimes;
        QCOMPARE(game->link->posts.size(), 4);
        QVERIFY2(times.at(1) - times.at(0) >= 150, "gap after the start announcement");
        QVERIFY2(times.at(3) - times.at(2) >= 150, "gap after the restart announcement");
    }

    void restart()
    {
        game->startOn(QStringLiteral("Oslo"));
        game->say(ctrlOnly + QStringLiteral(": !restart Capitals"));
        QCOMPARE(game->posts(), QStringList({QStringLiteral("(O)Restarting with category 'Capitals' by Ctrl (O)"),
                                             QStringLiteral("Capital of France?")}));
        QVERIFY(game->answerTimer()->isActive());
        QVERIFY2(!game->hintTimer()->isActive(), "the first question after a restart has no hint");
        game->timeout();
        game->next();
        QVERIFY(game->hintTimer()->isActive());

        game->posts();
        game->say(QStringLiteral("Bob: !restart x"));
        QCOMPARE(game->posts(),
                 QStringList(QStringLiteral("The category 'x' does not exist, or you are an unauthorized user!")));
        QVERIFY(game->stopped());
        QVERIFY(game->question().isEmpty());
    }

    void quit()
    {
        game->startOn(QStringLiteral("Oslo"));
        game->say(QStringLiteral("Bob: !quit"));
        QCOMPARE(game->posts(), QStringList(QStringLiteral("You are an unauthorized user!")));
        QVERIFY(game->answerTimer()->isActive());
        game->say(adminOnly + QStringLiteral(": !quit"));
        QCOMPARE(game->posts(), QStringList(QStringLiteral("You are an unauthorized user!")));

        game->say(ctrlOnly + QStringLiteral(": !QUIT"));
        QCOMPARE(game->posts(), QStringList(QStringLiteral("(O) Trivia ended by Ctrl (O)")));
        QVERIFY(game->stopped());
        QVERIFY(game->question().isEmpty());
        QCOMPARE(game->category(), QStringLiteral("Solo"));
    }

    void categoryModified_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("notice");
        QTest::newRow("renamed") << "UPDATE category SET catName='Cities' WHERE catName='Capitals'" << true;
        QTest::newRow("case changed") << "UPDATE category SET catName='CAPITALS' WHERE catName='Capitals'" << false;
        QTest::newRow("deleted") << "DELETE FROM category WHERE catName='Capitals'" << true;
        QTest::newRow("other category deleted") << "DELETE FROM category WHERE catName='Empty'" << false;
    }
    void categoryModified()
    {
        QFETCH(QString, change);
        QFETCH(bool, notice);
        game->say(ctrlOnly + QStringLiteral(": !start Capitals"));
        game->posts();
        QVERIFY(game->db.exec(change));
        game->modified();
        const QStringList expected = notice ? QStringList(QStringLiteral(
                                                  "This category's name has been modified! Please restart with "
                                                  "the updated category name (Type !categories)"))
                                            : QStringList();
        QCOMPARE(game->posts(), expected);
        QCOMPARE(game->stopped(), notice);
        QCOMPARE(game->category(), QStringLiteral("Capitals"));
    }

    void commands_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QStringList>("posts");
        QTest::addColumn<int>("answerTime");
        QTest::addColumn<int>("waitTime");
        QTest::addColumn<bool>("giveAnswer");
        const QString refusal = QStringLiteral(" You are not an admin!");
        const QString helpStart = QStringLiteral("<b>\n(O) QuizNewt Commands (O)\n");
        const QString adminHelpStart = QStringLiteral("<b>\n(O) QuizNewt Admin Commands (O)\n");
        const QString helpItems = QStringLiteral("!start | !restart <category>\n!categories\n!quit\n!help\n!top\n"
                                                 "!myscore\n!userscore <username>\n!q\n");
        auto row = [](const char* name, const QString& line, const QStringList& posts, int answer = 30,
                      int wait = 10, bool give = true) {
            QTest::newRow(name) << line << posts << answer << wait << give;
        };
        row("help", "Bob: !help", {"/msg Bob " + helpStart + helpItems + "!about</b>"});
        row("help for control right", "Ctrl: !Help", {"/msg Ctrl " + helpStart + helpItems + "!about</b>"});
        row("help for admin", "Admin: !help",
            {"/msg Admin " + adminHelpStart + helpItems
             + "!about</b>\n--- Admin Section ---\n<b>!answertime | !nexttime <sec>\n!giveanswer (0|1)\n</b>"});
        row("answertime refused", "Bob: !answertime 45", {"/msg Bob" + refusal});
        row("control is not admin", "Ctrl: !nexttime 45", {"/msg Ctrl" + refusal});
        row("giveanswer refused", "Alice: !giveanswer 0", {"/msg Alice" + refusal});
        row("answertime", "Admin: !answertime 45", {"/msg Admin Answer time set to: 45 seconds"}, 45);
        row("answertime over range", "Admin: !answertime 500", {"/msg Admin Answer time set to: 500 seconds"},
            120);
        row("answertime past int range", "Admin: !answertime 4000000000",
            {"/msg Admin Answer time set to: 4000000000 seconds"}, 120);
        row("answertime alone", "Admin: !answertime", {"/msg Admin Answer time set to:  seconds"}, 0);
        row("nexttime", "Admin: !nexttime 45", {"/msg Admin Next question time set to: 45 seconds"}, 30, 45);
        row("giveanswer 0", "Admin: !giveanswer 0", {"/msg Admin Answer will not be given if not guessed"}, 30, 10,
            false);
        row("giveanswer 2", "Admin: !giveanswer 2", {"/msg Admin "});
        row("myscore", "Alice: !myscore", {"/msg Alice \n<b>Your score: 12</b>"});
        row("myscore other case", "alice: !myscore", {"/msg alice \n<b>Sorry, but you aren't in the database!</b>"});
        row("userscore any case", "Bob: !userscore aLICE", {"/msg Bob <b>Score for aLICE: 12</b>"});
        row("userscore unknown", "Bob: !userscore Zed", {"/msg Bob <b>Sorry, that user isn't in the database!</b>"});
        row("top", "Bob: !top", {"/msg Bob \n<b>QuizNewt Top Ten\nAlice : 12\nAdmin : 5\nCtrl : 3\n</b>"});
        row("categories", "Bob: !categories", {"QuizNewt Categories:\nCapitals\nEmpty\n"});
        row("q before any game", "Bob: !q", {});
        row("about", "Bob: !about",
            {"/msg Bob <b>\n(O) About QuizNewt (O)</b>\nVersion:  1.0 19-Oct-06\nWebsite:  none\n"
             "Developer:  The QuizNewt team\nTesting: The QuizNewt team"});
        row("unknown command", "Admin: !dance", {});
        const QString failed = QStringLiteral("' does not exist, or you are an unauthorized user!");
        row("start without control", "Admin: !start Capitals", {"The category 'Capitals" + failed});
        row("start unknown category", "Ctrl: !start Nowhere", {"The category 'Nowhere" + failed});
        row("start alone", "Ctrl: !start", {"The category '" + failed});
        row("start of a name with a blank", "Ctrl: !start Capitals of Europe", {"(O) QuizNewt started by Ctrl (O)",
                                                                               "Capital of France?"});
        row("start empty category", "Ctrl: !start Empty", {"The category 'Empty" + failed});
        row("restart empty category", "Ctrl: !restart empty", {"The category 'empty" + failed});
    }
    void commands()
    {
        QFETCH(QString, line);
        QFETCH(QStringList, posts);
        QFETCH(int, answerTime);
        QFETCH(int, waitTime);
        QFETCH(bool, giveAnswer);
        game->say(line);
        QCOMPARE(game->posts(), posts);
        QCOMPARE(game->window->sbAnswer->value(), answerTime);
        QCOMPARE(game->window->sbWaitTime->value(), waitTime);
        QCOMPARE(game->window->chkGiveAnswer->isChecked(), giveAnswer);
    }

    void hintFormat_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("second");
        QTest::addColumn<QString>("hint");
        QTest::newRow("same position twice") << "Oslo" << 2 << 2 << "_ _ l _ ";
        QTest::newRow("one character") << "7" << 0 << 0 << "7 ";
        QTest::newRow("blank revealed") << "a b" << 1 << 0 << "a   _ ";
    }
    void hintFormat()
    {
        QFETCH(QString, answer);
        QFETCH(int, first);
        QFETCH(int, second);
        QFETCH(QString, hint);
        QCOMPARE(QuizNewtTestAccess::hintText(answer, first, second), hint);
    }

    // The positions come from rand(): with a seed that yields 0 and 4 for an
    // answer of eight characters, the posted hint is the worked example.
    void hintWithFixedSeed()
    {
        game->startOn(QStringLiteral("New York"));
        unsigned seed = 1;
        for (;; ++seed) {
            std::srand(seed);
            const int first = std::rand() % 8;
            if (first == 0 && std::rand() % 8 == 4)
                break;
        }
        std::srand(seed);
        game->hint();
        QCOMPARE(game->posts(), QStringList(QStringLiteral("Hint: N _ _  Y _ _ _ ")));
    }

    // Where rand() stops at 32767, rows past it must still be drawn.
    void drawReachesEveryRow()
    {
        static unsigned state = 1;
        state = 1;
        auto fifteenBits = []() -> int {
            state = state * 1103515245u + 12345u;
            return int((state >> 16) & 0x7fff);
        };
        int highest = 0;
        for (int i = 0; i < 2000; ++i) {
            const int index = QuizNewtTestAccess::randomIndex(100000, fifteenBits, 32767);
            QVERIFY(index >= 0 && index < 100000);
            highest = qMax(highest, index);
        }
        QVERIFY2(highest > 90000, qPrintable(QString::number(highest)));
    }

    void drawFollowsTheDatabase()
    {
        const qint64 trio = game->db.addCategory(QStringLiteral("Trio"));
        const qint64 first = game->db.addQuestion(trio, QStringLiteral("One"), QStringLiteral("1"));
        const qint64 second = game->db.addQuestion(trio, QStringLiteral("Two"), QStringLiteral("2"));
        game->db.addQuestion(trio, QStringLiteral("Blank answer"), QString());
        game->db.addQuestion(trio, QString(), QStringLiteral("no question"));
        game->say(ctrlOnly + QStringLiteral(": !start Trio"));
        game->db.addQuestion(trio, QStringLiteral("Three"), QStringLiteral("3"));
        game->db.addQuestion(game->capitals, QStringLiteral("Elsewhere"), QStringLiteral("no"));
        game->posts();

        QMap<QString, int> seen;
        for (int i = 0; i < 300; ++i) {
            game->next();
            seen[game->posts().value(0)]++;
        }
        QCOMPARE(seen.keys(), QStringList({"One", "Three", "Two"}));
        for (int count : seen)
            QVERIFY2(count > 60, "each question about a third of the time");

        for (qint64 id : {first, second}) {
            game->db.exec(QStringLiteral("DELETE FROM content WHERE contentID=%1").arg(id));
            game->db.exec(QStringLiteral("DELETE FROM category_content WHERE contentID=%1").arg(id));
        }
        for (int i = 0; i < 20; ++i) {
            game->next();
            QCOMPARE(game->posts(), QStringList(QStringLiteral("Three")));
        }

        game->db.exec(QStringLiteral("DELETE FROM content WHERE question='Three'"));
        game->next();
        QCOMPARE(game->posts(), QStringList(QStringLiteral(
                                    "(O) Trivia ended: no question could be drawn from the category 'Trio' (O)")));
        QVERIFY(game->stopped());
    }

    void categoryWithoutPlayableQuestion()
    {
        const qint64 blank = game->db.addCategory(QStringLiteral("Blank"));
        game->db.addQuestion(blank, QStringLiteral("What?"), QString());
        game->say(ctrlOnly + QStringLiteral(": !start Blank"));
        QCOMPARE(game->posts(), QStringList(QStringLiteral(
                                    "(O) Trivia ended: no question could be drawn from the category 'Blank' (O)")));
        QVERIFY(game->stopped());
        game->say(QStringLiteral("Bob:"));
        QVERIFY2(game->posts().isEmpty(), "an empty line is never a correct answer");

        // Blank answers are passed over however many there are.
        for (int i = 0; i < 60; ++i)
            game->db.addQuestion(blank, QStringLiteral("Blank %1").arg(i), QString());
        game->db.addQuestion(blank, QStringLiteral("Playable"), QStringLiteral("yes"));
        game->say(ctrlOnly + QStringLiteral(": !start Blank"));
        for (int i = 0; i < 5; ++i)
            game->next();
        QCOMPARE(game->posts().mid(1), QStringList(6, QStringLiteral("Playable")));
    }
};

QTEST_MAIN(tst_Game)
#include "tst_game.moc"
