// Chat commands: parsed by the rules, answered from the store and the game's
// own settings.

#include "game/game.h"

#include "game/clock.h"

#include "quiz/command.h"
#include "quiz/replies.h"
#include "roomlink/roomlink.h"

using Quiz::Command;

void Game::parseCommand(const QString& line)
{
    runCommand(speakerName, Quiz::parseCommand(line));
}

QString Game::categoryArgument(const Quiz::ChatCommand& parsed)
{
    // The first word wins; a name with blanks ("Old Movies") is the rest of
    // the line, tried only when no category has the first word's name.
    if (parsed.rest == parsed.argument || gameStore->categoryExists(parsed.argument)
        || !gameStore->categoryExists(parsed.rest))
        return parsed.argument;
    return parsed.rest;
}

void Game::runCommand(const QString& speaker, const Quiz::ChatCommand& parsed)
{
    const QString& argument = parsed.argument;
    QString score;

    switch (parsed.command) {
    case Command::None:
        break;
    case Command::Start:
        startGame(speaker, categoryArgument(parsed), false);
        break;
    case Command::Restart: {
        // Rights first: a refused restart must not stop the game it names.
        const QString category = categoryArgument(parsed);
        if (!mayStart(speaker, category)) {
            replyToRoom(speaker, Replies::unauthorizedStart(category));
            break;
        }
        stopGame();
        gameStore->finish();
        startGame(speaker, category, true);
        break;
    }
    case Command::Quit:
        if (gameStore->hasControl(speaker)) {
            stopGame();
            sendToRoom(Replies::ended(speaker));
        } else {
            replyToRoom(speaker, Replies::unauthorized());
        }
        break;
    case Command::Categories:
        listCategories(speaker);
        break;
    case Command::Help:
        replyPrivately(speaker, Replies::help(gameStore->hasAdmin(speaker)));
        break;
    case Command::Top: {
        // Plain !top, or any other word, is the all-time board.
        const Quiz::Period period = Quiz::periodFromArgument(argument);
        QList<QPair<QString, QString>> rows;
        const bool found = period == Quiz::Period::AllTime
            ? gameStore->topTen(&rows)
            : gameStore->topTenSince(Quiz::periodStart(period, QDateTime::currentDateTime()), &rows);
        if (found)
            replyPrivately(speaker, Replies::topTen(rows, Quiz::periodName(period)));
        break;
    }
    case Command::MyScore: {
        const GameStore::Lookup found = gameStore->myScore(speaker, &score);
        showScore(speaker, found, Replies::myScore(score), Replies::notInDatabase());
        break;
    }
    case Command::UserScore: {
        const GameStore::Lookup found = gameStore->userScore(argument, &score);
        showScore(speaker, found, Replies::userScore(argument, score), Replies::userNotInDatabase());
        break;
    }
    case Command::Question:
        if (!currentQuestion.isEmpty() && currentQuestion != QLatin1String("No Question"))
            replyPrivately(speaker, currentQuestion);
        break;
    case Command::AnswerTime:
        setTime(speaker, &Game::setAnswerSeconds, argument, Replies::answerTimeSet(argument));
        break;
    case Command::NextTime:
        setTime(speaker, &Game::setWaitSeconds, argument, Replies::nextTimeSet(argument));
        break;
    case Command::GiveAnswer:
        setGiveAnswerBy(speaker, argument);
        break;
    case Command::About:
        replyPrivately(speaker, Replies::about());
        break;
    case Command::Report:
        report(speaker, parsed.rest);
        break;
    case Command::Judging:
        setJudgingBy(speaker, argument);
        break;
    }
}

// The room sees the list at most once in a while; whoever asks again
// meanwhile gets it privately, so nobody can keep the room scrolling.
void Game::listCategories(const QString& speaker)
{
    QStringList names;
    gameStore->listCategories(&names);
    const bool toRoom = !categoriesTimer->isActive();
    const int lineBytes = link ? link->textBytes(speaker, toRoom) : 400;
    if (toRoom) {
        categoriesTimer->start(categoriesQuietMs);
        replyToRoom(speaker, Replies::categories(names, lineBytes));
    } else {
        replyPrivately(speaker, Replies::categories(names, lineBytes));
    }
}

// A failed lookup posts nothing.
void Game::showScore(const QString& speaker, GameStore::Lookup found, const QString& foundText,
                     const QString& missingText)
{
    if (found == GameStore::Lookup::Found)
        replyPrivately(speaker, foundText);
    else if (found == GameStore::Lookup::Missing)
        replyPrivately(speaker, missingText);
}

void Game::setTime(const QString& speaker, void (Game::*set)(int), const QString& argument, const QString& reply)
{
    if (!gameStore->hasAdmin(speaker)) {
        replyPrivately(speaker, Replies::notAdmin());
        return;
    }
    // The time keeps its range; the reply repeats the argument as typed.
    (this->*set)(Quiz::secondsArgument(argument));
    replyPrivately(speaker, reply);
}

void Game::setGiveAnswerBy(const QString& speaker, const QString& argument)
{
    if (!gameStore->hasAdmin(speaker)) {
        replyPrivately(speaker, Replies::notAdmin());
        return;
    }
    // Any other value changes nothing and says nothing: an empty private
    // message is an error on IRC.
    if (argument != QLatin1String("0") && argument != QLatin1String("1"))
        return;
    setGiveAnswer(argument == QLatin1String("1"));
    replyPrivately(speaker, Replies::giveAnswerSet(argument));
}

// Any other word, or none, tells the judging in force.
void Game::setJudgingBy(const QString& speaker, const QString& argument)
{
    if (!gameStore->hasAdmin(speaker)) {
        replyPrivately(speaker, Replies::notAdmin());
        return;
    }
    bool known = false;
    const Quiz::Judging wanted = Quiz::judgingFromName(argument, &known);
    if (known)
        setJudging(wanted);
    replyPrivately(speaker, Replies::judgedLeniently(judging() == Quiz::Judging::Lenient));
}

// The open question, or the last one asked; the note is the rest of the line.
void Game::report(const QString& speaker, const QString& note)
{
    if (lastAskedId < 0) {
        replyPrivately(speaker, Replies::nothingToReport());
        return;
    }
    switch (gameStore->report(lastAskedId, speaker, note)) {
    case GameStore::Report::Stored:
        replyPrivately(speaker, Replies::reported());
        break;
    case GameStore::Report::AlreadyReported:
        replyPrivately(speaker, Replies::alreadyReported());
        break;
    case GameStore::Report::TooMany:
        replyPrivately(speaker, Replies::tooManyReports());
        break;
    case GameStore::Report::Failed:
        break;
    }
}
