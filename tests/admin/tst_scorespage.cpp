// The Scores page on a real database, through its widgets.

#include "tests/admin/adminwindow.h"

class TestScoresPage : public QObject
{
    Q_OBJECT

    std::unique_ptr<AdminWindow> w;

    QuizNewt& win() { return *w->window; }
    QStringList listed() { return AdminWindow::rows(win().twScoreList); }
    QStringList stored() { return w->db.column("SELECT username || '|' || score FROM users ORDER BY 1"); }

private Q_SLOTS:
    void initTestCase() { isolateSettings(); }

    // Every test starts on the Scores page with these members.
    void init()
    {
        MessageBox::setTestMode(true);
        w = std::make_unique<AdminWindow>();
        QVERIFY2(w->db.isValid(), qPrintable(w->db.error()));
        w->db.addUser(QStringLiteral("Alice"), 3, 1);
        w->db.addUser(QStringLiteral("O'Brien"), 25000);
        w->db.addUser(QStringLiteral("x' OR '1'='1"), 5);
        QVERIFY(w->open());
        win().pbScores->click();
        QCOMPARE(listed(), (QStringList{"Alice|3", "O'Brien|25000", "x' OR '1'='1|5"}));
    }

    void cleanup() { w.reset(); }

    void updateAndResetAll()
    {
        w->doubleClick(win().twScoreList, QStringLiteral("x' OR '1'='1"));
        QCOMPARE(win().lblUsername->text(), QStringLiteral("x' OR '1'='1"));
        QCOMPARE(win().sbScore->value(), 5);
        win().sbScore->selectAll();
        QTest::keyClicks(win().sbScore, QStringLiteral("77"));
        win().pbScoreUpdate->click();
        QCOMPARE(stored(), (QStringList{"Alice|3", "O'Brien|25000", "x' OR '1'='1|77"}));
        QCOMPARE(win().lblUsername->text(), QStringLiteral("<select user>"));
        QCOMPARE(win().sbScore->value(), 0);

        // The spin box stops at 10000, and so does the stored score.
        w->doubleClick(win().twScoreList, QStringLiteral("O'Brien"));
        QCOMPARE(win().sbScore->value(), 10000);
        win().pbScoreUpdate->click();
        QCOMPARE(stored(), (QStringList{"Alice|3", "O'Brien|10000", "x' OR '1'='1|77"}));

        // Nobody picked: no score changes.
        QTest::keyClicks(win().sbScore, QStringLiteral("50"));
        win().pbScoreUpdate->click();
        QCOMPARE(stored(), (QStringList{"Alice|3", "O'Brien|10000", "x' OR '1'='1|77"}));

        win().pbReset->click();
        QCOMPARE(stored(), (QStringList{"Alice|0", "O'Brien|0", "x' OR '1'='1|0"}));
        QCOMPARE(listed(), stored());
        QVERIFY(MessageBox::takeShown().isEmpty());
    }

    // With the database gone each change reports its own failure once and
    // leaves the page as it was.
    void failuresAreReported_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("message");
        QTest::newRow("opening the page") << "pbScores" << "Unable to load scores!";
        QTest::newRow("Reset All") << "pbReset" << "Unable to reset scores!";
        QTest::newRow("Update") << "pbScoreUpdate" << "Unable to update score!";
    }

    void failuresAreReported()
    {
        QFETCH(QString, button);
        QFETCH(QString, message);
        w->doubleClick(win().twScoreList, QStringLiteral("Alice"));
        win().sbScore->selectAll();
        QTest::keyClicks(win().sbScore, QStringLiteral("60"));
        if (button == QLatin1String("pbScores"))
            win().pbTrivia->click();
        // Closed and pointed at no file, the connection cannot come back.
        QSqlDatabase connection = QSqlDatabase::database(QSqlDatabase::defaultConnection, false);
        connection.close();
        connection.setDatabaseName(w->db.dir() + QStringLiteral("/gone/quiznewt.fdb"));
        win().findChild<QPushButton*>(button)->click();

        const QList<MessageBox::Shown> shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].text, message);
        QCOMPARE(listed(), (QStringList{"Alice|3", "O'Brien|25000", "x' OR '1'='1|5"}));
        QCOMPARE(win().lblUsername->text(), QStringLiteral("Alice"));
        QCOMPARE(win().sbScore->value(), 60);
    }

    // The game does not refresh the page; the next opening shows its points.
    void gamePointShowsAfterTheNextLoad()
    {
        w->db.addQuestion(w->db.addCategory("Capitals"), "Capital?", "Paris");
        w->link->say(QStringLiteral("Alice: !start Capitals"));
        QTRY_VERIFY(w->link->posts.contains(QStringLiteral("Capital?")));
        w->link->say(QStringLiteral("Alice: paris"));
        QTRY_VERIFY(stored().contains(QStringLiteral("Alice|4")));
        QVERIFY(listed().contains(QStringLiteral("Alice|3")));
        win().pbTrivia->click();
        win().pbScores->click();
        QVERIFY(listed().contains(QStringLiteral("Alice|4")));
    }
};

QTEST_MAIN(TestScoresPage)
#include "tst_scorespage.moc"
