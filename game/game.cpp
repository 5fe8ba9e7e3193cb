// Play: room lines judged against the open question, the draw, the hint, the
// time-out, the pause and the start pause. Commands are in game_commands.cpp.

#include "game/game.h"

#include "game/clock.h"
#include "quiz/command.h"
#include "quiz/replies.h"
#include "roomlink/roomlink.h"

Game::Game(RoomLink* link, std::unique_ptr<GameStore> store, Clock* clock, Quiz::Random random, QObject* parent)
    : QObject(parent), link(link), clock(clock), gameStore(std::move(store)), random(std::move(random)),
      currentAnswer(Quiz::noAnswer)
{
    answerTimerPtr = clock->createTimer(this);
    hintTimerPtr = clock->createTimer(this);
    nextTimerPtr = clock->createTimer(this);
    startTimer = clock->createTimer(this);
    categoriesTimer = clock->createTimer(this);
    connect(categoriesTimer, &GameTimer::timeout, categoriesTimer, &GameTimer::stop);
    connect(answerTimerPtr, &GameTimer::timeout, this, &Game::answerTimeout);
    connect(hintTimerPtr, &GameTimer::timeout, this, &Game::giveHint);
    connect(nextTimerPtr, &GameTimer::timeout, this, &Game::nextQuestion);
    connect(startTimer, &GameTimer::timeout, this, &Game::endStartPause);

    if (link) {
        connect(link, &RoomLink::lineSaid, this, &Game::handleLine);
        connect(link, &RoomLink::joined, this, &Game::roomJoined);
        connect(link, &RoomLink::lost, this, &Game::roomLost);
    }
}

// Those watching the room see the game end with the program.
Game::~Game()
{
    if (playing)
        showRoom(QStringLiteral("stopped"));
}

void Game::setAnswerSeconds(int seconds)
{
    seconds = qBound(0, seconds, maxSeconds);
    if (seconds == answerTime)
        return;
    answerTime = seconds;
    emit answerSecondsChanged(seconds);
}

void Game::setWaitSeconds(int seconds)
{
    seconds = qBound(0, seconds, maxSeconds);
    if (seconds == waitTime)
        return;
    waitTime = seconds;
    emit waitSecondsChanged(seconds);
}

void Game::setGiveAnswer(bool on)
{
    if (on == giveAnswer)
        return;
    giveAnswer = on;
    emit giveAnswerChanged(on);
}

void Game::setJudging(Quiz::Judging judging)
{
    if (judging == rules.mode)
        return;
    rules.mode = judging;
    emit judgingChanged(judging);
}

bool Game::isStopped() const
{
    return !answerTimerPtr->isActive() && !hintTimerPtr->isActive() && !nextTimerPtr->isActive()
        && !startTimer->isActive() && currentAnswer == Quiz::noAnswer;
}

void Game::textCaptured(const QString& piece)
{
    lineBuffer += piece;
    if (!Quiz::endsLine(piece))
        return;
    const Quiz::RoomLine line = Quiz::splitLine(lineBuffer);
    lineBuffer.clear();
    handleLine(line.speaker, line.text);
}

void Game::handleLine(const QString& speaker, const QString& text)
{
    heldLines.append({speaker.simplified(), text.simplified()});
    handleHeldLines();
}

// One line at a time, in the order the room said them: a line said while
// another is handled (a post may bring one back) or while the start pause
// runs waits its turn.
void Game::handleHeldLines()
{
    if (handlingLines)
        return;
    handlingLines = true;
    while (!heldLines.isEmpty() && !startTimer->isActive())
        takeLine(heldLines.takeFirst());
    handlingLines = false;
}

void Game::takeLine(const Line& line)
{
    speakerName = line.speaker;
    if (line.text.startsWith(QLatin1Char('!')))
        runCommand(line.speaker, Quiz::parseCommand(line.text));
    // A command line is judged too, against the state the command left.
    judgeLine(line);
}

