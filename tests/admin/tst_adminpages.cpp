// The Scores and Users pages on a real database, through their widgets.

#include "gui/messagebox.h"
#include "tests/common/testaccess.h"
#include "tests/common/testwindow.h"

class TestAdminPages : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestWindow> t;

    QuizNewt& win() { return *t->window; }

    // Opens the window on page with these members, a score of 1000 per letter each.
    bool open(const QStringList& names, const char* page)
    {
        for (const QString& name : names)
            t->db.addUser(name, name.size() * 1000);
        const bool shown = t->open();
        win().findChild<QPushButton*>(QLatin1String(page))->click();
        return shown;
    }
    // Types text over whatever the field holds.
    static void type(QWidget* field, const QString& text)
    {
        QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(field, text);
    }
    // The Users page's Add, Update and Delete as "E" (enabled) or "-".
    QString buttons()
    {
        const auto state = [](const QPushButton* b) { return QLatin1Char(b->isEnabled() ? 'E' : '-'); };
        return QString(state(win().pbUserAdd)) + state(win().pbUserUpdate) + state(win().pbUserDelete);
    }

private Q_SLOTS:
    void init()
    {
        isolateSettings();
        MessageBox::setTestMode(true);
        t = std::make_unique<TestWindow>();
        QVERIFY2(t->db.isValid(), qPrintable(t->db.error()));
    }
    void cleanup() { t.reset(); }

    // Update, Reset All and reading afresh; then, with the database gone, each
    // change reports its own failure once and leaves the page as it was.
    void scoresPage()
    {
        QVERIFY(open({"Al", "O'Brien's cousin", "x' OR '1'='1"}, "pbScores"));
        QVERIFY(doubleClickRow(win().twScoreList, QStringLiteral("x' OR '1'='1")));
        type(win().sbScore, QStringLiteral("77"));
        win().pbScoreUpdate->click();
        // The spin box stops at 10000, and so does the stored score.
        QVERIFY(doubleClickRow(win().twScoreList, QStringLiteral("O'Brien's cousin")));
        win().pbScoreUpdate->click();
        // Nobody picked, as after every update: no score changes.
        type(win().sbScore, QStringLiteral("50"));
        win().pbScoreUpdate->click();
        const QStringList updated{"Al|2000", "O'Brien's cousin|10000", "x' OR '1'='1|77"};
        QCOMPARE(t->db.column("SELECT username || '|' || score FROM users ORDER BY 1"), updated);
        QCOMPARE(treeRows(win().twScoreList, true), updated);
        win().pbReset->click();
        QCOMPARE(t->db.column("SELECT score FROM users"), QStringList(3, QStringLiteral("0")));
        // Left, the page lets go of its query and the snapshot it holds.
        t->db.addUser(QStringLiteral("Carol"), 1);
        win().pbUsers->click();
        QVERIFY(!QuizNewtTestAccess::scoresQuery(win())->isActive());
        win().pbScores->click();
        const QStringList listed{"Al|0", "Carol|1", "O'Brien's cousin|0", "x' OR '1'='1|0"};
        QCOMPARE(treeRows(win().twScoreList, true), listed);

        QVERIFY(doubleClickRow(win().twScoreList, QStringLiteral("Carol")));
        type(win().sbScore, QStringLiteral("60"));
        // Closed and pointed at no file, the connection cannot come back.
        QSqlDatabase connection = QSqlDatabase::database(QSqlDatabase::defaultConnection, false);
        connection.close();
        connection.setDatabaseName(t->db.dir() + QStringLiteral("/gone/quiznewt.fdb"));
        for (QPushButton* button : {win().pbReset, win().pbScoreUpdate, win().pbTrivia, win().pbScores})
            button->click();
        QStringList shown;
        for (const MessageBox::Shown& box : MessageBox::takeShown())
            shown << box.text;
        // Only the failures: every step before went through.
        QCOMPARE(shown, (QStringList{"Unable to reset scores!", "Unable to update score!", "Unable to load scores!"}));
        QCOMPARE(treeRows(win().twScoreList, true), listed);
        QCOMPARE(win().lblUsername->text() + win().sbScore->text(), QStringLiteral("Carol60"));
    }

    // The whole life of a member, with the buttons after each step. Alice
    // holds a control right of 2, listed with no text: her box stays empty,
    // which Update stores as held and Add as not held.
    void usersButtonsFollowTheEditing()
    {
        t->db.addUser(QStringLiteral("Alice"), 7, 2, 0);
        QVERIFY(open({}, "pbUsers"));
        QCOMPARE(buttons(), QStringLiteral("---"));
        type(win().leUsername, QStringLiteral("Carol"));
        QCOMPARE(buttons(), QStringLiteral("E--"));
        win().pbUserAdd->click();
        QCOMPARE(buttons(), QStringLiteral("---"));
        QCOMPARE(treeRows(win().twUsers, true), (QStringList{"Alice||false", "Carol|true|true"}));

        QVERIFY(doubleClickRow(win().twUsers, QStringLiteral("Alice")));
        QCOMPARE(buttons(), QStringLiteral("-EE"));
        type(win().leUsername, QStringLiteral("Alicia"));
        QCOMPARE(buttons(), QStringLiteral("EEE"));
        win().cbAdmin->setCurrentIndex(win().cbAdmin->findText(QStringLiteral("true")));
        win().pbUserUpdate->click();
        QCOMPARE(buttons(), QStringLiteral("---"));
        // The boxes keep the last row's rights for the next add.
        type(win().leUsername, QStringLiteral("Dave"));
        win().pbUserAdd->click();

        QVERIFY(doubleClickRow(win().twUsers, QStringLiteral("Carol")));
        win().pbUserDelete->click();
        QCOMPARE(buttons(), QStringLiteral("---"));
        QCOMPARE(t->db.column("SELECT username || '|' || score || '|' || hasControl || '|' || hasAdmin FROM users ORDER BY 1"),
                 (QStringList{"Alicia|7|1|1", "Dave|0|0|1"}));
        QCOMPARE(treeRows(win().twUsers, true), (QStringList{"Alicia|true|true", "Dave||true"}));
    }

    // The name is one literal in the delete, whatever quotes it holds: one
    // inside, an always-true condition, two in a row, one at the end.
    void usersDeleteRemovesExactlyTheNamedMember()
    {
        QStringList everyone{"O'Brien", "OBrien", "it''s", "it's", "trail", "trail'", "x", "x' OR '1'='1"};
        QVERIFY(open(everyone, "pbUsers"));
        for (const QString name : {"O'Brien", "x' OR '1'='1", "it''s", "trail'"}) {
            QVERIFY(doubleClickRow(win().twUsers, name));
            win().pbUserDelete->click();
            everyone.removeOne(name);
            QCOMPARE(t->db.column("SELECT username FROM users ORDER BY 1"), everyone);
            QCOMPARE(win().twUsers->topLevelItemCount(), everyone.size());
        }
    }
};

QTEST_MAIN(TestAdminPages)
#include "tst_adminpages.moc"
