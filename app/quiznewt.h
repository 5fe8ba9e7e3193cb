#ifndef QUIZNEWT_H
#define QUIZNEWT_H

#include <QDialog>
#include <QString>

#include <functional>

#include "ui_quiznewt.h"

class DrawPool;
class QCloseEvent;
class QMenu;
class QSpinBox;
class QSqlDatabase;
class QSqlQuery;
class QSystemTrayIcon;
class QTimer;
class QTreeWidgetItem;
class RoomLink;
namespace Quiz {
struct ChatCommand;
}

// The main window: owns the form, the room link, the game state and timers,
// the four long-lived queries and the tray icon.
class QuizNewt : public QDialog, public Ui::QuizNewt
{
    Q_OBJECT

public:
    explicit QuizNewt(QWidget* parent = nullptr);
    // Takes ownership of roomLink; tests pass a link that records posts.
    explicit QuizNewt(RoomLink* roomLink, QWidget* parent = nullptr);
    ~QuizNewt() override;

    RoomLink* room() const { return roomLink; }

    // How long !start and !restart hold back the first question; tests shorten it.
    int startPauseMs = 1000;

protected:
    void closeEvent(QCloseEvent* event) override;

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
    void construct(RoomLink* link);
    // First run: asks to create the database in the default place and opens it.
    void offerDatabase(QSqlDatabase& db);

    // Room link (quiznewt_room.cpp)
    void editRoom();
    void roomJoined();
    void roomLost();
    void replyPrivately(const QString& speaker, const QString& text);
    void replyToRoom(const QString& speaker, const QString& text);

    // Game (quiznewt_game.cpp)
    bool categoryExists(const QString& name);
    bool userExists(const QString& name);
    bool speakerHasControl();
    bool speakerHasAdmin();
    int countCategory(const QString& name);
    bool drawQuestion(QString* question, QString* answer);
    void startGame(const QString& category, bool restart);
    void openQuestion(const QString& question, const QString& answer, bool withHint);
    void stopGame();
    void scoreCorrectLine();
    // Posts a line of the game; then() runs once the room has it, unless the
    // game has moved on by then.
    void postThen(const QString& text, std::function<void()> then);

    // Chat commands (quiznewt_commands.cpp)
    QString categoryArgument(const Quiz::ChatCommand& parsed);
    void listCategories();
    void showTopTen();
    void showMyScore();
    void showUserScore(const QString& name);
    void setTime(QSpinBox* box, const QString& argument, const QString& reply);
    void setGiveAnswer(const QString& argument);

    DrawPool* drawPool = nullptr;
    // Counts the game's steps, so that a line the room gets late cannot start
    // the timers of a step that is over.
    quint64 gameStep = 0;
    // A game runs: its question or its pause survives a lost connection.
    bool playing = false;

    RoomLink* roomLink = nullptr;

    QSqlQuery* gameQuery = nullptr;
    QSqlQuery* adminQuery = nullptr;
    QSqlQuery* scoresQuery = nullptr;
    QSqlQuery* usersQuery = nullptr;

    QString currentAnswer;
    QString currentQuestion;
    QString speakerText;
    QString speakerName;
    QString lineBuffer;
    QString currentCategory;
    int questionCount = 0;
    int questionIndex = 0;

    QTimer* answerTimer = nullptr;
    QTimer* nextTimer = nullptr;
    QTimer* hintTimer = nullptr;

    QSystemTrayIcon* trayIcon = nullptr;
    QMenu* trayMenu = nullptr;

    friend class QuizNewtTestAccess;
};

#endif