void Game::judgeLine(const Line& line)
{
    if (currentAnswer == Quiz::noAnswer)
        return;
    switch (judge.judge(line.text)) {
    case Quiz::Verdict::Correct:
        scoreCorrectLine(line.speaker);
        break;
    case Quiz::Verdict::NearMiss:
        if (!line.text.startsWith(QLatin1Char('!')))
            gameStore->recordNearMiss(currentId, line.text, line.speaker);
        break;
    case Quiz::Verdict::Wrong:
        break;
    }
}

// The question's statistics: one record each time a question closes.
void Game::closeQuestion(GameStore::End end)
{
    if (currentId >= 0) {
        const qint64 ms = end == GameStore::End::Answered && openedAt >= 0 ? clock->elapsedMs() - openedAt : 0;
        gameStore->recordEnd(currentId, end, ms);
    }
    currentId = -1;
    openedAt = -1;
    currentQuestion.clear();
    currentAnswer = Quiz::noAnswer;
}

void Game::scoreCorrectLine(const QString& speaker)
{
    // The question ends before anything is posted: a line handled while the
    // post is on its way must find it closed, so it can score only once.
    lineBuffer.clear();
    const int id = currentId;
    closeQuestion(GameStore::End::Answered);
    answerTimerPtr->stop();
    hintTimerPtr->stop();

    const QString score = gameStore->givePoint(speaker, id);
    showRoom(QStringLiteral("pause"));
    // The pause counts from when the room has the result.
    postThen(Replies::correct(speaker, score, waitTime), [this] { nextTimeout(); });
}

void Game::nextTimeout()
{
    answerTimerPtr->stop();
    hintTimerPtr->stop();
    nextTimerPtr->start(waitTime * 1000);
}

void Game::nextQuestion()
{
    nextTimerPtr->stop();
    // The pause ran out while a start holds its question back: the next
    // question follows that one, as it would after a blocking pause.
    if (startTimer->isActive()) {
        nextDuringStart = true;
        return;
    }
    GameStore::Drawn drawn;
    if (drawQuestion(&drawn))
        openQuestion(drawn, true);
}

void Game::openQuestion(const GameStore::Drawn& drawn, bool withHint)
{
    // Asked again after a lost connection, it is still the same question.
    if (drawn.id != currentId || currentAnswer == Quiz::noAnswer)
        ++questionNumber;
    currentQuestion = drawn.question;
    currentAnswer = drawn.answer;
    judge = Quiz::AnswerJudge(QStringList(drawn.answer) + drawn.accepted, rules);
    currentId = lastAskedId = drawn.id;
    currentAccepted = drawn.accepted;
    openedAt = -1;

    // The question is open for answers now, but its time runs from when the
    // room has it: a busy send queue must not eat into it.
    answerTimerPtr->stop();
    hintTimerPtr->stop();
    postThen(drawn.question, [this, withHint] {
        openedAt = clock->elapsedMs();
        showRoom(QStringLiteral("question"));
        const int answerMs = answerTime * 1000;
        answerTimerPtr->start(answerMs);
        if (withHint)
            hintTimerPtr->start(answerMs / 2);
    });
}

void Game::postThen(const QString& text, std::function<void()> then)
{
    const quint64 step = ++gameStep;
    if (link)
        link->post(text, [this, step, then = std::move(then)] {
            if (step == gameStep)
                then();
        });
}

void Game::sendToRoom(const QString& text)
{
    // The link drops the text while no room is joined.
    if (link)
        link->post(text);
}

void Game::replyPrivately(const QString& speaker, const QString& text)
{
    if (link)
        link->postReply(speaker, text);
}

void Game::replyToRoom(const QString& speaker, const QString& text)
{
    if (link)
        link->postReply(speaker, text, true);
}

void Game::giveHint()
{
    hintTimerPtr->stop();
    const QString hint = Quiz::hint(currentAnswer, random);
    if (!hint.isEmpty())
        sendToRoom(Replies::hint(hint));
}

void Game::answerTimeout()
{
    answerTimerPtr->stop();
    hintTimerPtr->stop();
    const QString answer = currentAnswer;
    const QString question = currentQuestion;
    if (answer != Quiz::noAnswer) {
        closeQuestion(GameStore::End::TimedOut);
        showRoom(QStringLiteral("pause"));
    }
    // The room can still ask for the question that ran out.
    currentQuestion = question;
    postThen(Replies::timedOut(answer, giveAnswer, waitTime), [this] { nextTimerPtr->start(waitTime * 1000); });
}

