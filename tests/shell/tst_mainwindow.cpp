#include <QAction>
#include <QMenu>
#include <QSettings>
#include <QSqlError>
#include <QSqlQuery>
#include <QSystemTrayIcon>
#include <QtTest>

#include <memory>

#include "app/messagebox.h"
#include "app/quiznewt.h"
#include "app/systemtray.h"
#include "tests/common/recordingroomlink.h"
#include "tests/common/testdatabase.h"

// Notes whether the database was still open when the window left the room.
struct LeaveCheckingRoomLink : RecordingRoomLink
{
    static inline bool databaseOpenAtLeave = false;
    void leave() override { databaseOpenAtLeave = QSqlDatabase::database(QSqlDatabase::defaultConnection, false).isOpen(); }
};

class QuizNewtTestAccess
{
public:
    static QSqlQuery* scoresQuery(const QuizNewt& window) { return window.scoresQuery; }
};

class TestMainWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();
    void unusableDatabaseGivesOneInfoBox_data();
    void unusableDatabaseGivesOneInfoBox();
    void opensOnTriviaAndSwitchesPages();
    void leavingScoresReleasesItsQuery();
    void closeWithTrayHidesAndExitShutsDown();
    void closeWithoutTrayEndsTheProgram();

private:
    TestDatabase db;
    std::unique_ptr<QuizNewt> window;

    void openWindow();
    int runLoop(const std::function<void()>& inLoop);
};

void TestMainWindow::initTestCase()
{
    isolateSettings();
    MessageBox::setTestMode(true);
    QVERIFY2(db.isValid(), qPrintable(db.error()));
}

void TestMainWindow::cleanup()
{
    window.reset();
    SystemTray::clearTestingOverride();
    MessageBox::takeShown();
    db.makeInstallDir();
}

void TestMainWindow::openWindow()
{
    window = std::make_unique<QuizNewt>(new LeaveCheckingRoomLink);
    window->show();
}

// Runs the application's event loop, calling inLoop from inside it; returns
// the loop's exit code, or -1 when nothing ended it.
int TestMainWindow::runLoop(const std::function<void()>& inLoop)
{
    QObject scope;
    QTimer::singleShot(10000, &scope, [] { QCoreApplication::exit(-1); });
    QTimer::singleShot(0, &scope, inLoop);
    return QCoreApplication::exec();
}

void TestMainWindow::unusableDatabaseGivesOneInfoBox_data()
{
    QTest::addColumn<bool>("settingPresent");
    QTest::newRow("install dir setting missing") << false;
    QTest::newRow("database file missing") << true;
}

void TestMainWindow::unusableDatabaseGivesOneInfoBox()
{
    QFETCH(bool, settingPresent);
    QTemporaryDir emptyDir;
    QSettings settings(QStringLiteral("NewtLiberty"), QStringLiteral("QuizNewt"));
    if (settingPresent)
        settings.setValue(QStringLiteral("InstallDir"), emptyDir.path());
    else
        settings.remove(QStringLiteral("InstallDir"));

    openWindow();
    const QList<MessageBox::Shown> shown = MessageBox::takeShown();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown.first().title, QStringLiteral("Info"));
    const QString reason = QSqlDatabase::database(QSqlDatabase::defaultConnection, false).lastError().databaseText();
    QCOMPARE(shown.first().text, QStringLiteral("Unable to open QuizNewt database: ") + reason);
    // The window is made to the end all the same; the setting is only read.
    QCOMPARE(window->stackedWidget->currentIndex(), 0);
    QCOMPARE(settings.contains(QStringLiteral("InstallDir")), settingPresent);
}

void TestMainWindow::opensOnTriviaAndSwitchesPages()
{
    openWindow();
    // The connect image's transparent corners are not part of the button.
    QVERIFY(!window->pbConnect->mask().contains(QPoint(0, 0)));
    QVERIFY(window->pbConnect->mask().contains(window->pbConnect->rect().center()));

    // Each page button is clicked twice: a pressed one cannot be unpressed.
    const QList<QPushButton*> buttons = {window->pbTrivia, window->pbScores, window->pbUsers, window->pbContent,
                                         window->pbSettings};
    int current = 0;
    for (int next : {1, 2, 3, 4, 0}) {
        QCOMPARE(window->stackedWidget->currentIndex(), current);
        for (QPushButton* button : buttons)
            QCOMPARE(button->isChecked(), button == buttons.at(current));
        QTest::mouseClick(buttons.at(next), Qt::LeftButton);
        QTest::mouseClick(buttons.at(next), Qt::LeftButton);
        current = next;
    }
}

void TestMainWindow::leavingScoresReleasesItsQuery()
{
    openWindow();
    QTest::mouseClick(window->pbScores, Qt::LeftButton);
    QVERIFY(QuizNewtTestAccess::scoresQuery(*window)->isActive());
    db.addUser(QStringLiteral("Carol"), 1);
    QTest::mouseClick(window->pbUsers, Qt::LeftButton);
    QVERIFY(!QuizNewtTestAccess::scoresQuery(*window)->isActive());
    // Shown again, the list is read afresh.
    QTest::mouseClick(window->pbScores, Qt::LeftButton);
    QCOMPARE(window->twScoreList->topLevelItemCount(), 1);
}

void TestMainWindow::closeWithTrayHidesAndExitShutsDown()
{
    SystemTray::setAvailableForTesting(true);
    openWindow();
    const QList<QAction*> tray = window->findChild<QSystemTrayIcon*>()->contextMenu()->actions();
    QCOMPARE(tray.at(0)->text(), QStringLiteral("Restore"));
    QCOMPARE(tray.at(2)->text(), QStringLiteral("Exit"));
    for (int round = 0; round < 2; ++round) {
        QVERIFY(!window->close());
        QVERIFY(!window->isVisible());
        const QList<MessageBox::Shown> shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.first().title, QStringLiteral("Send to Tray"));
        tray.at(0)->trigger();
        QVERIFY(window->isVisible());
    }

    // Exit ends the program without asking the window to close.
    QCOMPARE(runLoop([&] { tray.at(2)->trigger(); }), 0);
    QVERIFY(MessageBox::takeShown().isEmpty());
    // What main() does next: the window leaves the room while its database is open.
    LeaveCheckingRoomLink::databaseOpenAtLeave = false;
    window.reset();
    QVERIFY(LeaveCheckingRoomLink::databaseOpenAtLeave);
    QVERIFY(!QSqlDatabase::contains(QSqlDatabase::defaultConnection));
}

void TestMainWindow::closeWithoutTrayEndsTheProgram()
{
    // Qt calls a tray icon visible even where there is no tray to show it.
    if (QSystemTrayIcon::isSystemTrayAvailable())
        QSKIP("this platform has a system tray");
    openWindow();
    bool closed = false;
    QCOMPARE(runLoop([&] { closed = window->close(); }), 0);
    QVERIFY(closed);
    QVERIFY(MessageBox::takeShown().isEmpty());
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
