#ifndef QUIZNEWT_H
#define QUIZNEWT_H

#include <QDialog>
#include <QString>

#include "ui_quiznewt.h"

class QCloseEvent;
class QMenu;
class QSqlQuery;
class QSystemTrayIcon;
class QTimer;
class QTreeWidgetItem;
class RoomLink;

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

    // Room link (quiznewt_room.cpp)
    void roomJoined();

    // Game (quiznewt_game.cpp)
    bool categoryExists(const QString& name);
    bool userExists(const QString& name);
    bool speakerHasControl();
    bool speakerHasAdmin();
    int countCategory(const QString& name);
    bool drawQuestion(QString* question, QString* answer);
    void loadDrawPool(const QString& upperName);
    bool addNewToDrawPool(qint64 upTo);
    void startGame(const QString& category, bool restart);
    void openQuestion(const QString& question, const QString& answer, bool withHint);
    void stopGame();
    void scoreCorrectLine();
    void replyPrivately(const QString& speaker, const QString& text);
    static QString hintText(const QString& answer, int first, int second);
    static int randomIndex(int count);
    static int randomIndex(int count, int (*generator)(), qint64 generatorMax);

    // Content IDs of the category being drawn from, so a draw is one key
    // lookup instead of a walk over the whole category.
    QList<int> drawPool;
    QString drawPoolCategory;
    qint64 drawPoolGenerator = 0;
    bool drawPoolLoaded = false;

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
