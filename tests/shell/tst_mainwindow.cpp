// The main window on a real database: opening, pages, closing and shutting down.

#include <QDialogButtonBox>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QSettings>
#include <QSqlError>
#include <QSqlQuery>
#include <QSystemTrayIcon>
#include <QtTest>

#include "app/roomdialog.h"
#include "db/database.h"
#include "gui/messagebox.h"
#include "gui/systemtray.h"
#include "roomlink/roomlink.h"
#include "settings/settings.h"
#include "tests/common/ircclient.h"
#include "tests/common/ngircdserver.h"
#include "tests/common/testwindow.h"

// Dark pixels in a column band of a widget's picture: where arrows are drawn.
static int darkPixels(QWidget* widget, int fromRight)
{
    const QImage image = widget->grab().toImage();
    int dark = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = image.width() - fromRight; x < image.width(); ++x)
            dark += qGray(image.pixel(x, y)) < 128;
    }
    return dark;
}

// Runs fill on the Room dialog that opens next, then presses its OK.
static void whenOpen(std::function<void(QDialog*)> fill)
{
    QTimer::singleShot(0, [fill] {
        auto* dialog = qobject_cast<RoomDialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        fill(dialog);
        dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        // Refused input keeps the dialog open; it is left by Cancel then.
        if (dialog->isVisible())
            dialog->reject();
    });
}

// Notes whether the database was still open when the window left the room.
struct LeaveCheckingRoomLink : RecordingRoomLink
{
    static inline bool databaseOpenAtLeave = false;
    void leave() override { databaseOpenAtLeave = QSqlDatabase::database(QSqlDatabase::defaultConnection, false).isOpen(); }
};

class TestMainWindow : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestWindow> t;
    QuizNewt& win() { return *t->window; }

