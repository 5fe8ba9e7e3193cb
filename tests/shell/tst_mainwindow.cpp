#include <QAction>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QSettings>
#include <QSqlError>
#include <QSqlQuery>
#include <QSystemTrayIcon>
#include <QtTest>

#include <memory>

#include "app/messagebox.h"
#include "app/quiznewt.h"
#include "app/systemtray.h"
#include "editor/dlgquestioneditor.h"
#include "roomlink/roomlink.h"
#include "tests/common/testdatabase.h"

// What happened to a room link, kept outside it so it outlives the window.
struct LinkLog
{
    int joins = 0;
    int leaves = 0;
    bool databaseOpenAtLeave = false;
    bool destroyed = false;
};

class LoggingRoomLink : public RoomLink
{
public:
    explicit LoggingRoomLink(LinkLog* log) : log(log) {}
    ~LoggingRoomLink() override { log->destroyed = true; }

    void join() override { ++log->joins; }
    bool isJoined() const override { return false; }
    void post(const QString&) override {}
    void leave() override
    {
        ++log->leaves;
        log->databaseOpenAtLeave = QSqlDatabase::database(QSqlDatabase::defaultConnection, false).isOpen();
    }

private:
    LinkLog* log;
};

class QuizNewtTestAccess
{
public:
    explicit QuizNewtTestAccess(QuizNewt* window) : w(window) {}
    QMenu* trayMenu() const { return w->trayMenu; }
    QSystemTrayIcon* trayIcon() const { return w->trayIcon; }
    QSqlQuery* scoresQuery() const { return w->scoresQuery; }
    QSqlQuery* usersQuery() const { return w->usersQuery; }

    QAction* trayAction(const QString& text) const
    {
        for (QAction* action : w->trayMenu->actions()) {
            if (action->text() == text)
                return action;
        }
        return nullptr;
    }

private:
    QuizNewt* w;
};

class TestMainWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void unusableDatabaseGivesOneInfoBox_data();
    void unusableDatabaseGivesOneInfoBox();
    void opensOnTriviaWithOnlyTriviaPressed();
    void trayIconAndMenu();
    void pageButton_data();
    void pageButton();
    void pressingThePressedButtonReloadsNothing();
    void leavingAListPageReleasesItsQuery();
    void connectButtonLook();
    void closeWithTrayHidesEveryTime();
    void closeWithoutTrayEndsTheLoop_data();
    void closeWithoutTrayEndsTheLoop();
    void exitEndsTheLoopAndShutsDown();
    void questionEditorRunsModallyAndIsDeleted();

private:
    std::unique_ptr<TestDatabase> db;
    std::unique_ptr<QuizNewt> window;
    LinkLog log;

    QuizNewt* openWindow();
    int runLoop(const std::function<void()>& inLoop);
    QList<QPushButton*> pageButtons() const
    {
        return {window->pbTrivia, window->pbScores, window->pbUsers, window->pbContent, window->pbSettings};
    }
};

namespace {

const QString infoPrefix = QStringLiteral("Unable to open QuizNewt database: ");
const QString trayText = QStringLiteral("QuizNewt will continue running.  Quit using the context menu in the system tray.");

bool showsImage(const QAbstractButton* button, const QString& path)
{
    const QImage shown = button->icon().pixmap(button->iconSize()).toImage();
    const QImage expected = QIcon(path).pixmap(button->iconSize()).toImage();
    return !expected.isNull() && shown == expected;
}

QString pageImage(const QString& page, bool down)
{
    return QStringLiteral(":/new/prefix1/img/but_%1_%2.png").arg(page, down ? QStringLiteral("down") : QStringLiteral("up"));
}

void sendMouse(QWidget* widget, QEvent::Type type, QPoint pos, Qt::MouseButtons held)
{
    QMouseEvent event(type, pos, widget->mapToGlobal(pos), Qt::LeftButton, held, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

}

void TestMainWindow::initTestCase()
{
    isolateSettings();
    MessageBox::setTestMode(true);
    db = std::make_unique<TestDatabase>();
    QVERIFY2(db->isValid(), qPrintable(db->error()));
    db->addUser(QStringLiteral("Alice"), 3, 1, 1);
    db->addUser(QStringLiteral("Bob"), 7);
}

void TestMainWindow::init()
{
    db->makeInstallDir();
    log = LinkLog();
    MessageBox::takeShown();
}

void TestMainWindow::cleanup()
{
    window.reset();
    SystemTray::clearTestingOverride();
    MessageBox::takeShown();
}

void TestMainWindow::cleanupTestCase()
{
    db.reset();
}

QuizNewt* TestMainWindow::openWindow()
{
    window = std::make_unique<QuizNewt>(new LoggingRoomLink(&log));
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get()))
        return nullptr;
    return window.get();
}

