// The Users page on a real database, through its widgets.

#include <QSqlQuery>
#include <QTest>

#include "tests/admin/adminwindow.h"

class TestUsersPage : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<AdminWindow> w;

    QuizNewt& win() { return *w->window; }

    // "name|control|admin" of every stored member, by name.
    QStringList storedMembers()
    {
        QStringList result;
        QSqlQuery q(w->db.connection());
        q.exec(QStringLiteral("SELECT username, hasControl, hasAdmin FROM users ORDER BY username"));
        while (q.next())
            result << QStringList{q.value(0).toString(), q.value(1).toString(), q.value(2).toString()}.join('|');
        return result;
    }

    QString buttons()
    {
        return QStringList{win().pbUserAdd->isEnabled() ? "add" : "-",
                           win().pbUserUpdate->isEnabled() ? "update" : "-",
                           win().pbUserDelete->isEnabled() ? "delete" : "-"}.join(' ');
    }

    void type(const QString& text)
    {
        win().leUsername->setFocus();
        QTest::keyClicks(win().leUsername, text);
    }

    void replaceName(const QString& text)
    {
        win().leUsername->selectAll();
        QTest::keyClick(win().leUsername, Qt::Key_Backspace);
        type(text);
    }

    void openUsersPage()
    {
        QVERIFY(w->open());
        w->click(win().pbUsers);
        QCOMPARE(win().stackedWidget->currentIndex(), 2);
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

    void rightsShowAsTrueFalseOrEmpty_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("shown");
        QTest::newRow("1 is true") << "1" << "true";
        QTest::newRow("0 is false") << "0" << "false";
        QTest::newRow("NULL is false") << "NULL" << "false";
        QTest::newRow("2 is empty") << "2" << "";
        QTest::newRow("negative is empty") << "-1" << "";
    }

    void rightsShowAsTrueFalseOrEmpty()
    {
        QFETCH(QString, stored);
        QFETCH(QString, shown);
        w->db.addUser(QStringLiteral("Alice"), 0, 1, 0);
        w->db.addUser(QStringLiteral("Bob"), 0);
        QVERIFY(w->db.exec(QStringLiteral("UPDATE users SET hasControl=%1, hasAdmin=%1 WHERE username='Bob'")
                               .arg(stored)));
        openUsersPage();

        QTreeWidgetItem* alice = AdminWindow::row(win().twUsers, QStringLiteral("Alice"));
        QTreeWidgetItem* bob = AdminWindow::row(win().twUsers, QStringLiteral("Bob"));
        QVERIFY(alice && bob);
        QCOMPARE(alice->text(1), QStringLiteral("true"));
        QCOMPARE(alice->text(2), QStringLiteral("false"));
        QCOMPARE(bob->text(1), shown);
        QCOMPARE(bob->text(2), shown);
    }

    // The whole life of a member, with the buttons' states after each step.
    void buttonsFollowTheEditing()
    {
        w->db.addUser(QStringLiteral("Alice"), 7, 0, 0);
        QVERIFY(w->open());
        QCOMPARE(buttons(), QStringLiteral("add update delete"));

        w->click(win().pbUsers);
        QCOMPARE(buttons(), QStringLiteral("- - -"));

        type(QStringLiteral("Carol"));
        QCOMPARE(buttons(), QStringLiteral("add - -"));

        w->click(win().pbUserAdd);
        QCOMPARE(buttons(), QStringLiteral("- - -"));
        QCOMPARE(win().leUsername->text(), QString());
        QCOMPARE(storedMembers(), (QStringList{"Alice|0|0", "Carol|1|1"}));
        QCOMPARE(w->db.value(QStringLiteral("SELECT score FROM users WHERE username='Carol'")).toInt(), 0);
        QVERIFY(AdminWindow::rows(win().twUsers).contains(QStringLiteral("Carol|true|true")));

        const qint64 aliceId = w->db.value(QStringLiteral("SELECT userID FROM users WHERE username='Alice'")).toLongLong();
        w->doubleClick(win().twUsers, AdminWindow::row(win().twUsers, QStringLiteral("Alice")));
        QCOMPARE(buttons(), QStringLiteral("- update delete"));
        QCOMPARE(win().leUsername->text(), QStringLiteral("Alice"));
        QCOMPARE(win().cbControl->currentText(), QStringLiteral("false"));

        replaceName(QStringLiteral("Alicia"));
        QCOMPARE(buttons(), QStringLiteral("add update delete"));
        win().cbAdmin->setCurrentIndex(win().cbAdmin->findText(QStringLiteral("true")));

        w->click(win().pbUserUpdate);
        QCOMPARE(buttons(), QStringLiteral("- - -"));
        QCOMPARE(win().leUsername->text(), QString());
        QCOMPARE(storedMembers(), (QStringList{"Alicia|0|1", "Carol|1|1"}));
        QCOMPARE(w->db.value(QStringLiteral("SELECT userID FROM users WHERE username='Alicia'")).toLongLong(), aliceId);
        QCOMPARE(w->db.value(QStringLiteral("SELECT score FROM users WHERE username='Alicia'")).toInt(), 7);
        QCOMPARE(AdminWindow::rows(win().twUsers).size(), 2);
        QVERIFY(AdminWindow::rows(win().twUsers).contains(QStringLiteral("Alicia|false|true")));

        w->doubleClick(win().twUsers, AdminWindow::row(win().twUsers, QStringLiteral("Carol")));
        QCOMPARE(buttons(), QStringLiteral("- update delete"));
        w->click(win().pbUserDelete);
        QCOMPARE(buttons(), QStringLiteral("- - -"));
        QCOMPARE(win().leUsername->text(), QString());
        QCOMPARE(storedMembers(), QStringList{"Alicia|0|1"});
        QCOMPARE(AdminWindow::rows(win().twUsers), QStringList{"Alicia|false|true"});
        QVERIFY(MessageBox::takeShown().isEmpty());
    }

    void nextAddTakesTheLastRowsRights()
    {
        w->db.addUser(QStringLiteral("Alice"), 0, 0, 1);
        openUsersPage();
        w->doubleClick(win().twUsers, AdminWindow::row(win().twUsers, QStringLiteral("Alice")));

        replaceName(QStringLiteral("Dave"));
        w->click(win().pbUserAdd);

        QCOMPARE(storedMembers(), (QStringList{"Alice|0|1", "Dave|0|1"}));
        QVERIFY(AdminWindow::rows(win().twUsers).contains(QStringLiteral("Dave|false|true")));
    }

    // A right with no text leaves its box empty: Update reads that as held,
    // Add as not held.
    void unknownRightAfterDoubleClick_data()
    {
        QTest::addColumn<bool>("add");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("Update stores 1") << false << QStringList{"Eve|1|0"};
        QTest::newRow("Add stores 0") << true << QStringList{"Eve|2|0", "Frank|0|0"};
    }

    void unknownRightAfterDoubleClick()
    {
        QFETCH(bool, add);
        QFETCH(QStringList, expected);
        w->db.addUser(QStringLiteral("Eve"), 0, 2, 0);
        openUsersPage();
        QCOMPARE(AdminWindow::rows(win().twUsers), QStringList{"Eve||false"});

        w->doubleClick(win().twUsers, AdminWindow::row(win().twUsers, QStringLiteral("Eve")));
        QCOMPARE(win().cbControl->currentIndex(), -1);
        QCOMPARE(win().cbControl->currentText(), QString());
        QCOMPARE(win().cbAdmin->currentText(), QStringLiteral("false"));

        if (add) {
            replaceName(QStringLiteral("Frank"));
            w->click(win().pbUserAdd);
        } else {
            w->click(win().pbUserUpdate);
        }
        QCOMPARE(storedMembers(), expected);
        QVERIFY(MessageBox::takeShown().isEmpty());
    }

    void emptyNameCanBeAdded()
    {
        openUsersPage();
        type(QStringLiteral("x"));
        QTest::keyClick(win().leUsername, Qt::Key_Backspace);
        QCOMPARE(buttons(), QStringLiteral("add - -"));

        w->click(win().pbUserAdd);

        QCOMPARE(storedMembers(), QStringList{"|1|1"});
        QCOMPARE(AdminWindow::rows(win().twUsers), QStringList{"|true|true"});
    }

    // The typed name is one literal in the delete, whatever quotes it holds.
    void deleteRemovesExactlyTheNamedMember_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("plain name") << "Bob";
        QTest::newRow("quote inside") << "O'Brien";
        QTest::newRow("always-true condition") << "x' OR '1'='1";
        QTest::newRow("two quotes in a row") << "it''s";
        QTest::newRow("ends in a quote") << "trail'";
        QTest::newRow("statement after a quote") << "x'; DELETE FROM users; --";
    }

    void deleteRemovesExactlyTheNamedMember()
    {
        QFETCH(QString, name);
        const QStringList everyone{"Bob", "O'Brien", "OBrien", "x' OR '1'='1", "x", "it''s", "it's", "trail'",
                                   "trail", "x'; DELETE FROM users; --"};
        for (const QString& member : everyone)
            w->db.addUser(member, 0);
        openUsersPage();

        w->doubleClick(win().twUsers, AdminWindow::row(win().twUsers, name));
        QCOMPARE(win().leUsername->text(), name);
        w->click(win().pbUserDelete);

        QVERIFY(MessageBox::takeShown().isEmpty());
        QStringList remaining = everyone;
        remaining.removeOne(name);
        remaining.sort();
        QStringList stored = w->db.column(QStringLiteral("SELECT username FROM users"));
        stored.sort();
        QCOMPARE(stored, remaining);
        QCOMPARE(win().twUsers->topLevelItemCount(), remaining.size());
        QVERIFY(!AdminWindow::row(win().twUsers, name));
    }

    void deleteOfUnknownNameStillDropsTheCurrentRow()
    {
        w->db.addUser(QStringLiteral("Alice"), 0);
        w->db.addUser(QStringLiteral("Bob"), 0);
        openUsersPage();
        w->doubleClick(win().twUsers, AdminWindow::row(win().twUsers, QStringLiteral("Bob")));
        replaceName(QStringLiteral("Nobody"));

        w->click(win().pbUserDelete);

        QVERIFY(MessageBox::takeShown().isEmpty());
        QCOMPARE(storedMembers(), (QStringList{"Alice|0|0", "Bob|0|0"}));
        QCOMPARE(AdminWindow::rows(win().twUsers), QStringList{"Alice|false|false"});
        QCOMPARE(buttons(), QStringLiteral("- - -"));
    }

    // A failed change shows its box and leaves the field, the list and the
    // buttons as they were.
    void failuresAreReported_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("message");
        QTest::newRow("add, name too long") << "add" << "Unable to add user!";
        QTest::newRow("update, name too long") << "update" << "Unable to update user!";
        QTest::newRow("delete, database gone") << "delete" << "Unable to delete user!";
    }

    void failuresAreReported()
    {
        QFETCH(QString, action);
        QFETCH(QString, message);
        w->db.addUser(QStringLiteral("Alice"), 0, 1, 0);
        openUsersPage();
        w->doubleClick(win().twUsers, AdminWindow::row(win().twUsers, QStringLiteral("Alice")));
        const QString longName(300, QLatin1Char('n'));
        replaceName(action == QLatin1String("delete") ? QStringLiteral("Alice") : longName);
        const QString field = win().leUsername->text();
        const QStringList listed = AdminWindow::rows(win().twUsers);
        QCOMPARE(buttons(), QStringLiteral("add update delete"));
        const QStringList before = storedMembers();

        if (action == QLatin1String("add")) {
            w->click(win().pbUserAdd);
        } else if (action == QLatin1String("update")) {
            w->click(win().pbUserUpdate);
        } else {
            w->loseDatabase();
            w->click(win().pbUserDelete);
        }

        const QList<MessageBox::Shown> shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].kind, MessageBox::Information);
        QCOMPARE(shown[0].title, QStringLiteral("Error"));
        QCOMPARE(shown[0].text, message);
        QCOMPARE(win().leUsername->text(), field);
        QCOMPARE(AdminWindow::rows(win().twUsers), listed);
        QCOMPARE(buttons(), QStringLiteral("add update delete"));
        QCOMPARE(storedMembers(), before);
    }

    // Listing and the member lookup of Update fail without a word.
    void silentFailures()
    {
        w->db.addUser(QStringLiteral("Alice"), 0);
        openUsersPage();
        w->doubleClick(win().twUsers, AdminWindow::row(win().twUsers, QStringLiteral("Alice")));
        w->click(win().pbTrivia);
        w->loseDatabase();

        w->click(win().pbUsers);
        QCOMPARE(win().twUsers->topLevelItemCount(), 0);
        QCOMPARE(buttons(), QStringLiteral("- update delete"));

        win().twUsers->addTopLevelItem(new QTreeWidgetItem(QStringList{"Alice", "false", "false"}));
        win().twUsers->setCurrentItem(win().twUsers->topLevelItem(0));
        w->click(win().pbUserUpdate);
        QVERIFY(MessageBox::takeShown().isEmpty());
        QCOMPARE(win().twUsers->topLevelItemCount(), 1);
    }
};

QTEST_MAIN(TestUsersPage)
#include "tst_userspage.moc"
