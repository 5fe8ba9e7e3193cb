// The Scores page on a real database, through its widgets.

#include <QSqlQuery>
#include <QTest>

#include "tests/admin/adminwindow.h"

class TestScoresPage : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<AdminWindow> w;

    QuizNewt& win() { return *w->window; }
    int score(const QString& name)
    {
        QSqlQuery q(w->db.connection());
        q.prepare(QStringLiteral("SELECT score FROM users WHERE username=?"));
        q.addBindValue(name);
        return q.exec() && q.next() ? q.value(0).toInt() : -1;
    }
    QStringList scoreRows()
    {
        QStringList result;
        QSqlQuery q(w->db.connection());
        q.exec(QStringLiteral("SELECT username, score FROM users"));
        while (q.next())
            result << q.value(0).toString() + QLatin1Char('|') + q.value(1).toString();
        return result;
    }

private Q_SLOTS:
    void initTestCase() { isolateSettings(); }

    void init()
    {
        MessageBox::setTestMode(true);
        w = std::make_unique<AdminWindow>();
        QVERIFY2(w->db.isValid(), qPrintable(w->db.error()));
    }

    void cleanup() { w.reset(); }

    void listShowsEveryMemberInDatabaseOrder_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QList<int>>("scores");
        QTest::newRow("no members") << QStringList{} << QList<int>{};
        QTest::newRow("one member") << QStringList{"Alice"} << QList<int>{3};
        QTest::newRow("unsorted names, score above the spin box")
            << QStringList{"zed", "Alice", "bob", "O'Brien"} << QList<int>{0, 12, 25000, 7};
    }

    void listShowsEveryMemberInDatabaseOrder()
    {
        QFETCH(QStringList, names);
        QFETCH(QList<int>, scores);
        for (int i = 0; i < names.size(); ++i)
            w->db.addUser(names[i], scores[i]);
        QVERIFY(w->open());
        QCOMPARE(win().twScoreList->topLevelItemCount(), 0);

        w->click(win().pbScores);
        QCOMPARE(win().stackedWidget->currentIndex(), 1);
        const QStringList shown = AdminWindow::rows(win().twScoreList);
        QCOMPARE(shown, scoreRows());
        QCOMPARE(shown.size(), names.size());
        for (int i = 0; i < names.size(); ++i)
            QVERIFY(shown.contains(names[i] + QLatin1Char('|') + QString::number(scores[i])));
        QVERIFY(MessageBox::takeShown().isEmpty());
    }

    void updateStoresTheScoreAndResetsFields_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("stored");
        QTest::addColumn<int>("inSpinBox");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("expected");
        QTest::newRow("new score typed") << "Bob" << 5 << 5 << "77" << 77;
        QTest::newRow("zero typed") << "Bob" << 5 << 5 << "0" << 0;
        QTest::newRow("10000 kept") << "Bob" << 10000 << 10000 << "" << 10000;
        QTest::newRow("over 10000 becomes 10000") << "Bob" << 25000 << 10000 << "" << 10000;
        QTest::newRow("quote in the name") << "O'Brien" << 5 << 5 << "9" << 9;
        QTest::newRow("statement-like name") << "x' OR '1'='1" << 5 << 5 << "8" << 8;
    }

    void updateStoresTheScoreAndResetsFields()
    {
        QFETCH(QString, name);
        QFETCH(int, stored);
        QFETCH(int, inSpinBox);
        QFETCH(QString, typed);
        QFETCH(int, expected);
        w->db.addUser(QStringLiteral("Alice"), 3);
        w->db.addUser(name, stored);
        w->db.addUser(QStringLiteral("Zoe"), 4);
        QVERIFY(w->open());
        w->click(win().pbScores);
        QCOMPARE(win().lblUsername->text(), QStringLiteral("<select user>"));
        QTreeWidgetItem* picked = AdminWindow::row(win().twScoreList, name);
        QVERIFY(picked);
        QCOMPARE(picked->text(1), QString::number(stored));

        w->doubleClick(win().twScoreList, picked);
        QCOMPARE(win().lblUsername->text(), name);
        QCOMPARE(win().sbScore->value(), inSpinBox);
        if (!typed.isEmpty()) {
            win().sbScore->selectAll();
            QTest::keyClicks(win().sbScore, typed);
        }
        w->click(win().pbScoreUpdate);

        QCOMPARE(score(name), expected);
        QCOMPARE(score(QStringLiteral("Alice")), 3);
        QCOMPARE(score(QStringLiteral("Zoe")), 4);
        QCOMPARE(AdminWindow::row(win().twScoreList, name)->text(1), QString::number(expected));
        QCOMPARE(win().lblUsername->text(), QStringLiteral("<select user>"));
        QCOMPARE(win().sbScore->value(), 0);
        QVERIFY(MessageBox::takeShown().isEmpty());
    }

    void updateWithoutPickingChangesNoScoreButReloads()
    {
        w->db.addUser(QStringLiteral("Alice"), 3);
        w->db.addUser(QStringLiteral("Bob"), 5);
        QVERIFY(w->open());
        w->click(win().pbScores);
        // Changed behind the page's back: only a reload shows it.
        QVERIFY(w->db.exec(QStringLiteral("UPDATE users SET score=6 WHERE username='Bob'")));
        win().sbScore->selectAll();
        QTest::keyClicks(win().sbScore, QStringLiteral("50"));

        w->click(win().pbScoreUpdate);

        QCOMPARE(scoreRows(), (QStringList{"Alice|3", "Bob|6"}));
        QCOMPARE(AdminWindow::rows(win().twScoreList), scoreRows());
        QCOMPARE(win().lblUsername->text(), QStringLiteral("<select user>"));
        QCOMPARE(win().sbScore->value(), 0);
        QVERIFY(MessageBox::takeShown().isEmpty());
    }

    void resetAllZeroesEveryScore()
    {
        w->db.addUser(QStringLiteral("Alice"), 3);
        w->db.addUser(QStringLiteral("Bob"), 25000);
        w->db.addUser(QStringLiteral("Carol"), 0);
        QVERIFY(w->open());
        w->click(win().pbScores);

        w->click(win().pbReset);

        QCOMPARE(w->db.column(QStringLiteral("SELECT DISTINCT score FROM users")), QStringList{"0"});
        QCOMPARE(AdminWindow::rows(win().twScoreList), (QStringList{"Alice|0", "Bob|0", "Carol|0"}));
        QVERIFY(MessageBox::takeShown().isEmpty());
    }

    // With the database gone each change reports its own failure once, and
    // nothing is reloaded (a reload would add a second box).
    void failuresAreReported_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("message");
        QTest::newRow("opening the page") << "open" << "Unable to load scores!";
        QTest::newRow("Reset All") << "reset" << "Unable to reset scores!";
        QTest::newRow("Update") << "update" << "Unable to update score!";
    }

    void failuresAreReported()
    {
        QFETCH(QString, action);
        QFETCH(QString, message);
        w->db.addUser(QStringLiteral("Alice"), 3);
        w->db.addUser(QStringLiteral("Bob"), 5);
        QVERIFY(w->open());
        w->click(win().pbScores);
        w->doubleClick(win().twScoreList, AdminWindow::row(win().twScoreList, QStringLiteral("Bob")));
        win().sbScore->selectAll();
        QTest::keyClicks(win().sbScore, QStringLiteral("60"));
        const QStringList before = AdminWindow::rows(win().twScoreList);
        QVERIFY(MessageBox::takeShown().isEmpty());

        if (action == QLatin1String("open"))
            w->click(win().pbTrivia);
        w->loseDatabase();
        if (action == QLatin1String("open"))
            w->click(win().pbScores);
        else if (action == QLatin1String("reset"))
            w->click(win().pbReset);
        else
            w->click(win().pbScoreUpdate);

        const QList<MessageBox::Shown> shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].kind, MessageBox::Information);
        QCOMPARE(shown[0].title, QStringLiteral("Error"));
        QCOMPARE(shown[0].text, message);
        QCOMPARE(AdminWindow::rows(win().twScoreList), before);
        QCOMPARE(win().lblUsername->text(), QStringLiteral("Bob"));
        QCOMPARE(win().sbScore->value(), 60);
        QCOMPARE(score(QStringLiteral("Bob")), 5);
    }

    // The game does not refresh the page; the next opening shows its points.
    void gamePointShowsAfterTheNextLoad()
    {
        w->db.addUser(QStringLiteral("Alice"), 3, 1, 0);
        const qint64 cat = w->db.addCategory(QStringLiteral("Capitals"));
        w->db.addQuestion(cat, QStringLiteral("Capital of France?"), QStringLiteral("Paris"));
        QVERIFY(w->open());
        w->click(win().pbScores);
        QCOMPARE(AdminWindow::rows(win().twScoreList), QStringList{"Alice|3"});

        w->link->say(QStringLiteral("Alice: !start Capitals"));
        QTRY_VERIFY(w->link->posts.contains(QStringLiteral("Capital of France?")));
        w->link->say(QStringLiteral("Alice: paris"));
        QTRY_COMPARE(score(QStringLiteral("Alice")), 4);

        QCOMPARE(AdminWindow::rows(win().twScoreList), QStringList{"Alice|3"});
        w->click(win().pbTrivia);
        w->click(win().pbScores);
        QCOMPARE(AdminWindow::rows(win().twScoreList), QStringList{"Alice|4"});
    }
};

QTEST_MAIN(TestScoresPage)
#include "tst_scorespage.moc"
