#ifndef TESTACCESS_H
#define TESTACCESS_H

// The one way tests reach inside the main window: its timers, game state and
// long-lived queries, as the window's friend.

#include <QSqlQuery>
#include <QTimer>

#include "app/quiznewt.h"

class QuizNewtTestAccess
{
public:
    static QTimer* answerTimer(const QuizNewt& w) { return w.answerTimer; }
    static QTimer* hintTimer(const QuizNewt& w) { return w.hintTimer; }
    static QTimer* nextTimer(const QuizNewt& w) { return w.nextTimer; }
    static QString currentAnswer(const QuizNewt& w) { return w.currentAnswer; }
    static QSqlQuery* scoresQuery(const QuizNewt& w) { return w.scoresQuery; }
    static QSqlQuery* gameQuery(const QuizNewt& w) { return w.gameQuery; }
    static void openEditor(QuizNewt& w) { w.showQuestionEditor(); }
    // The timers' slots, fired by hand.
    static void nextQuestion(QuizNewt& w) { w.nextQuestion(); }
    static void answerTimeout(QuizNewt& w) { w.answerTimeout(); }
    static void categoryModified(QuizNewt& w) { w.categoryModified(); }
    // Stopped: no timer runs and no question is open.
    static bool stopped(const QuizNewt& w)
    {
        return !w.answerTimer->isActive() && !w.hintTimer->isActive() && !w.nextTimer->isActive()
            && w.currentAnswer == QLatin1String("No Answer");
    }
};

#endif
