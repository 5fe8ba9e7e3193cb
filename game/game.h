#ifndef GAME_H
#define GAME_H

#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

#include "game/gamestore.h"
#include "quiz/judging.h"
#include "quiz/rules.h"

class Clock;
class GameTimer;
class RoomLink;
namespace Quiz {
struct ChatCommand;
}

// The quiz: the open question, the three game timers and the start pause,
// the timing settings, the chat commands. It hears the room and posts into
// it through a RoomLink, reads and scores through a GameStore, and takes its
// time from a Clock. It shows nothing; a window binds to its signals.
class Game : public QObject
{
    Q_OBJECT

public:
    static constexpr int maxSeconds = 120;
    // Between a start announcement and the first question.
    static constexpr int startPauseMs = 1000;
    // After a category list in the room, further lists go to the asker alone.
    static constexpr int categoriesQuietMs = 30000;

    // The link is not owned; it must outlive the game.
    Game(RoomLink* link, std::unique_ptr<GameStore> store, Clock* clock, Quiz::Random random,
         QObject* parent = nullptr);
    ~Game() override;

    // The timing, each kept within 0 to maxSeconds.
    int answerSeconds() const { return answerTime; }
    int waitSeconds() const { return waitTime; }
    bool givesAnswer() const { return giveAnswer; }
    void setAnswerSeconds(int seconds);
    void setWaitSeconds(int seconds);
    void setGiveAnswer(bool on);
    // How lines are judged, from the next question on.
    Quiz::Judging judging() const { return rules.mode; }
    void setJudging(Quiz::Judging judging);
    // Words lenient judging drops from the start of a line and an answer.
    void setArticles(const QStringList& articles) { rules.articles = articles; }
    // Tests shorten the start pause; 0 posts the first question at once.
    void setStartPause(int ms) { startPause = ms; }

    const QString& question() const { return currentQuestion; }
    // Quiz::noAnswer while no question is open.
    const QString& answer() const { return currentAnswer; }
    const QString& category() const { return currentCategory; }
    // Neither a question nor a pause nor a start is under way.
    bool isStopped() const;
    GameTimer* answerTimer() const { return answerTimerPtr; }
    GameTimer* hintTimer() const { return hintTimerPtr; }
    GameTimer* nextTimer() const { return nextTimerPtr; }
    GameStore& store() const { return *gameStore; }

    // A whole room line. Lines that come while a start holds the first
    // question back wait until it is out, in their order.
    void handleLine(const QString& speaker, const QString& text);
    // One piece of room text; a piece that is exactly "\n" ends the line.
    void textCaptured(const QString& piece);
    // A command line for the speaker of the line being handled.
    void parseCommand(const QString& line);
    // Posts into the room as it stands.
    void sendToRoom(const QString& text);

    void nextQuestion();
    void giveHint();
    void answerTimeout();
    void nextTimeout();
    // The question editor renamed or deleted a category.
    void categoryModified();
    // The operator pressed Connect: greets again when in the room, else joins.
    void connectToRoom();

Q_SIGNALS:
    void answerSecondsChanged(int seconds);
    void waitSecondsChanged(int seconds);
    void giveAnswerChanged(bool on);
    void judgingChanged(Quiz::Judging judging);
    // A question was drawn: the operator sees it and its answer.
    void questionDrawn(const QString& question, const QString& answer);

private:
    struct Line {
        QString speaker;
        QString text;
    };

    void handleHeldLines();
    void takeLine(const Line& line);
    void runCommand(const QString& speaker, const Quiz::ChatCommand& parsed);
    QString categoryArgument(const Quiz::ChatCommand& parsed);
    bool mayStart(const QString& speaker, const QString& category);
    void startGame(const QString& speaker, const QString& category, bool restart);
    void endStartPause();
    bool drawQuestion(GameStore::Drawn* drawn);
    void openQuestion(const GameStore::Drawn& drawn, bool withHint);
    void closeQuestion(GameStore::End end);
    void judgeLine(const Line& line);
    void showRoom(const QString& state);
    void stopGame();
    void scoreCorrectLine(const QString& speaker);
    void postThen(const QString& text, std::function<void()> then);
    void replyPrivately(const QString& speaker, const QString& text);
    void replyToRoom(const QString& speaker, const QString& text);
    void setTime(const QString& speaker, void (Game::*set)(int), const QString& argument, const QString& reply);
    void setGiveAnswerBy(const QString& speaker, const QString& argument);
    void setJudgingBy(const QString& speaker, const QString& argument);
    void report(const QString& speaker, const QString& note);
    void listCategories(const QString& speaker);
    void showScore(const QString& speaker, GameStore::Lookup found, const QString& foundText,
                   const QString& missingText);
    void roomJoined();
    void roomLost();

    RoomLink* link;
    Clock* clock;
    std::unique_ptr<GameStore> gameStore;
    Quiz::Random random;

    QString currentAnswer;
    QString currentQuestion;
    QString currentCategory;
    QString lineBuffer;
    // The open question's key, answers and judge; -1 while none is open.
    int currentId = -1;
    QStringList currentAccepted;
    Quiz::AnswerJudge judge;
    // When the room got the open question; -1 until it has.
    qint64 openedAt = -1;
    // The question a report is about: the open one, or the last asked.
    int lastAskedId = -1;
    Quiz::JudgingRules rules;
    // Questions opened since the game started.
    int questionNumber = 0;
    // Speaker of the line being handled, for parseCommand(line).
    QString speakerName;

    GameTimer* answerTimerPtr = nullptr;
    GameTimer* hintTimerPtr = nullptr;
    GameTimer* nextTimerPtr = nullptr;
    // The pause between a start's announcement and its first question.
    GameTimer* startTimer = nullptr;
    // Runs while the room's last category list is recent.
    GameTimer* categoriesTimer = nullptr;
    // What the start pause holds back: the first question, whether it gets a
    // hint, and whether the pause of the game before ran out meanwhile.
    GameStore::Drawn pending;
    bool pendingHint = false;
    bool nextDuringStart = false;

    QList<Line> heldLines;
    bool handlingLines = false;

    int startPause = startPauseMs;
    int answerTime = 30;
    int waitTime = 10;
    bool giveAnswer = true;

    // Counts the game's steps, so that a line the room gets late cannot start
    // the timers of a step that is over.
    quint64 gameStep = 0;
    // A game runs: its question or its pause survives a lost connection.
    bool playing = false;
};

#endif