// Runs the application's event loop, calling inLoop from inside it; returns
// the loop's exit code, or -1 when nothing ended it.
int TestMainWindow::runLoop(const std::function<void()>& inLoop)
{
    QTimer guard;
    guard.setSingleShot(true);
    connect(&guard, &QTimer::timeout, qApp, [] { QCoreApplication::exit(-1); });
    guard.start(10000);
    QTimer::singleShot(0, qApp, inLoop);
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
    settings.sync();

    QVERIFY(openWindow());
    const QList<MessageBox::Shown> shown = MessageBox::takeShown();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown.first().kind, MessageBox::Information);
    QCOMPARE(shown.first().title, QStringLiteral("Info"));
    const QSqlError error = QSqlDatabase::database(QSqlDatabase::defaultConnection, false).lastError();
    QVERIFY(!error.databaseText().isEmpty());
    QCOMPARE(shown.first().text, infoPrefix + error.databaseText());
    QVERIFY(window->isVisible());
    QCOMPARE(window->stackedWidget->currentIndex(), 0);
    // The setting is only read.
    QCOMPARE(settings.contains(QStringLiteral("InstallDir")), settingPresent);
}

void TestMainWindow::opensOnTriviaWithOnlyTriviaPressed()
{
    QVERIFY(openWindow());
    QVERIFY(MessageBox::takeShown().isEmpty());
    QVERIFY(QSqlDatabase::database(QSqlDatabase::defaultConnection, false).isOpen());
    QCOMPARE(window->stackedWidget->currentIndex(), 0);
    for (QPushButton* button : pageButtons())
        QCOMPARE(button->isChecked(), button == window->pbTrivia);
    QVERIFY(showsImage(window->pbTrivia, pageImage("trivia", true)));
    QVERIFY(showsImage(window->pbScores, pageImage("scores", false)));
    QCOMPARE(window->windowTitle(), QStringLiteral("QuizNewt"));
    QCOMPARE(window->windowFlags() & Qt::WindowType_Mask, Qt::Window);
    QCOMPARE(window->size(), QSize(350, 275));
    QVERIFY(!window->palette().brush(QPalette::Active, window->backgroundRole()).texture().isNull());
}

void TestMainWindow::trayIconAndMenu()
{
    QVERIFY(openWindow());
    QuizNewtTestAccess access(window.get());
    const QList<QAction*> actions = access.trayMenu()->actions();
    QCOMPARE(actions.size(), 3);
    QCOMPARE(actions.at(0)->text(), QStringLiteral("Restore"));
    QVERIFY(actions.at(1)->isSeparator());
    QCOMPARE(actions.at(2)->text(), QStringLiteral("Exit"));
    for (QAction* action : actions)
        QVERIFY(action->shortcut().isEmpty());
    QCOMPARE(access.trayIcon()->toolTip(), QStringLiteral("QuizNewt 1.0"));
    QCOMPARE(access.trayIcon()->contextMenu(), access.trayMenu());
    QVERIFY(!access.trayIcon()->icon().isNull());
}

void TestMainWindow::pageButton_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<int>("index");

    QTest::newRow("scores") << "scores" << 1;
    QTest::newRow("users") << "users" << 2;
    QTest::newRow("content") << "content" << 3;
    QTest::newRow("settings") << "settings" << 4;
    QTest::newRow("back to trivia") << "trivia" << 0;
}

