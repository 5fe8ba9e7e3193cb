#include "quiznewt.h"

#include "gui/controlcolours.h"
#include "gui/log.h"
#include "gui/messagebox.h"
#include "gui/systemtray.h"
#include "db/database.h"
#include "editor/dlgquestioneditor.h"
#include "game/clock.h"
#include "game/game.h"
#include "game/sqlgamestore.h"
#include "quiz/rules.h"
#include "roomlink/roomlink.h"
#include "settings/settings.h"

#include <QApplication>
#include <QBitmap>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QSqlError>
#include <QSqlQuery>
#include <QSystemTrayIcon>
#include <QSignalBlocker>
#include <QTimer>

#include <cstdlib>
#include <ctime>

namespace {

const QSize pageIconSize(70, 27);
const QSize connectIconSize(162, 33);

const QString openFailedText = QStringLiteral("Unable to open QuizNewt database: ");

void setButtonIcon(QPushButton* button, const QString& path, const QSize& size)
{
    button->setIcon(QIcon(path));
    button->setIconSize(size);
}

// A filled circle of the label's size.
QPixmap roundMark(const QSize& size, const QColor& colour)
{
    QPixmap mark(size);
    mark.fill(Qt::transparent);
    QPainter painter(&mark);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(colour.darker(140));
    painter.setBrush(colour);
    painter.drawEllipse(QRectF(0.5, 0.5, size.width() - 1, size.height() - 1));
    return mark;
}

}

QuizNewt::QuizNewt(QWidget* parent)
    : QDialog(parent)
{
    construct(nullptr, nullptr);
}

QuizNewt::QuizNewt(RoomLink* link, Clock* clock, QWidget* parent)
    : QDialog(parent)
{
    construct(link, clock);
}

void QuizNewt::construct(RoomLink* link, Clock* clock)
{
    setupUi(this);
    keepArrowsVisible(this);
    // A header starts its sort indicator descending; the users are listed A to Z.
    twUsers->sortByColumn(0, Qt::AscendingOrder);
    setUpMemberLists();

    trayMenu = new QMenu(this);
    QAction* restoreAction = trayMenu->addAction(QStringLiteral("Restore"));
    connect(restoreAction, &QAction::triggered, this, &QWidget::showNormal);
    connect(trayMenu->addAction(QStringLiteral("Room...")), &QAction::triggered, this, &QuizNewt::editRoom);
    trayMenu->addSeparator();
    QAction* exitAction = trayMenu->addAction(QStringLiteral("Exit"));
    // Not quit(): that first sends every window a close event, and this one
    // answers a close with the "Send to Tray" box.
    connect(exitAction, &QAction::triggered, qApp, [] { QCoreApplication::exit(0); });

    trayIcon = new QSystemTrayIcon(this);
    trayIcon->setIcon(QIcon(QStringLiteral(":/new/prefix1/newt.png")));
    trayIcon->setToolTip(QStringLiteral("QuizNewt 1.0"));
    trayIcon->setContextMenu(trayMenu);
    if (!Log::noWindow())
        trayIcon->show();

    // A plain top-level window, not a dialog.
    setWindowFlags(Qt::Window);

    QPalette background;
    background.setBrush(QPalette::All, backgroundRole(),
                        QBrush(QPixmap(QStringLiteral(":/new/prefix1/img/background.png"))));
    setPalette(background);

    // main() named the application and chose the settings file.
    if (!link) {
        Settings::File settings;
        link = createIrcRoomLink(settings, this);
    }
    roomLink = link;
    roomLink->setParent(this);
    // The mark beside Connect says whether QuizNewt is in the room; the tool
    // tips tell where it is, or why not.
    connect(roomLink, &RoomLink::stateChanged, this, &QuizNewt::showRoomState);
    connect(roomLink, &RoomLink::joined, this, &QuizNewt::showRoomState);
    connect(roomLink, &RoomLink::lost, this, &QuizNewt::showRoomState);
    connect(roomLink, &RoomLink::stateChanged, this, [](const QString& text) { qInfo().noquote() << "Room:" << text; });
    showRoomState();
    // Unattended: into the room as soon as the event loop runs.
    if (Settings::load<Settings::Room>().autoConnect)
        QTimer::singleShot(0, this, &QuizNewt::connectToRoom);

    connect(pbQuestions, &QPushButton::clicked, this, &QuizNewt::showQuestionEditor);
    connect(pbRoom, &QPushButton::clicked, this, &QuizNewt::editRoom);
    connect(pbConnect, &QPushButton::clicked, this, &QuizNewt::connectToRoom);
    connect(pbConnect, &QPushButton::pressed, this, &QuizNewt::connectPressed);
    connect(pbConnect, &QPushButton::released, this, &QuizNewt::connectReleased);

    // The transparent pixels of the image are not part of the button.
    pbConnect->setMask(QPixmap(QStringLiteral(":/new/prefix1/img/connect_active.png")).mask());

    connect(pbTrivia, &QPushButton::toggled, this, &QuizNewt::butTriviaToggled);
    connect(pbScores, &QPushButton::toggled, this, &QuizNewt::butScoresToggled);
    connect(pbUsers, &QPushButton::toggled, this, &QuizNewt::butUsersToggled);
    connect(pbContent, &QPushButton::toggled, this, &QuizNewt::butContentToggled);
    connect(pbSettings, &QPushButton::toggled, this, &QuizNewt::butSettingsToggled);
    connect(pbReset, &QPushButton::clicked, this, &QuizNewt::resetScores);
    connect(pbScoreUpdate, &QPushButton::clicked, this, &QuizNewt::updateScore);
    connect(twScoreList, &QTreeWidget::itemDoubleClicked, this, &QuizNewt::scoreItemDoubleClicked);
    connect(pbUserAdd, &QPushButton::clicked, this, &QuizNewt::addUser);
    connect(pbUserDelete, &QPushButton::clicked, this, &QuizNewt::deleteUser);
    connect(pbUserUpdate, &QPushButton::clicked, this, &QuizNewt::updateUser);
    connect(twUsers, &QTreeWidget::itemDoubleClicked, this, &QuizNewt::userItemDoubleClicked);
    connect(leUsername, &QLineEdit::textEdited, this, &QuizNewt::userTextEdited);

    const Database::Location location = Database::locationFromSettings();
    QString openError;
    QSqlDatabase db = Database::open(location, QLatin1String(QSqlDatabase::defaultConnection), &openError);
    // No database chosen yet: the first-run offer is all the operator needs
    // to see, not why a file nobody chose cannot be opened.
    const bool firstRun = !db.isOpen() && db.isValid() && !location.isServer()
                          && !Settings::load<Settings::Install>().isSet() && !Log::noWindow();
    // A server's reason is long (host, port, the network's words): under Details.
    if (firstRun)
        offerDatabase(db);
    else if (!db.isOpen() && location.isServer() && location.problem.isEmpty())
        MessageBox::report(this, QStringLiteral("Info"), openFailedText + location.connectString(), openError);
    else if (!db.isOpen())
        MessageBox::information(this, QStringLiteral("Info"), openFailedText + openError);
    if (db.isOpen())
        Database::upgrade(db);

    scoresQuery = new QSqlQuery(db);
    usersQuery = new QSqlQuery(db);

    srand(static_cast<unsigned>(time(nullptr)));
    gameEngine = new Game(roomLink, std::make_unique<SqlGameStore>(db), clock ? clock : Clock::system(),
                          Quiz::standardRandom(), this);
    bindGame();

    // The form leaves the Scores page current; this turns the Trivia page on.
    pbTrivia->setChecked(true);
}