void Game::categoryModified()
{
    // A rename can also bring another category's questions under this name.
    gameStore->resetDraw();
    if (gameStore->categoryExists(currentCategory))
        return;
    stopGame();
    sendToRoom(Replies::categoryModified());
    // A start it cut short held lines back.
    handleHeldLines();
}

void Game::stopGame()
{
    answerTimerPtr->stop();
    nextTimerPtr->stop();
    hintTimerPtr->stop();
    startTimer->stop();
    nextDuringStart = false;
    if (currentAnswer != Quiz::noAnswer)
        closeQuestion(GameStore::End::Abandoned);
    currentQuestion.clear();
    currentAnswer = Quiz::noAnswer;
    if (std::exchange(playing, false))
        showRoom(QStringLiteral("stopped"));
    ++gameStep;
}

void Game::showRoom(const QString& state)
{
    gameStore->updateRoom({currentCategory, state, answerTime, questionNumber});
}

// With nothing left to draw the game ends, with a notice.
bool Game::drawQuestion(GameStore::Drawn* drawn)
{
    if (gameStore->draw(currentCategory, drawn)) {
        emit questionDrawn(drawn->question, drawn->answer);
        return true;
    }
    stopGame();
    sendToRoom(Replies::noQuestion(currentCategory));
    return false;
}

// An empty category is refused like a missing one: there is nothing to ask.
bool Game::mayStart(const QString& speaker, const QString& category)
{
    return gameStore->categoryExists(category) && gameStore->hasControl(speaker)
        && gameStore->hasQuestions(category);
}

void Game::startGame(const QString& speaker, const QString& category, bool restart)
{
    if (!mayStart(speaker, category)) {
        replyToRoom(speaker, Replies::unauthorizedStart(category));
        return;
    }

    currentCategory = category;
    gameStore->resetDraw();
    GameStore::Drawn drawn;
    if (!drawQuestion(&drawn))
        return;

    // The question that was open is closed now; the new one opens after the
    // announcement and the pause, so nothing can answer it before it is seen.
    if (currentAnswer != Quiz::noAnswer) {
        const QString question = currentQuestion;
        closeQuestion(GameStore::End::Abandoned);
        currentQuestion = question;
    }
    answerTimerPtr->stop();
    hintTimerPtr->stop();
    ++gameStep;
    playing = true;
    // The room's row says "question" once the question is out: a write
    // less in the start.
    questionNumber = 0;
    sendToRoom(restart ? Replies::restarting(currentCategory, speaker) : Replies::started(speaker));
    // The room sees a gap between the announcement and the question. The
    // event loop goes on meanwhile; room lines wait for the question.
    pending = drawn;
    pendingHint = !restart;
    if (startPause > 0)
        startTimer->start(startPause);
    else
        endStartPause();
}

void Game::endStartPause()
{
    startTimer->stop();
    openQuestion(pending, pendingHint);
    if (std::exchange(nextDuringStart, false))
        nextQuestion();
    handleHeldLines();
}

void Game::roomJoined()
{
    if (link->greetsOnJoin())
        sendToRoom(Replies::connected());
    // A start in progress posts its question when its pause ends.
    if (!playing || startTimer->isActive())
        return;
    // Back after a lost connection: what the room missed is not timed as if
    // it had been seen. The open question is asked again with its full time;
    // a pause whose result never went out starts over.
    if (currentAnswer != Quiz::noAnswer)
        openQuestion({currentId, currentQuestion, currentAnswer, currentAccepted}, true);
    else if (!nextTimerPtr->isActive())
        nextTimeout();
}

void Game::roomLost()
{
    // Nobody is there to see the question run out.
    answerTimerPtr->stop();
    hintTimerPtr->stop();
}

void Game::connectToRoom()
{
    if (!link)
        return;
    // Connect while already in the room greets again without dropping the link.
    if (link->isJoined())
        sendToRoom(Replies::connected());
    else
        link->join();
}
