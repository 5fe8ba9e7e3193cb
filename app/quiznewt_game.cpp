// The window's side of the game: the Trivia and Settings pages bound to the
// engine both ways, and the game's slots handed on to it.

#include "app/quiznewt.h"

#include "game/game.h"
#include "settings/settings.h"

void QuizNewt::bindGame()
{
    sbAnswer->setValue(gameEngine->answerSeconds());
    sbWaitTime->setValue(gameEngine->waitSeconds());
    chkGiveAnswer->setChecked(gameEngine->givesAnswer());
    connect(sbAnswer, &QSpinBox::valueChanged, gameEngine, &Game::setAnswerSeconds);
    connect(sbWaitTime, &QSpinBox::valueChanged, gameEngine, &Game::setWaitSeconds);
    connect(chkGiveAnswer, &QCheckBox::toggled, gameEngine, &Game::setGiveAnswer);
    connect(gameEngine, &Game::answerSecondsChanged, sbAnswer, &QSpinBox::setValue);
    connect(gameEngine, &Game::waitSecondsChanged, sbWaitTime, &QSpinBox::setValue);
    connect(gameEngine, &Game::giveAnswerChanged, chkGiveAnswer, &QCheckBox::setChecked);
    connect(gameEngine, &Game::questionDrawn, this, [this](const QString& question, const QString& answer) {
        teQuestion->setPlainText(question);
        leAnswer->setText(answer);
    });

    const Settings::Room room = Settings::load<Settings::Room>();
    gameEngine->store().setRoom(room.server, room.channel);

    // Unlike the times, the judging is kept: an admin's choice outlives a restart.
    const Settings::Game stored = Settings::load<Settings::Game>();
    gameEngine->setJudging(Quiz::judgingFromName(stored.judging));
    gameEngine->setArticles(stored.articleList());
    // The box lists the modes by their names in the settings.
    cbJudging->setCurrentText(Quiz::judgingName(gameEngine->judging()));
    connect(cbJudging, &QComboBox::currentTextChanged, gameEngine,
            [this](const QString& name) { gameEngine->setJudging(Quiz::judgingFromName(name)); });
    connect(gameEngine, &Game::judgingChanged, this, [this](Quiz::Judging judging) {
        cbJudging->setCurrentText(Quiz::judgingName(judging));
        Settings::Game values = Settings::load<Settings::Game>();
        values.judging = Quiz::judgingName(judging);
        QString error;
        if (!Settings::save(values, &error))
            qWarning("QuizNewt: the judging is not kept: %s", qPrintable(error));
    });
}

void QuizNewt::textCaptured(QString piece) { gameEngine->textCaptured(piece); }
void QuizNewt::parseCommand(QString line) { gameEngine->parseCommand(line); }
void QuizNewt::sendToRoom(QString text) { gameEngine->sendToRoom(text); }
void QuizNewt::nextQuestion() { gameEngine->nextQuestion(); }
void QuizNewt::giveHint() { gameEngine->giveHint(); }
void QuizNewt::answerTimeout() { gameEngine->answerTimeout(); }
void QuizNewt::nextTimeout() { gameEngine->nextTimeout(); }
void QuizNewt::categoryModified() { gameEngine->categoryModified(); }