bool QuizNewt::hasDatabase() const
{
    return QSqlDatabase::database(QSqlDatabase::defaultConnection, false).isOpen();
}

void QuizNewt::offerDatabase(QSqlDatabase& db)
{
    const QString dir = Database::defaultInstallDir();
    const QString question = QStringLiteral("No QuizNewt database is set up yet.\n"
                                            "Create one with the starter questions in %1?")
                                 .arg(QDir::toNativeSeparators(dir));
    if (MessageBox::question(this, QStringLiteral("First Run"), question) != QMessageBox::Yes)
        return;

    Database::Location location;
    location.path = dir + QLatin1Char('/') + Database::fileName;
    QString error;
    // One left from an earlier run is used as it is.
    if (!QFileInfo::exists(location.path)
        && (!QDir().mkpath(dir) || Database::createWithStarterQuestions(location, &error) < 0)) {
        if (error.isEmpty())
            error = QStringLiteral("cannot create the directory %1").arg(dir);
        MessageBox::information(this, QStringLiteral("Info"), QStringLiteral("Unable to create QuizNewt database: ") + error);
        return;
    }
    db.setDatabaseName(location.path);
    if (!db.open()) {
        MessageBox::information(this, QStringLiteral("Info"), openFailedText + db.lastError().databaseText());
        return;
    }
    if (!Settings::save(Settings::Install{dir}, &error))
        MessageBox::information(this, QStringLiteral("Info"), QStringLiteral("Unable to save the settings: ") + error);
}

