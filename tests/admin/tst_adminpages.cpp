// The Scores and Users pages on a real database, through their widgets.

#include "app/memberlist.h"
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
    // The names a list shows, top to bottom.
    static QStringList shownNames(const QTreeWidget* list)
    {
        QStringList names;
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            if (!list->topLevelItem(i)->isHidden())
                names << list->topLevelItem(i)->text(0);
        }
        return names;
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
        // Only the failures, each in plain words: every step before went through.
        QCOMPARE(shown, (QStringList{"Unable to reset scores! No database is open.",
                                     "Unable to update score! No database is open.",
                                     "Unable to load scores! No database is open."}));
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

    // The A to Z order without regard to case holds after adds and a rename;
    // Dave and dave, from before such pairs were refused, keep one order.
    void orderKeptAfterChanges()
    {
        QVERIFY(open({"bob", "Alice", "carl", "BETTY", "dave", "Dave"}, "pbUsers"));
        for (const char* name : {"aaron", "Zed", "Bo"}) {
            type(win().leUsername, QString::fromLatin1(name));
            win().pbUserAdd->click();
        }
        QVERIFY(doubleClickRow(win().twUsers, QStringLiteral("carl")));
        type(win().leUsername, QStringLiteral("Abe"));
        win().pbUserUpdate->click();
        QCOMPARE(shownNames(win().twUsers),
                 (QStringList{"aaron", "Abe", "Alice", "BETTY", "Bo", "bob", "Dave", "dave", "Zed"}));
    }

    // Opened again, the Scores page shows what the database holds now under
    // the filter typed: the same members with changed scores, or others.
    void scoresReloaded_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("score changed") << "UPDATE users SET score=5 WHERE username='Bea'"
                                       << QStringList{"Bea|5", "Cedric|6000"};
        QTest::newRow("renamed out of the filter") << "UPDATE users SET username='Bo' WHERE username='Bea'"
                                                   << QStringList{"Cedric|6000"};
        QTest::newRow("renamed into the filter") << "UPDATE users SET username='Ale' WHERE username='Al'"
                                                 << QStringList{"Ale|2000", "Bea|3000", "Cedric|6000"};
    }
    void scoresReloaded()
    {
        QFETCH(QString, change);
        QFETCH(QStringList, shown);
        QVERIFY(open({"Cedric", "Al", "Bea"}, "pbScores"));
        type(win().leScoreFilter, QStringLiteral("e"));
        QVERIFY(t->db.exec(change));
        win().pbTrivia->click();
        win().pbScores->click();
        QStringList rows;
        for (int i = 0; i < win().twScoreList->topLevelItemCount(); ++i) {
            const QTreeWidgetItem* row = win().twScoreList->topLevelItem(i);
            if (!row->isHidden())
                rows << row->text(0) + '|' + row->text(1);
        }
        QCOMPARE(rows, shown);
    }

    // A sorting list orders its rows as nameBefore orders the names, also a
    // row whose name changed after it was listed.
    void memberRowsSortAsNames()
    {
        QStringList names{"a_b", "AAB", "Émile", "emile", "Zoë", "zoe", "[x]", "Dave", "dave", "x", "Éa"};
        QTreeWidget list;
        list.setColumnCount(2);
        list.setSortingEnabled(true);
        list.sortByColumn(0, Qt::AscendingOrder);
        for (const QString& name : names)
            list.addTopLevelItem(new MemberItem({name == "x" ? QStringLiteral("renamed") : name, "true"}));
        list.findItems(QStringLiteral("renamed"), Qt::MatchExactly).value(0)->setText(0, QStringLiteral("ABC"));
        names.replace(names.indexOf("x"), QStringLiteral("ABC"));
        list.sortByColumn(0, Qt::AscendingOrder);
        std::sort(names.begin(), names.end(), nameBefore);
        QCOMPARE(shownNames(&list), names);
    }

    void addAndRenameRefusals_data()
    {
        QTest::addColumn<QString>("pick");  // the member renamed; none: an add
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("refusal");  // the box's first words; none: done
        QTest::addColumn<QStringList>("stored");
        const QStringList before{"Bob", "Carl", "Émile"};
        const QString taken = QStringLiteral("Unable to %1 user! \"%2\" is a member already");
        QTest::newRow("add: another case") << "" << "BOB" << taken.arg("add", "Bob") << before;
        QTest::newRow("add: accented, another case") << "" << "ÉMILE" << taken.arg("add", "Émile") << before;
        QTest::newRow("add: a longer name") << "" << "BOBBY" << "" << QStringList{"Bob", "BOBBY", "Carl", "Émile"};
        QTest::newRow("rename onto another member") << "Carl" << "bob" << taken.arg("update", "Bob") << before;
        QTest::newRow("rename to another case of one's own")
            << "Bob" << "BOB" << "" << QStringList{"BOB", "Carl", "Émile"};
        // The engine's refusal: its own words go under Details.
        QTest::newRow("add: longer than the column") << "" << QString(300, 'x') << "Unable to add user!" << before;
    }
    // The room takes names that differ only in case for one member, so the
    // page refuses them and says which member has the name.
    void addAndRenameRefusals()
    {
        QFETCH(QString, pick);
        QFETCH(QString, name);
        QFETCH(QString, refusal);
        QFETCH(QStringList, stored);
        QVERIFY(open({"Bob", "Carl", "Émile"}, "pbUsers"));
        if (!pick.isEmpty())
            QVERIFY(doubleClickRow(win().twUsers, pick));
        type(win().leUsername, name);
        (pick.isEmpty() ? win().pbUserAdd : win().pbUserUpdate)->click();
        const QList<MessageBox::Shown> shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), refusal.isEmpty() ? 0 : 1);
        if (!refusal.isEmpty()) {
            QVERIFY2(shown.at(0).text.startsWith(refusal), qPrintable(shown.at(0).text));
            QCOMPARE(shown.at(0).details.contains(QLatin1String("truncation")), name.size() > 255);
        }
        QCOMPARE(t->db.column("SELECT username FROM users ORDER BY UPPER(username)"), stored);
        QCOMPARE(shownNames(win().twUsers), stored);
    }

    void filterNarrowsTheLists_data()
    {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("nothing typed") << "" << QStringList{"alice", "Bob", "BOBBY", "carl", "Rob"};
        QTest::newRow("any case") << "bob" << QStringList{"Bob", "BOBBY"};
        QTest::newRow("inside names") << "Ob" << QStringList{"Bob", "BOBBY", "Rob"};
        QTest::newRow("blanks around") << " rob " << QStringList{"Rob"};
        QTest::newRow("no match") << "zz" << QStringList{};
    }
    // Typed into either page's filter, the list narrows at each key; the
    // filter holds when the page is read afresh. Both lists go A to Z
    // without regard to case.
    void filterNarrowsTheLists()
    {
        QFETCH(QString, filter);
        QFETCH(QStringList, shown);
        QVERIFY(open({"Rob", "carl", "BOBBY", "alice", "Bob"}, "pbScores"));
        QTest::keyClicks(win().leScoreFilter, filter);
        QCOMPARE(shownNames(win().twScoreList), shown);
        win().pbUsers->click();
        QTest::keyClicks(win().leUserFilter, filter);
        QCOMPARE(shownNames(win().twUsers), shown);
        win().pbScores->click();
        win().pbUsers->click();
        QCOMPARE(shownNames(win().twUsers), shown);
        QCOMPARE(shownNames(win().twScoreList), shown);
    }
};

QTEST_MAIN(TestAdminPages)
#include "tst_adminpages.moc"
