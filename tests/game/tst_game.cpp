// The quiz driven through room lines, on a real database.

#include <QCheckBox>
#include <QSpinBox>
#include <QTest>

#include "gui/messagebox.h"
#include "tests/common/testaccess.h"
#include "quiz/replies.h"
#include "tests/common/testwindow.h"

using Access = QuizNewtTestAccess;

class TestGame : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestWindow> t;
    QuizNewt* window = nullptr;
    RecordingRoomLink* link = nullptr;

    void say(const QString& line) { link->say(line); }
    QStringList posts() { return link->takePosts(); }
    // Starts a game on a category of one question, so the draw is known.
    void startOn(const QString& answer, const QString& question = QStringLiteral("Say it"))
    {
        t->db.addQuestion(t->db.addCategory(QStringLiteral("Solo")), question, answer);
        say(QStringLiteral("Ctrl: !start Solo"));
        posts();
    }

private Q_SLOTS:
    void initTestCase()
    {
        isolateSettings();
        MessageBox::setTestMode(true);
    }
    void init()
    {
        t = std::make_unique<TestWindow>();
        QVERIFY2(t->db.isValid(), qPrintable(t->db.error()));
        t->db.addUser(QStringLiteral("Ctrl"), 3, 1, 0);
        t->db.addUser(QStringLiteral("Admin"), 5, 0, 1);
        t->db.addUser(QStringLiteral("Alice"), 12);
        t->db.addQuestion(t->db.addCategory(QStringLiteral("Capitals")), QStringLiteral("Capital of France?"),
                          QStringLiteral("Paris"));
        t->db.addCategory(QStringLiteral("Empty"));
        t->db.addQuestion(t->db.addCategory(QStringLiteral("Old Movies")), QStringLiteral("Who said it?"),
                          QStringLiteral("Rick"));
        QVERIFY(t->open(false));
        window = t->window.get();
        link = t->link;
    }
    void cleanup() { t.reset(); }

    void wholeGame_data()
    {
        QTest::addColumn<bool>("giveAnswer");
        QTest::addColumn<QString>("timedOut");
        const QString next = QStringLiteral(" \nNext question in 0 seconds.");
        QTest::newRow("answer given") << true << "Not answered correctly. Correct answer was: Paris" + next;
        QTest::newRow("answer kept back") << false << "Not answered correctly. " + next;
    }
    void wholeGame()
    {
        window->startPauseMs = 150;
        say(QStringLiteral("Ctrl: !start capitals"));
        QCOMPARE(link->posts, QStringList({"(O) QuizNewt started by Ctrl (O)", "Capital of France?"}));
        QVERIFY2(link->postTimes.at(1) - link->postTimes.at(0) >= 150, "pause after the announcement");
        posts();
        QCOMPARE(Access::answerTimer(*window)->interval(), 30000);
        QCOMPARE(Access::hintTimer(*window)->interval(), 15000);

        say(QStringLiteral("carol: !q"));
        QCOMPARE(posts(), QStringList("/msg carol Capital of France?"));
        say(QStringLiteral("carol: PARIS"));
        QCOMPARE(posts(), QStringList("(*)carol(*) Is Correct!  Score: 1  \nNext Question in 10 Seconds"));
        QCOMPARE(Access::nextTimer(*window)->interval(), 10000);
        QVERIFY(!Access::answerTimer(*window)->isActive() && !Access::hintTimer(*window)->isActive());
        say(QStringLiteral("dave: !q"));
        QVERIFY2(posts().isEmpty(), "no question to repeat after a correct answer");
        Access::nextQuestion(*window);
        say(QStringLiteral("CAROL: paris"));
        QCOMPARE(posts().value(1).left(33), QStringLiteral("(*)CAROL(*) Is Correct!  Score: 2"));
        // One row, named as first shown, without rights.
        QCOMPARE(t->db.column("SELECT username || '/' || score || '/' || hasControl || hasAdmin FROM users "
                              "WHERE UPPER(username)='CAROL'"),
                 QStringList("carol/2/00"));

        // Real timers, shortened: hint, time-out and the next question come by themselves.
        QFETCH(bool, giveAnswer);
        window->chkGiveAnswer->setChecked(giveAnswer);
        window->sbAnswer->setValue(1);
        window->sbWaitTime->setValue(0);
        Access::nextQuestion(*window);
        QTRY_COMPARE_WITH_TIMEOUT(link->posts.size(), 4, 5000);
        QCOMPARE(link->posts.at(1).left(6), QStringLiteral("Hint: "));
        QTEST(link->posts.at(2), "timedOut");
        QCOMPARE(link->posts.at(3), QStringLiteral("Capital of France?"));
    }

    // Time counts from when the room has a line, not from when it was handed
    // over: a busy send queue must not eat into the answer time or the pause.
    void timersWaitForTheRoom()
    {
        link->holding = true;
        startOn(QStringLiteral("Paris"));
        QVERIFY2(!Access::answerTimer(*window)->isActive() && !Access::hintTimer(*window)->isActive(),
                 "the question is not out yet");
        say(QStringLiteral("Bob: paris"));
        QVERIFY2(!Access::nextTimer(*window)->isActive(), "the result is not out yet");
        link->release();
        QVERIFY2(Access::nextTimer(*window)->isActive(), "the pause runs from the result");
        QVERIFY2(!Access::answerTimer(*window)->isActive(), "the late question starts no timer");

        link->holding = true;
        Access::nextQuestion(*window);
        QVERIFY(!Access::answerTimer(*window)->isActive());
        link->release();
        QVERIFY(Access::answerTimer(*window)->isActive() && Access::hintTimer(*window)->isActive());
        link->holding = true;
        Access::answerTimeout(*window);
        QVERIFY(!Access::nextTimer(*window)->isActive());
        link->release();
        QVERIFY(Access::nextTimer(*window)->isActive());
    }

    // With no time at all the game is paced by the room: each line waits for
    // the one before it, and nothing runs while the room is busy.
    void zeroTimesArePacedByTheRoom()
    {
        window->sbAnswer->setValue(0);
        window->sbWaitTime->setValue(0);
        link->holding = true;
        startOn(QStringLiteral("Paris"));
        // Question, result, question, ...: one line a turn, each waiting for
        // the room to take the one before.
        for (int round = 0; round < 4; ++round) {
            link->release();
            link->holding = true;
            QTest::qWait(30);
            QCOMPARE(posts().size(), 1);
        }
    }

    // A lost connection: the open question is asked again, with its full
    // time, once the room is back.
    void questionAskedAgainAfterReconnect()
    {
        startOn(QStringLiteral("Paris"), QStringLiteral("Capital?"));
        emit link->lost();
        QVERIFY(!Access::answerTimer(*window)->isActive());
        link->join();
        QCOMPARE(posts(), QStringList({"(O) QuizNewt Connected (O)", "Capital?"}));
        QVERIFY(Access::answerTimer(*window)->isActive());
        QCOMPARE(Access::answerTimer(*window)->remainingTime() > 29000, true);
        say(QStringLiteral("Ctrl: !quit"));
        posts();
        emit link->lost();
        link->join();
        QCOMPARE(posts(), QStringList("(O) QuizNewt Connected (O)"));
    }

    // Bob answers again whenever the game posts something other than a question.
    void oneQuestionScoresOnce()
    {
        startOn(QStringLiteral("Paris"));
        link->onPost = [this](const QString& text) {
            if (text != QLatin1String("Say it"))
                say(QStringLiteral("Bob: Paris"));
        };
        say(QStringLiteral("Bob: Paris"));
        Access::nextQuestion(*window);
        Access::answerTimeout(*window);
        link->onPost = nullptr;
        QCOMPARE(t->db.value(QStringLiteral("SELECT score FROM users WHERE username='Bob'")).toInt(), 1);
        QVERIFY2(!Access::answerTimer(*window)->isActive() && !Access::hintTimer(*window)->isActive(),
                 "no hint or time-out for a closed question");
    }

    void restartAndQuit()
    {
        startOn(QStringLiteral("Oslo"));
        say(QStringLiteral("Ctrl: !restart Capitals"));
        QCOMPARE(posts(), QStringList({"(O)Restarting with category 'Capitals' by Ctrl (O)", "Capital of France?"}));
        QVERIFY2(!Access::hintTimer(*window)->isActive(), "the first question after a restart has no hint");
        Access::answerTimeout(*window);
        Access::nextQuestion(*window);
        QVERIFY(Access::hintTimer(*window)->isActive());

        posts();
        say(QStringLiteral("Admin: !quit"));
        QCOMPARE(posts(), QStringList("You are an unauthorized user!"));
        QVERIFY(Access::answerTimer(*window)->isActive());
        say(QStringLiteral("Ctrl: !QUIT"));
        QCOMPARE(posts(), QStringList("(O) Trivia ended by Ctrl (O)"));
        QVERIFY(Access::stopped(*window));

        // A refused restart ends the game as well.
        say(QStringLiteral("Ctrl: !start Capitals"));
        say(QStringLiteral("Bob: !restart x"));
        QCOMPARE(posts().last(), QStringLiteral("The category 'x' does not exist, or you are an unauthorized user!"));
        QVERIFY(Access::stopped(*window));
    }

    void categoryModified()
    {
        say(QStringLiteral("Ctrl: !start Capitals"));
        posts();
        QVERIFY(t->db.exec(QStringLiteral("DELETE FROM category WHERE catName='Empty'")));
        QVERIFY(t->db.exec(QStringLiteral("UPDATE category SET catName='CAPITALS' WHERE catName='Capitals'")));
        Access::categoryModified(*window);
        QVERIFY2(posts().isEmpty() && !Access::stopped(*window), "another category deleted, or only the case changed");
        QVERIFY(t->db.exec(QStringLiteral("UPDATE category SET catName='Cities' WHERE catName='CAPITALS'")));
        Access::categoryModified(*window);
        QCOMPARE(posts(), QStringList("This category's name has been modified! Please restart with the updated "
                                      "category name (Type !categories)"));
        QVERIFY(Access::stopped(*window));
    }

    // Every command that looks at the rights or the database, for members
    // with and without each right. The texts themselves are the rules' tests.
    void commands_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QStringList>("posts");
        // Answer time, time to the next question, whether the answer is given.
        QTest::addColumn<QList<int>>("settings");
        auto row = [](const char* name, const char* line, const QStringList& posts, QList<int> values = {30, 10, 1}) {
            QTest::newRow(name) << QString(line) << posts << values;
        };
        const QString failed = QStringLiteral("' does not exist, or you are an unauthorized user!");
        row("help for admin", "Admin: !help", {"/msg Admin " + Replies::help(true)});
        row("help for control", "Ctrl: !help", {"/msg Ctrl " + Replies::help(false)});
        row("control is not admin", "Ctrl: !nexttime 45", {"/msg Ctrl You are not an admin!"});
        row("giveanswer refused", "Alice: !giveanswer 0", {"/msg Alice You are not an admin!"});
        row("answertime 500", "Admin: !answertime 500", {"/msg Admin Answer time set to: 500 seconds"}, {120, 10, 1});
        row("nexttime", "Admin: !nexttime 45", {"/msg Admin Next question time set to: 45 seconds"}, {30, 45, 1});
        row("giveanswer 0", "Admin: !giveanswer 0", {"/msg Admin Answer will not be given if not guessed"},
            {30, 10, 0});
        row("giveanswer 2", "Admin: !giveanswer 2", {"/msg Admin "});
        row("myscore", "Alice: !myscore", {"/msg Alice \n<b>Your score: 12</b>"});
        row("myscore other case", "alice: !myscore", {"/msg alice \n<b>Sorry, but you aren't in the database!</b>"});
        row("userscore any case", "Bob: !userscore aLICE", {"/msg Bob <b>Score for aLICE: 12</b>"});
        row("userscore unknown", "Bob: !userscore Zed", {"/msg Bob <b>Sorry, that user isn't in the database!</b>"});
        row("top", "Bob: !top", {"/msg Bob \n<b>QuizNewt Top Ten\nAlice : 12\nAdmin : 5\nCtrl : 3\n</b>"});
        row("categories", "Bob: !categories", {"QuizNewt Categories:\nCapitals\nEmpty\nOld Movies\n"});
        row("q before any game", "Bob: !q", {});
        row("no answer while no question is open", "Bob: No Answer", {});
        row("start without control", "Admin: !start Capitals", {"The category 'Capitals" + failed});
        row("start unknown category", "Ctrl: !start Nowhere", {"The category 'Nowhere" + failed});
        row("start empty category", "Ctrl: !start Empty", {"The category 'Empty" + failed});
        const QString started = QStringLiteral("(O) QuizNewt started by Ctrl (O)");
        row("name with a blank", "Ctrl: !start Old Movies", {started, "Who said it?"});
        row("first word wins", "Ctrl: !start Capitals of Europe", {started, "Capital of France?"});
        row("no name matches", "Ctrl: !start Old Films", {"The category 'Old" + failed});
    }
    void commands()
    {
        QFETCH(QString, line);
        QFETCH(QStringList, posts);
        say(line);
        QCOMPARE(this->posts(), posts);
        QTEST(QList<int>({window->sbAnswer->value(), window->sbWaitTime->value(), window->chkGiveAnswer->isChecked()}),
              "settings");
    }

    // The draw takes what the category holds now, passes over questions that
    // cannot be played however many, and ends the game when nothing is left.
    void drawFollowsTheDatabase()
    {
        TestDatabase& db = t->db;
        const qint64 trio = db.addCategory(QStringLiteral("Trio"));
        db.addQuestion(trio, QStringLiteral("One"), QStringLiteral("1"));
        db.addQuestion(trio, QStringLiteral("Two"), QStringLiteral("2"));
        db.addQuestion(trio, QString(), QStringLiteral("no question"));
        for (int i = 0; i < 60; ++i)
            db.addQuestion(trio, QStringLiteral("Blank %1").arg(i), QString());
        say(QStringLiteral("Ctrl: !start Trio"));
        db.addQuestion(trio, QStringLiteral("Three"), QStringLiteral("3"));
        db.addQuestion(db.addCategory(QStringLiteral("Other")), QStringLiteral("Elsewhere"), QStringLiteral("no"));
        posts();
        QSet<QString> seen;
        for (int i = 0; i < 100; ++i) {
            Access::nextQuestion(*window);
            seen += posts().value(0);
        }
        QCOMPARE(seen, QSet<QString>({"One", "Two", "Three"}));

        QVERIFY(db.exec(QStringLiteral("DELETE FROM content WHERE question IN ('One', 'Two', 'Three')")));
        Access::nextQuestion(*window);
        QCOMPARE(posts(), QStringList("(O) Trivia ended: no question could be drawn from the category 'Trio' (O)"));
        QVERIFY(Access::stopped(*window));
    }
};

QTEST_MAIN(TestGame)
#include "tst_game.moc"
