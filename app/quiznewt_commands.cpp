// Chat commands: parsed by the rules, answered here from the stores and the
// Settings and Trivia pages' widgets.

#include "app/quiznewt.h"

#include <QSqlQuery>

#include "db/contentstore.h"
#include "db/playerstore.h"
#include "quiz/command.h"
#include "quiz/replies.h"
#include "quiz/rules.h"

using Quiz::Command;

QString QuizNewt::categoryArgument(const Quiz::ChatCommand& parsed)
{
    // The first word wins; a name with blanks ("Old Movies") is the rest of
    // the line, tried only when no category has the first word's name.
    if (parsed.rest == parsed.argument || categoryExists(parsed.argument) || !categoryExists(parsed.rest))
        return parsed.argument;
    return parsed.rest;
}

void QuizNewt::parseCommand(QString line)
{
    const QString speaker = speakerName;
    const Quiz::ChatCommand parsed = Quiz::parseCommand(line);
    const QString& argument = parsed.argument;

    switch (parsed.command) {
    case Command::None:
        break;
    case Command::Start:
        startGame(categoryArgument(parsed), false);
        break;
    case Command::Restart:
        stopGame();
        gameQuery->finish();
        startGame(categoryArgument(parsed), true);
        break;
    case Command::Quit:
        if (speakerHasControl()) {
            stopGame();
            sendToRoom(Replies::ended(speaker));
        } else {
            replyToRoom(speaker, Replies::unauthorized());
        }
        break;
    case Command::Categories:
        listCategories();
        break;
    case Command::Help:
        replyPrivately(speaker, Replies::help(speakerHasAdmin()));
        break;
    case Command::Top:
        showTopTen();
        break;
    case Command::MyScore:
        showMyScore();
        break;
    case Command::UserScore:
        showUserScore(argument);
        break;
    case Command::Question:
        if (!currentQuestion.isEmpty() && currentQuestion != QLatin1String("No Question"))
            replyPrivately(speaker, currentQuestion);
        break;
    case Command::AnswerTime:
        setTime(sbAnswer, argument, Replies::answerTimeSet(argument));
        break;
    case Command::NextTime:
        setTime(sbWaitTime, argument, Replies::nextTimeSet(argument));
        break;
    case Command::GiveAnswer:
        setGiveAnswer(argument);
        break;
    case Command::About:
        replyPrivately(speaker, Replies::about());
        break;
    }
}

void QuizNewt::listCategories()
{
    QStringList names;
    ContentStore(*gameQuery).listCategories(&names);
    replyToRoom(speakerName, Replies::categories(names));
}

void QuizNewt::showTopTen()
{
    QList<QPair<QString, QString>> rows;
    if (PlayerStore(*gameQuery).topTen(&rows))
        replyPrivately(speakerName, Replies::topTen(rows));
}

void QuizNewt::showMyScore()
{
    QString score;
    switch (PlayerStore(*gameQuery).myScore(speakerName, &score)) {
    case PlayerStore::Lookup::Failed:
        break;
    case PlayerStore::Lookup::Found:
        replyPrivately(speakerName, Replies::myScore(score));
        break;
    case PlayerStore::Lookup::Missing:
        replyPrivately(speakerName, Replies::notInDatabase());
        break;
    }
}

void QuizNewt::showUserScore(const QString& name)
{
    QString score;
    switch (PlayerStore(*gameQuery).userScore(name, &score)) {
    case PlayerStore::Lookup::Failed:
        break;
    case PlayerStore::Lookup::Found:
        replyPrivately(speakerName, Replies::userScore(name, score));
        break;
    case PlayerStore::Lookup::Missing:
        replyPrivately(speakerName, Replies::userNotInDatabase());
        break;
    }
}

void QuizNewt::setTime(QSpinBox* box, const QString& argument, const QString& reply)
{
    if (!speakerHasAdmin()) {
        replyPrivately(speakerName, Replies::notAdmin());
        return;
    }
    // The spin box keeps its range; the reply repeats the argument as typed.
    box->setValue(Quiz::secondsArgument(argument));
    replyPrivately(speakerName, reply);
}

void QuizNewt::setGiveAnswer(const QString& argument)
{
    if (!speakerHasAdmin()) {
        replyPrivately(speakerName, Replies::notAdmin());
        return;
    }
    if (argument == QLatin1String("0") || argument == QLatin1String("1"))
        chkGiveAnswer->setChecked(argument == QLatin1String("1"));
    replyPrivately(speakerName, Replies::giveAnswerSet(argument));
}
