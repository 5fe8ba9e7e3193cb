// The game: room lines judged against the open question, the draw, the hint,
// the time-out and the pause. The rules are in quiz/, the statements in db/.

#include "app/quiznewt.h"

#include <QSqlQuery>
#include <QThread>
#include <QTimer>

#include "db/contentstore.h"
#include "db/drawpool.h"
#include "db/playerstore.h"
#include "quiz/replies.h"
#include "quiz/rules.h"
#include "roomlink/roomlink.h"

void QuizNewt::textCaptured(QString piece)
{
    lineBuffer += piece;
    if (!Quiz::endsLine(piece))
        return;
    const Quiz::RoomLine line = Quiz::splitLine(lineBuffer);
    lineBuffer.clear();

    // Posts made by a command may bring room lines back in nested calls, which
    // overwrite the speaker; this line is judged as it was said.
    speakerName = line.speaker;
    speakerText = line.text;
    if (line.text.startsWith(QLatin1Char('!')))
        parseCommand(line.text);
    speakerName = line.speaker;
    speakerText = line.text;

    if (Quiz::isCorrect(line.text, currentAnswer))
        scoreCorrectLine();
}

void QuizNewt::scoreCorrectLine()
{
    const QString name = speakerName;

    // The question ends before anything is posted: a line handled while the
    // post is on its way must find it closed, so it can score only once.
    lineBuffer.clear();
    currentQuestion.clear();
    currentAnswer = Quiz::noAnswer;
    speakerText.clear();
    answerTimer->stop();
    hintTimer->stop();

    PlayerStore players(*gameQuery);
    if (players.exists(name))
        players.raiseScore(name);
    else
        players.addPlayer(name);
    const QString score = players.readScore(name);

    // The pause counts from when the room has the result.
    postThen(Replies::correct(name, score, sbWaitTime->value()), [this] { nextTimeout(); });
}

void QuizNewt::nextTimeout()
{
    answerTimer->stop();
    hintTimer->stop();
    nextTimer->start(sbWaitTime->value() * 1000);
}

void QuizNewt::nextQuestion()
{
    nextTimer->stop();
    QString question;
    QString answer;
    if (drawQuestion(&question, &answer))
        openQuestion(question, answer, true);
}

void QuizNewt::openQuestion(const QString& question, const QString& answer, bool withHint)
{
    currentQuestion = question;
    currentAnswer = answer;
    teQuestion->setPlainText(question);
    leAnswer->setText(answer);

    // The question is open for answers now, but its time runs from when the
    // room has it: a busy send queue must not eat into it.
    answerTimer->stop();
    hintTimer->stop();
    postThen(question, [this, withHint] {
        const int answerMs = sbAnswer->value() * 1000;
        answerTimer->start(answerMs);
        if (withHint)
            hintTimer->start(answerMs / 2);
    });
}

void QuizNewt::postThen(const QString& text, std::function<void()> then)
{
    const quint64 step = ++gameStep;
    if (roomLink)
        roomLink->post(text, [this, step, then = std::move(then)] {
            if (step == gameStep)
                then();
        });
}

void QuizNewt::giveHint()
{
    hintTimer->stop();
    const QString hint = Quiz::hint(currentAnswer, Quiz::standardRandom());
    if (!hint.isEmpty())
        sendToRoom(Replies::hint(hint));
}

void QuizNewt::answerTimeout()
{
    answerTimer->stop();
    hintTimer->stop();
    const QString answer = currentAnswer;
    currentAnswer = Quiz::noAnswer;
    postThen(Replies::timedOut(answer, chkGiveAnswer->isChecked(), sbWaitTime->value()),
             [this] { nextTimer->start(sbWaitTime->value() * 1000); });
}

void QuizNewt::categoryModified()
{
    // A rename can also bring another category's questions under this name.
    drawPool->invalidate();
    if (categoryExists(currentCategory))
        return;
    stopGame();
    sendToRoom(Replies::categoryModified());
}

void QuizNewt::stopGame()
{
    answerTimer->stop();
    nextTimer->stop();
    hintTimer->stop();
    currentQuestion.clear();
    currentAnswer = Quiz::noAnswer;
    playing = false;
    ++gameStep;
}

bool QuizNewt::categoryExists(const QString& name)
{
    return ContentStore(*gameQuery).categoryExists(name);
}

bool QuizNewt::userExists(const QString& name)
{
    return PlayerStore(*gameQuery).exists(name);
}

bool QuizNewt::speakerHasControl()
{
    return PlayerStore(*gameQuery).hasControl(speakerName);
}

bool QuizNewt::speakerHasAdmin()
{
    return PlayerStore(*adminQuery).hasAdmin(speakerName);
}

int QuizNewt::countCategory(const QString& name)
{
    return ContentStore(*gameQuery).countCategory(name);
}

// With nothing left to draw the game ends, with a notice.
bool QuizNewt::drawQuestion(QString* question, QString* answer)
{
    const bool drawn = drawPool->draw(currentCategory, question, answer);
    questionCount = drawPool->size();
    questionIndex = drawPool->lastIndex();
    if (!drawn) {
        stopGame();
        sendToRoom(Replies::noQuestion(currentCategory));
    }
    return drawn;
}

void QuizNewt::startGame(const QString& category, bool restart)
{
    const QString speaker = speakerName;
    // An empty category is refused like a missing one: there is nothing to ask.
    if (!categoryExists(category) || !speakerHasControl() || countCategory(category) == 0) {
        replyToRoom(speaker, Replies::unauthorizedStart(category));
        return;
    }

    currentCategory = category;
    drawPool->invalidate();
    QString question;
    QString answer;
    if (!drawQuestion(&question, &answer))
        return;

    // The question that was open is closed now; the new one opens after the
    // announcement and the pause, so nothing can answer it before it is seen.
    currentAnswer = Quiz::noAnswer;
    playing = true;
    sendToRoom(restart ? Replies::restarting(currentCategory, speaker) : Replies::started(speaker));
    // A plain sleep on purpose: the room must see a gap between the
    // announcement and the question, and nothing is handled meanwhile.
    QThread::msleep(startPauseMs);
    openQuestion(question, answer, !restart);
}
