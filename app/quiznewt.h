#ifndef QUIZNEWT_H
#define QUIZNEWT_H

#include <QDialog>
#include <QString>

#include "ui_quiznewt.h"

class Clock;
class Game;
class QCloseEvent;
class QKeyEvent;
class QMenu;
class QSqlDatabase;
class QSqlQuery;
class QSystemTrayIcon;
class QTreeWidgetItem;
class RoomLink;

// The main window: owns the form, the room link, the game engine, the two
// queries of the Scores and Users pages and the tray icon. The Trivia and
// Settings pages show and set the game's state.
class QuizNewt : public QDialog, public Ui::QuizNewt
{
    Q_OBJECT

public:
    explicit QuizNewt(QWidget* parent = nullptr);
    // Takes ownership of roomLink; tests pass a link that records posts, and
    // may pass a clock of their own.
    explicit QuizNewt(RoomLink* roomLink, Clock* clock = nullptr, QWidget* parent = nullptr);
    ~QuizNewt() override;

    RoomLink* room() const { return roomLink; }
    Game* game() const { return gameEngine; }
    // The database opened at start-up.
    bool hasDatabase() const;

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private Q_SLOTS:
    void answerTimeout();
    void categoryModified();
    void connectPressed();
    void connectReleased();
    void connectToRoom();
    void giveHint();
    void nextQuestion();
    void nextTimeout();
    void parseCommand(QString line);
    void sendToRoom(QString text);
    void showQuestionEditor();
    void textCaptured(QString piece);
    void butTriviaToggled(bool checked);
    void butScoresToggled(bool checked);
    void butUsersToggled(bool checked);
    void butContentToggled(bool checked);
    void butSettingsToggled(bool checked);
    void scoreItemDoubleClicked(QTreeWidgetItem* item, int column);
    void loadScores();
    void resetScores();
    void updateScore();
    void addUser();
    void deleteUser();
    void userItemDoubleClicked(QTreeWidgetItem* item, int column);
    void loadUsers();
    void userTextEdited(const QString& text);
    void updateUser();

private:
    void construct(RoomLink* link, Clock* clock);
    void bindGame();
    // First run: asks to create the database in the default place and opens it.
    void offerDatabase(QSqlDatabase& db);

    void editRoom();
    // The mark and word beside Connect: in the room or not.
    void showRoomState();
    // Name columns, A to Z order and the filters of the Scores and Users pages.
    void setUpMemberLists();

    RoomLink* roomLink = nullptr;
    Game* gameEngine = nullptr;

    QSqlQuery* scoresQuery = nullptr;
    QSqlQuery* usersQuery = nullptr;

    QSystemTrayIcon* trayIcon = nullptr;
    QMenu* trayMenu = nullptr;

    friend class QuizNewtTestAccess;
};

#endif
