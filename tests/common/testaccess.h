#ifndef TESTACCESS_H
#define TESTACCESS_H

// The one way tests reach inside the main window: its game, the editor it
// opens and the Scores page's query, as the window's friend.

#include <QSqlQuery>
#include <QTimer>

#include "app/quiznewt.h"
#include "game/game.h"

class QuizNewtTestAccess
{
public:
    static QString currentAnswer(const QuizNewt& w) { return w.game()->answer(); }
    static QSqlQuery* scoresQuery(const QuizNewt& w) { return w.scoresQuery; }
    static void openEditor(QuizNewt& w) { w.showQuestionEditor(); }
    static bool stopped(const QuizNewt& w) { return w.game()->isStopped(); }
};

#endif