private Q_SLOTS:
    void initTestCase()
    {
        // The first run puts its database here, never in the real home.
        static QTemporaryDir data;
        qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));
    }
    void init()
    {
        isolateSettings();
        MessageBox::setTestMode(true);
        t = std::make_unique<TestWindow>();
        QVERIFY2(t->db.isValid(), qPrintable(t->db.error()));
    }
    void cleanup()
    {
        t.reset();
        SystemTray::setTestMode(false);
        MessageBox::takeShown();
    }

    // Each button shows the page holding one of its widgets (Trivia after
    // another). Arrows drawn in the pages' white text colour would vanish on
    // the light buttons.
    void pagesAndControls()
    {
        QVERIFY(t->open());
        const QList<std::pair<QPushButton*, QWidget*>> pages = {{win().pbScores, win().sbScore},
            {win().pbUsers, win().cbAdmin}, {win().pbContent, win().pbQuestions}, {win().pbTrivia, win().leAnswer},
            {win().pbSettings, win().sbWaitTime}};
        for (const auto& [button, widget] : pages) {
            QTest::mouseClick(button, Qt::LeftButton);
            QVERIFY(win().stackedWidget->currentWidget()->isAncestorOf(widget));
        }
        QVERIFY2(darkPixels(win().sbAnswer, 14) > 10, "spin box arrows are drawn dark");
        win().pbTrivia->click();
        win().teQuestion->setPlainText(QStringLiteral("line\n").repeated(20));
        QScrollBar* bar = win().teQuestion->verticalScrollBar();
        QVERIFY2(bar->isVisible() && darkPixels(bar, bar->width()) > 10, "scroll bar arrows are drawn dark");
    }

    void keysInFields_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("pick");   // the list row double-clicked first
        QTest::addColumn<QString>("typed");  // into the field before the key
        QTest::addColumn<int>("key");
        QTest::addColumn<QStringList>("members");  // name|score afterwards
        const auto row = [](const char* name, const char* page, const char* field, const char* pick,
                            const char* typed, Qt::Key key, const QStringList& members) {
            QTest::newRow(name) << page << field << pick << typed << int(key) << members;
        };
        const QStringList unchanged{"Al|5"};
        row("Trivia: give-answer box", "pbTrivia", "chkGiveAnswer", "", "", Qt::Key_Return, unchanged);
        row("Scores: score box updates", "pbScores", "sbScore", "Al", "77", Qt::Key_Return, {"Al|77"});
        row("Scores: Reset All focused", "pbScores", "pbReset", "", "", Qt::Key_Return, unchanged);
        row("Users: name box adds", "pbUsers", "leUsername", "", "Bea", Qt::Key_Return, {"Al|5", "Bea|0"});
        row("Users: name box updates the picked member", "pbUsers", "leUsername", "Al", "Alan", Qt::Key_Return,
            {"Alan|5"});
        row("Users: filter", "pbUsers", "leUserFilter", "", "A", Qt::Key_Enter, unchanged);
        row("Settings: wait time", "pbSettings", "sbWaitTime", "", "5", Qt::Key_Enter, unchanged);
        row("Connect focused", "pbTrivia", "pbConnect", "", "", Qt::Key_Return, unchanged);
        row("Escape in the name box", "pbUsers", "leUsername", "", "Bea", Qt::Key_Escape, unchanged);
    }
    // Return does the field's own action or nothing, never Connect; Escape
    // leaves the window open.
    void keysInFields()
    {
        QFETCH(QString, page);
        QFETCH(QString, field);
        QFETCH(QString, pick);
        QFETCH(QString, typed);
        QFETCH(int, key);
        QFETCH(QStringList, members);
        t->db.addUser(QStringLiteral("Al"), 5);
        QVERIFY(t->open());
        win().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&win()));
        win().findChild<QPushButton*>(page)->click();
        if (!pick.isEmpty())
            QVERIFY(doubleClickRow(page == QLatin1String("pbScores") ? win().twScoreList : win().twUsers, pick));
        auto* widget = win().findChild<QWidget*>(field);
        widget->setFocus();
        if (!typed.isEmpty()) {
            QTest::keyClick(widget, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClicks(widget, typed);
        }
        QTest::keyClick(widget, Qt::Key(key));
        QCoreApplication::processEvents();
        QCOMPARE(t->link->takePosts(), QStringList());
        QVERIFY(win().isVisible());
        QCOMPARE(t->db.column("SELECT username || '|' || score FROM users ORDER BY 1"), members);
        QCOMPARE(MessageBox::takeShown().size(), 0);
    }

    // With no database set up, the first start offers one with the starter
    // questions in the default place and opens it.
    void firstRunCreatesTheDatabase()
    {
        const QDir data(qEnvironmentVariable("XDG_DATA_HOME"));
        MessageBox::setNextAnswer(QMessageBox::Yes);
        t->window = std::make_unique<QuizNewt>(new RecordingRoomLink);
        // The offer alone: no word about a file nobody chose.
        const QList<MessageBox::Shown> shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.at(0).title, QStringLiteral("First Run"));
        QVERIFY2(shown.at(0).text.contains(data.filePath("QuizNewt")), qPrintable(shown.at(0).text));
        QCOMPARE(Settings::File().value(QStringLiteral("InstallDir")).toString(), data.filePath("QuizNewt"));
        QSqlQuery count(QStringLiteral("SELECT COUNT(*) FROM content"));
        QVERIFY2(count.next() && count.value(0).toInt() > 0, "the starter questions are there");
    }

    // The Room dialog writes the settings; the next Connect goes there.
    void roomDialogTakesEffectAtConnect()
    {
        NgircdServer server;
        QVERIFY2(server.isRunning(), qPrintable(server.error()));
        IrcClient alice;
        QVERIFY(alice.connectAndJoin(server.port(), "Alice", "#quiz"));
        t->db.makeInstallDir();
        t->window = std::make_unique<QuizNewt>();
        win().show();
        whenOpen([](QDialog* dialog) {
            dialog->findChild<QLineEdit*>(QStringLiteral("leNick"))->setText(QStringLiteral("Quiz Master"));
        });
        win().pbRoom->click();
        QCOMPARE(MessageBox::takeShown().size(), 1);
        QVERIFY(!Settings::File().contains(QStringLiteral("Room/Nick")));

        const quint16 port = server.port();
        whenOpen([port](QDialog* dialog) {
            dialog->findChild<QSpinBox*>(QStringLiteral("sbPort"))->setValue(port);
            dialog->findChild<QLineEdit*>(QStringLiteral("leNick"))->setText(QStringLiteral("Master"));
            dialog->findChild<QLineEdit*>(QStringLiteral("leChannel"))->setText(QStringLiteral("quiz"));
        });
        for (QAction* action : win().findChild<QSystemTrayIcon*>()->contextMenu()->actions()) {
            if (action->text() == QLatin1String("Room..."))
                action->trigger();
        }

        QCOMPARE(win().lblRoomState->text(), QStringLiteral("Offline"));
        win().pbConnect->click();
        QVERIFY2(alice.waitForChannelLines(1, 15000), qPrintable(win().room()->stateText()));
        QCOMPARE(alice.channelLines().value(0), QStringLiteral("Master: (O) QuizNewt Connected (O)"));
        QCOMPARE(win().lblRoomState->text(), QStringLiteral("Online"));
        QCOMPARE(win().lblRoomState->toolTip(), win().room()->stateText());
    }

    void lifeToShutdown_data()
    {
        QTest::addColumn<bool>("tray");
        QTest::addColumn<QString>("installDir");
        QTest::newRow("tray: close hides, Exit ends") << true << "test database";
        QTest::newRow("no tray: close ends") << false << "test database";
        QTest::newRow("install dir setting missing, first run refused") << false << "";
        QTest::newRow("database file missing") << false << "/nonexistent";
    }
    // From opening to what main() does after the loop: the window, deleted,
    // leaves the room while its database, if it opened, is still open.
    void lifeToShutdown()
    {
        QFETCH(bool, tray);
        QFETCH(QString, installDir);
        // Qt calls a tray icon visible even where there is no tray to show it.
        if (!tray && QSystemTrayIcon::isSystemTrayAvailable())
            QSKIP("this platform has a system tray");
        SystemTray::setTestMode(tray, true);
        MessageBox::setNextAnswer(QMessageBox::Ok);
        MessageBox::setNextAnswer(QMessageBox::No);
        const bool usable = installDir == QLatin1String("test database");
        if (usable)
            installDir = t->db.dir();
        QSettings settings(QStringLiteral("NewtLiberty"), QStringLiteral("QuizNewt"));
        if (!installDir.isEmpty())
            settings.setValue(QStringLiteral("InstallDir"), installDir);
        t->window = std::make_unique<QuizNewt>(new LeaveCheckingRoomLink);
        win().show();
        // Why: what the settings lack, or the driver's words.
        const QString reason = Database::locationFromSettings(settings).problem
                               + QSqlDatabase::database(QSqlDatabase::defaultConnection, false).lastError().databaseText();
        QStringList shown;
        for (const MessageBox::Shown& box : MessageBox::takeShown())
            shown << box.title + ": " + box.text.section(QLatin1Char('\n'), 0, 0);
        QStringList expected;
        if (!usable && !installDir.isEmpty())
            expected << "Info: Unable to open QuizNewt database: " + reason;
        if (installDir.isEmpty())
            expected << QStringLiteral("First Run: No QuizNewt database is set up yet.");
        QCOMPARE(shown, expected);

        QMap<QString, QAction*> menu;
        for (QAction* action : win().findChild<QSystemTrayIcon*>()->contextMenu()->actions())
            menu[action->text()] = action;
        for (int round = 0; tray && round < 2; ++round) {
            QVERIFY(!win().close());
            QVERIFY(!win().isVisible());
            QCOMPARE(MessageBox::takeShown().value(0).title, QStringLiteral("Send to Tray"));
            menu[QStringLiteral("Restore")]->trigger();
            QVERIFY(win().isVisible());
        }
        // Exit sends no close event, which would only hide the window again.
        QObject scope;
        QTimer::singleShot(10000, &scope, [] { QCoreApplication::exit(-1); });
        QTimer::singleShot(0, &scope, [&] { tray ? menu[QStringLiteral("Exit")]->trigger() : void(win().close()); });
        QCOMPARE(QCoreApplication::exec(), 0);
        QVERIFY(MessageBox::takeShown().isEmpty());

        LeaveCheckingRoomLink::databaseOpenAtLeave = false;
        t->window.reset();
        QCOMPARE(LeaveCheckingRoomLink::databaseOpenAtLeave, usable);
        QVERIFY(!QSqlDatabase::contains(QSqlDatabase::defaultConnection));
        // The setting is only read.
        QCOMPARE(settings.value(QStringLiteral("InstallDir")).toString(), installDir);
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
