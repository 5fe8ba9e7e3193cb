// The main window on a real database: opening, pages, closing and shutting down.

#include <QMenu>
#include <QSettings>
#include <QSqlError>
#include <QSystemTrayIcon>
#include <QtTest>

#include "gui/messagebox.h"
#include "gui/systemtray.h"
#include "tests/common/testwindow.h"

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

    // Each button shows the page holding one of its widgets, and its image;
    // a pressed button cannot be unpressed, so each is clicked twice.
    void pagesSwitch()
    {
        QVERIFY(t->open());
        // The connect image's transparent corners are not part of the button.
        QVERIFY(!win().pbConnect->mask().contains(QPoint(0, 0)));
        QVERIFY(win().pbConnect->mask().contains(win().pbConnect->rect().center()));
        QCOMPARE(win().palette().window().texture().size(), QSize(350, 275));
        const QList<std::pair<QPushButton*, QWidget*>> pages = {{win().pbTrivia, win().leAnswer},
            {win().pbScores, win().sbScore}, {win().pbUsers, win().cbAdmin}, {win().pbContent, win().pbQuestions},
            {win().pbSettings, win().sbWaitTime}};
        for (int page : {0, 1, 2, 3, 4, 0}) {
            QTest::mouseClick(pages[page].first, Qt::LeftButton);
            QTest::mouseClick(pages[page].first, Qt::LeftButton);
            QVERIFY(win().stackedWidget->currentWidget()->isAncestorOf(pages[page].second));
            for (const auto& [button, widget] : pages) {
                QCOMPARE(button->isChecked(), button == pages[page].first);
                QCOMPARE(button->icon().actualSize(QSize(100, 100)), QSize(70, 27));
            }
        }
    }

    void lifeToShutdown_data()
    {
        QTest::addColumn<bool>("tray");
        QTest::addColumn<QString>("installDir");
        QTest::newRow("tray: close hides, Exit ends") << true << "test database";
        QTest::newRow("no tray: close ends") << false << "test database";
        QTest::newRow("install dir setting missing") << false << "";
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
        const bool usable = installDir == QLatin1String("test database");
        if (usable)
            installDir = t->db.dir();
        QSettings settings(QStringLiteral("NewtLiberty"), QStringLiteral("QuizNewt"));
        if (!installDir.isEmpty())
            settings.setValue(QStringLiteral("InstallDir"), installDir);
        t->window = std::make_unique<QuizNewt>(new LeaveCheckingRoomLink);
        win().show();
        const QString reason = QSqlDatabase::database(QSqlDatabase::defaultConnection, false).lastError().databaseText();
        QStringList shown;
        for (const MessageBox::Shown& box : MessageBox::takeShown())
            shown << box.title + ": " + box.text;
        QCOMPARE(shown, usable ? QStringList() : QStringList("Info: Unable to open QuizNewt database: " + reason));

        const QList<QAction*> menu = win().findChild<QSystemTrayIcon*>()->contextMenu()->actions();
        for (int round = 0; tray && round < 2; ++round) {
            QVERIFY(!win().close());
            QVERIFY(!win().isVisible());
            QCOMPARE(MessageBox::takeShown().value(0).title, QStringLiteral("Send to Tray"));
            menu.at(0)->trigger();
            QVERIFY(win().isVisible());
        }
        // Exit sends no close event, which would only hide the window again.
        QObject scope;
        QTimer::singleShot(10000, &scope, [] { QCoreApplication::exit(-1); });
        QTimer::singleShot(0, &scope, [&] { tray ? menu.at(2)->trigger() : void(win().close()); });
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