QuizNewt::~QuizNewt()
{
    // The room goes first, whether or not it was ever joined; deleting the
    // link now also keeps its last signals away from a half-destroyed window.
    if (roomLink) {
        roomLink->leave();
        delete roomLink;
        roomLink = nullptr;
    }

    // Queries hold the connection; they must be gone before it is removed.
    delete gameEngine;
    gameEngine = nullptr;
    for (QSqlQuery** query : {&usersQuery, &scoresQuery}) {
        if (*query)
            (*query)->clear();
    }
    for (QSqlQuery** query : {&usersQuery, &scoresQuery}) {
        delete *query;
        *query = nullptr;
    }

    {
        QSqlDatabase db = QSqlDatabase::database(QSqlDatabase::defaultConnection, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(QSqlDatabase::defaultConnection);
}

void QuizNewt::closeEvent(QCloseEvent* event)
{
    if (trayIcon && trayIcon->isVisible() && SystemTray::isAvailable()) {
        MessageBox::information(this, QStringLiteral("Send to Tray"),
                                QStringLiteral("QuizNewt will continue running.  "
                                               "Quit using the context menu in the system tray."));
        hide();
        event->ignore();
        return;
    }
    // Without a tray the window would be lost for good: close it, and as the
    // last window it ends the program.
    event->accept();
}

void QuizNewt::keyPressEvent(QKeyEvent* event)
{
    // A dialog would click its default button on Return and close on
    // Escape; this window has no default button and stays open. Return
    // does what the field it was typed in offers, and nothing elsewhere.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        QWidget* field = focusWidget();
        QPushButton* action = nullptr;
        if (field && (field == sbScore || sbScore->isAncestorOf(field)))
            action = pbScoreUpdate;
        else if (field == leUsername)
            action = pbUserUpdate->isEnabled() ? pbUserUpdate : pbUserAdd;
        if (action && action->isEnabled())
            action->click();
        event->accept();
        return;
    }
    if (event->matches(QKeySequence::Cancel)) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void QuizNewt::showRoomState()
{
    const bool in = roomLink->isJoined();
    lblRoomState->setText(in ? QStringLiteral("Online") : QStringLiteral("Offline"));
    lblRoomMark->setPixmap(roundMark(lblRoomMark->size(), in ? QColor(40, 170, 60) : QColor(160, 160, 160)));
    const QString where = roomLink->stateText();
    for (QWidget* widget : {static_cast<QWidget*>(pbConnect), static_cast<QWidget*>(lblRoomMark),
                            static_cast<QWidget*>(lblRoomState)})
        widget->setToolTip(where);
}

void QuizNewt::butTriviaToggled(bool checked)
{
    if (checked) {
        setButtonIcon(pbTrivia, QStringLiteral(":/new/prefix1/img/but_trivia_down.png"), pageIconSize);
        stackedWidget->setCurrentIndex(0);
    } else {
        setButtonIcon(pbTrivia, QStringLiteral(":/new/prefix1/img/but_trivia_up.png"), pageIconSize);
    }
}

void QuizNewt::butScoresToggled(bool checked)
{
    if (checked) {
        setButtonIcon(pbScores, QStringLiteral(":/new/prefix1/img/but_scores_down.png"), pageIconSize);
        stackedWidget->setCurrentIndex(1);
        loadScores();
    } else {
        setButtonIcon(pbScores, QStringLiteral(":/new/prefix1/img/but_scores_up.png"), pageIconSize);
        scoresQuery->clear();
    }
}

void QuizNewt::butUsersToggled(bool checked)
{
    if (checked) {
        setButtonIcon(pbUsers, QStringLiteral(":/new/prefix1/img/but_users_down.png"), pageIconSize);
        stackedWidget->setCurrentIndex(2);
        loadUsers();
    } else {
        setButtonIcon(pbUsers, QStringLiteral(":/new/prefix1/img/but_users_up.png"), pageIconSize);
        usersQuery->clear();
    }
}

void QuizNewt::butContentToggled(bool checked)
{
    if (checked) {
        setButtonIcon(pbContent, QStringLiteral(":/new/prefix1/img/but_content_down.png"), pageIconSize);
        stackedWidget->setCurrentIndex(3);
    } else {
        setButtonIcon(pbContent, QStringLiteral(":/new/prefix1/img/but_content_up.png"), pageIconSize);
    }
}

void QuizNewt::butSettingsToggled(bool checked)
{
    if (checked) {
        setButtonIcon(pbSettings, QStringLiteral(":/new/prefix1/img/but_settings_down.png"), pageIconSize);
        stackedWidget->setCurrentIndex(4);
    } else {
        setButtonIcon(pbSettings, QStringLiteral(":/new/prefix1/img/but_settings_up.png"), pageIconSize);
    }
}

void QuizNewt::connectPressed()
{
    setButtonIcon(pbConnect, QStringLiteral(":/new/prefix1/img/connect_pressed.png"), connectIconSize);
}

void QuizNewt::connectReleased()
{
    setButtonIcon(pbConnect, QStringLiteral(":/new/prefix1/img/connect_active.png"), connectIconSize);
}

void QuizNewt::showQuestionEditor()
{
    auto* editor = new dlgQuestionEditor(this);
    connect(editor, &dlgQuestionEditor::categoryModified, this, &QuizNewt::categoryModified);
    editor->exec();
    delete editor;
}