void TestMainWindow::pageButton()
{
    QFETCH(QString, page);
    QFETCH(int, index);

    QVERIFY(openWindow());
    const QStringList pages = {"trivia", "scores", "users", "content", "settings"};
    // Start from another page so that every button is seen being turned off too.
    QTest::mouseClick(window->pbContent, Qt::LeftButton);
    if (page == QLatin1String("content"))
        QTest::mouseClick(window->pbSettings, Qt::LeftButton);

    QPushButton* button = pageButtons().at(pages.indexOf(page));
    QTest::mouseClick(button, Qt::LeftButton);

    QCOMPARE(window->stackedWidget->currentIndex(), index);
    for (int i = 0; i < pages.size(); ++i) {
        QPushButton* b = pageButtons().at(i);
        const bool on = b == button;
        QCOMPARE(b->isChecked(), on);
        QVERIFY2(showsImage(b, pageImage(pages.at(i), on)), qPrintable(pages.at(i)));
        QCOMPARE(b->iconSize(), QSize(70, 27));
    }
}

void TestMainWindow::pressingThePressedButtonReloadsNothing()
{
    QVERIFY(openWindow());
    QTest::mouseClick(window->pbScores, Qt::LeftButton);
    const int rows = window->twScoreList->topLevelItemCount();
    QCOMPARE(rows, 2);

    const qint64 carol = db->addUser(QStringLiteral("Carol"), 1);
    QTest::mouseClick(window->pbScores, Qt::LeftButton);
    QVERIFY(window->pbScores->isChecked());
    QCOMPARE(window->stackedWidget->currentIndex(), 1);
    QCOMPARE(window->twScoreList->topLevelItemCount(), rows);

    // Shown again after another page, the list is read afresh.
    QTest::mouseClick(window->pbSettings, Qt::LeftButton);
    QTest::mouseClick(window->pbScores, Qt::LeftButton);
    QCOMPARE(window->twScoreList->topLevelItemCount(), rows + 1);
    QVERIFY(db->exec(QStringLiteral("DELETE FROM users WHERE userID=%1").arg(carol)));
}

void TestMainWindow::leavingAListPageReleasesItsQuery()
{
    QVERIFY(openWindow());
    QuizNewtTestAccess access(window.get());

    QTest::mouseClick(window->pbScores, Qt::LeftButton);
    QVERIFY(access.scoresQuery()->isActive());

    QTest::mouseClick(window->pbUsers, Qt::LeftButton);
    QVERIFY(!access.scoresQuery()->isActive());
    QCOMPARE(window->stackedWidget->currentIndex(), 2);
    QCOMPARE(window->twUsers->topLevelItemCount(), 2);
    QVERIFY(access.usersQuery()->isActive());

    QTest::mouseClick(window->pbTrivia, Qt::LeftButton);
    QVERIFY(!access.usersQuery()->isActive());
}

void TestMainWindow::connectButtonLook()
{
    QVERIFY(openWindow());
    QPushButton* button = window->pbConnect;
    const QString active = QStringLiteral(":/new/prefix1/img/connect_active.png");
    const QString pressed = QStringLiteral(":/new/prefix1/img/connect_pressed.png");
    const QPoint inside = button->rect().center();
    QVERIFY(showsImage(button, active));

    sendMouse(button, QEvent::MouseButtonPress, inside, Qt::LeftButton);
    QVERIFY(showsImage(button, pressed));
    QCOMPARE(button->iconSize(), QSize(162, 33));
    sendMouse(button, QEvent::MouseButtonRelease, inside, Qt::NoButton);
    QVERIFY(showsImage(button, active));
    QCOMPARE(button->iconSize(), QSize(162, 33));
    QCOMPARE(log.joins, 1);

    // Held, then dragged off: the pressed look goes, and there is no click.
    sendMouse(button, QEvent::MouseButtonPress, inside, Qt::LeftButton);
    QVERIFY(showsImage(button, pressed));
    sendMouse(button, QEvent::MouseMove, QPoint(-20, -20), Qt::LeftButton);
    QVERIFY(showsImage(button, active));
    sendMouse(button, QEvent::MouseButtonRelease, QPoint(-20, -20), Qt::NoButton);
    QVERIFY(showsImage(button, active));
    QCOMPARE(log.joins, 1);
}

