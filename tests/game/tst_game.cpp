// The game on a real database: the statements behind the commands, scoring
// and the draw. The window's pages bound to the engine: tst_game_e2e.

#include <QTest>

#include "game/game.h"
#include "game/sqlgamestore.h"
#include "gui/messagebox.h"
#include "tests/common/fakeclock.h"
#include "tests/common/testwindow.h"

class TestGame : public QObject
{
    Q_OBJECT

    // One database for every case, each with a game of its own: what a
    // case adds (a member, categories) is its alone.
    TestDatabase db;
    FakeClock clock;
    RecordingRoomLink link;
    std::unique_ptr<Game> game;

    void say(const QString& line) { link.say(line); }
    QStringList posts() { return link.takePosts(); }

private Q_SLOTS:
    void initTestCase()
    {
        isolateSettings();
        MessageBox::setTestMode(true);
        QVERIFY2(db.isValid(), qPrintable(db.error()));
        db.addUser(QStringLiteral("Ctrl"), 3, 1, 0);
        db.addUser(QStringLiteral("Admin"), 5, 0, 1);
        db.addUser(QStringLiteral("Alice"), 12);
        db.addQuestion(db.addCategory(QStringLiteral("Capitals")), QStringLiteral("Capital of France?"),
                       QStringLiteral("Paris"));
        db.addCategory(QStringLiteral("Empty"));
    }
    void init()
    {
        game = std::make_unique<Game>(&link, std::make_unique<SqlGameStore>(db.connection()), &clock,
                                      Quiz::standardRandom());
        game->setStartPause(0);
        link.takePosts();
    }
    void cleanup() { game.reset(); }

    // Every command that looks at the rights or the database, for members
    // with and without each right.
    void commands_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QStringList>("posts");
        auto row = [](const char* name, const char* line, const QStringList& posts) {
            QTest::newRow(name) << QString(line) << posts;
        };
        const QString failed = QStringLiteral("' does not exist, or you are an unauthorized user!");
        row("admin", "Admin: !nexttime 45", {"/msg Admin Next question time set to: 45 seconds"});
        row("control is not admin", "Ctrl: !nexttime 45", {"/msg Ctrl You are not an admin!"});
        row("myscore", "Alice: !myscore", {"/msg Alice \n<b>Your score: 12</b>"});
        row("myscore other case", "alice: !myscore", {"/msg alice \n<b>Sorry, but you aren't in the database!</b>"});
        row("userscore any case", "Bob: !userscore aLICE", {"/msg Bob <b>Score for aLICE: 12</b>"});
        row("userscore unknown", "Bob: !userscore Zed", {"/msg Bob <b>Sorry, that user isn't in the database!</b>"});
        row("top", "Bob: !top", {"/msg Bob \n<b>QuizNewt Top Ten\nAlice : 12\nAdmin : 5\nCtrl : 3\n</b>"});
        row("categories", "Bob: !categories", {"QuizNewt Categories:\nCapitals\nEmpty\n"});
        row("start without control", "Admin: !start Capitals", {"The category 'Capitals" + failed});
        row("start any case", "Ctrl: !START cAPITALS", {"(O) QuizNewt started by Ctrl (O)", "Capital of France?"});
        row("start empty category", "Ctrl: !start Empty", {"The category 'Empty" + failed});
    }
    void commands()
    {
        QFETCH(QString, line);
        say(line);
        QTEST(posts(), "posts");
    }

    // A point for a new member makes one row, named as first shown, with no
    // rights; the next point raises it whatever the case.
    void scoring()
    {
        say(QStringLiteral("Ctrl: !start Capitals"));
        say(QStringLiteral("carol: PARIS"));
        game->nextQuestion();
        say(QStringLiteral("CAROL: paris"));
        QCOMPARE(posts().last(), QStringLiteral("(*)CAROL(*) Is Correct!  Score: 2  \nNext Question in 10 Seconds"));
        QCOMPARE(db.column("SELECT username || '/' || score || '/' || hasControl || hasAdmin FROM users "
                            "WHERE UPPER(username)='CAROL'"),
                 QStringList("carol/2/00"));
    }

    // The draw takes what the category holds now, passes over questions that
    // cannot be played however many, and ends the game when nothing is left.
    void drawFollowsTheDatabase()
    {
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
            game->nextQuestion();
            seen += posts().value(0);
        }
        QCOMPARE(seen, QSet<QString>({"One", "Two", "Three"}));

        QVERIFY(db.exec(QStringLiteral("DELETE FROM content WHERE question IN ('One', 'Two', 'Three')")));
        game->nextQuestion();
        QCOMPARE(posts(), QStringList("(O) Trivia ended: no question could be drawn from the category 'Trio' (O)"));
        QVERIFY(game->isStopped());
    }
};

QTEST_MAIN(TestGame)
#include "tst_game.moc"
