// The Users page on a real database, through its widgets.

#include "tests/admin/adminwindow.h"

class TestUsersPage : public QObject
{
    Q_OBJECT

    std::unique_ptr<AdminWindow> w;

    QuizNewt& win() { return *w->window; }
    QStringList listed() { return AdminWindow::rows(win().twUsers); }
    QStringList stored()
    {
        return w->db.column("SELECT username || '|' || hasControl || '|' || hasAdmin FROM users ORDER BY 1");
    }

    // Add, Update and Delete as "E" (enabled) or "-".
    QString buttons()
    {
        auto state = [](const QPushButton* b) { return b->isEnabled() ? QLatin1Char('E') : QLatin1Char('-'); };
        return QString(state(win().pbUserAdd)) + state(win().pbUserUpdate) + state(win().pbUserDelete);
    }

    // Types name over whatever the field holds.
    void type(const QString& name)
    {
        win().leUsername->selectAll();
        QTest::keyClicks(win().leUsername, name);
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

    // The whole life of a member, with the buttons after each step. Alice
    // holds a control right of 2, listed with no text: her box stays empty,
    // which Update stores as held and Add as not held.
    void buttonsFollowTheEditing()
    {
        const qint64 alice = w->db.addUser(QStringLiteral("Alice"), 7, 2, 0);
        QVERIFY(w->open());
        win().pbUsers->click();
        QCOMPARE(buttons(), QStringLiteral("---"));
        type(QStringLiteral("Carol"));
        QCOMPARE(buttons(), QStringLiteral("E--"));
        win().pbUserAdd->click();
        QCOMPARE(buttons(), QStringLiteral("---"));
        QCOMPARE(listed(), (QStringList{"Alice||false", "Carol|true|true"}));

        w->doubleClick(win().twUsers, QStringLiteral("Alice"));
        QCOMPARE(buttons(), QStringLiteral("-EE"));
        type(QStringLiteral("Alicia"));
        QCOMPARE(buttons(), QStringLiteral("EEE"));
        win().cbAdmin->setCurrentIndex(win().cbAdmin->findText(QStringLiteral("true")));
        win().pbUserUpdate->click();
        QCOMPARE(buttons(), QStringLiteral("---"));
        QCOMPARE(w->db.value(QStringLiteral("SELECT score FROM users WHERE userID=%1").arg(alice)).toInt(), 7);
        // The boxes keep the last row's rights for the next add.
        type(QStringLiteral("Dave"));
        win().pbUserAdd->click();

        w->doubleClick(win().twUsers, QStringLiteral("Carol"));
        win().pbUserDelete->click();
        QCOMPARE(buttons(), QStringLiteral("---"));
        QCOMPARE(stored(), (QStringList{"Alicia|1|1", "Dave|0|1"}));
        QCOMPARE(listed().size(), 2);
        QCOMPARE(listed().first(), QStringLiteral("Alicia|true|true"));
        QVERIFY(MessageBox::takeShown().isEmpty());
    }

    // The name is one literal in the delete, whatever quotes it holds.
    void deleteRemovesExactlyTheNamedMember_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("quote inside") << "O'Brien";
        QTest::newRow("always-true condition") << "x' OR '1'='1";
        QTest::newRow("two quotes in a row") << "it''s";
        QTest::newRow("ends in a quote") << "trail'";
    }

    void deleteRemovesExactlyTheNamedMember()
    {
        QFETCH(QString, name);
        QStringList everyone{"O'Brien", "OBrien", "it''s", "it's", "trail", "trail'", "x", "x' OR '1'='1"};
        for (const QString& member : everyone)
            w->db.addUser(member, 0);
        QVERIFY(w->open());
        win().pbUsers->click();
        w->doubleClick(win().twUsers, name);
        QCOMPARE(win().leUsername->text(), name);
        win().pbUserDelete->click();

        everyone.removeOne(name);
        QCOMPARE(w->db.column(QStringLiteral("SELECT username FROM users ORDER BY 1")), everyone);
        QCOMPARE(win().twUsers->topLevelItemCount(), everyone.size());
    }
};

QTEST_MAIN(TestUsersPage)
#include "tst_userspage.moc"