void TestMainWindow::closeWithTrayHidesEveryTime()
{
    SystemTray::setAvailableForTesting(true);
    QVERIFY(openWindow());
    QuizNewtTestAccess access(window.get());
    QTest::mouseClick(window->pbSettings, Qt::LeftButton);

    for (int round = 0; round < 2; ++round) {
        QVERIFY(!window->close());
        QVERIFY(!window->isVisible());
        const QList<MessageBox::Shown> shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.first().kind, MessageBox::Information);
        QCOMPARE(shown.first().title, QStringLiteral("Send to Tray"));
        QCOMPARE(shown.first().text, trayText);

        access.trayAction(QStringLiteral("Restore"))->trigger();
        QVERIFY(window->isVisible());
        QVERIFY(!window->isMinimized());
        QCOMPARE(window->stackedWidget->currentIndex(), 4);
    }
    QCOMPARE(log.leaves, 0);
}

void TestMainWindow::closeWithoutTrayEndsTheLoop_data()
{
    QTest::addColumn<bool>("askPlatform");
    // Qt calls a tray icon visible even where no tray exists.
    QTest::newRow("platform has no tray") << true;
    QTest::newRow("tray said to be missing") << false;
}

void TestMainWindow::closeWithoutTrayEndsTheLoop()
{
    QFETCH(bool, askPlatform);
    if (askPlatform && QSystemTrayIcon::isSystemTrayAvailable())
        QSKIP("this platform has a system tray");
    if (!askPlatform)
        SystemTray::setAvailableForTesting(false);

    QVERIFY(openWindow());
    bool closed = false;
    const int exitCode = runLoop([&] { closed = window->close(); });
    QCOMPARE(exitCode, 0);
    QVERIFY(closed);
    QVERIFY(!window->isVisible());
    QVERIFY(MessageBox::takeShown().isEmpty());
}

void TestMainWindow::exitEndsTheLoopAndShutsDown()
{
    // With a tray, closing only hides; Exit must still end the program.
    SystemTray::setAvailableForTesting(true);
    QVERIFY(openWindow());
    QuizNewtTestAccess access(window.get());
    QAction* exitAction = access.trayAction(QStringLiteral("Exit"));
    QVERIFY(exitAction);

    const int exitCode = runLoop([&] { exitAction->trigger(); });
    QCOMPARE(exitCode, 0);
    QVERIFY(MessageBox::takeShown().isEmpty());
    QCOMPARE(log.leaves, 0);

    window.reset();
    QCOMPARE(log.joins, 0);
    QCOMPARE(log.leaves, 1);
    QVERIFY(log.databaseOpenAtLeave);
    QVERIFY(log.destroyed);
    QVERIFY(!QSqlDatabase::contains(QSqlDatabase::defaultConnection));
}

void TestMainWindow::questionEditorRunsModallyAndIsDeleted()
{
    QVERIFY(openWindow());
    QTest::mouseClick(window->pbContent, Qt::LeftButton);

    QPointer<QWidget> editor;
    QWidget* editorParent = nullptr;
    bool wasModal = false;
    bool isEditor = false;
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        poll.stop();
        editor = modal;
        editorParent = modal->parentWidget();
        wasModal = modal->isModal();
        isEditor = qobject_cast<dlgQuestionEditor*>(modal) != nullptr;
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
        else
            modal->close();
    });
    poll.start(20);
    QTest::mouseClick(window->pbQuestions, Qt::LeftButton);
    poll.stop();

    QVERIFY(isEditor);
    QCOMPARE(editorParent, window.get());
    QVERIFY(wasModal);
    QVERIFY2(editor.isNull(), "the editor outlived its run");
    QVERIFY(window->isVisible());
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
