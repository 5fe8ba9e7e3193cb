#ifndef QUIZREPLIES_H
#define QUIZREPLIES_H

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

// Every text the quiz posts. "<b>" and "</b>" mark bold; "\n" breaks a line.
// Private replies are given without the member's name in front.
namespace Replies {

QString connected();
QString correct(const QString& name, const QString& score, int waitSeconds);
QString timedOut(const QString& answer, bool giveAnswer, int waitSeconds);
QString hint(const QString& hintText);
QString started(const QString& speaker);
QString restarting(const QString& category, const QString& speaker);
QString ended(const QString& speaker);
QString unauthorizedStart(const QString& category);
QString unauthorized();
QString noQuestion(const QString& category);
QString categoryModified();
// Up to this many names, one a line; more are packed into lines of at most
// lineBytes bytes of UTF-8, every name whole.
constexpr int maxCategoryLines = 5;
QString categories(const QStringList& names, int lineBytes = 400);

QString help(bool admin);
// With a period's name, the heading names it: "QuizNewt Top Ten this week".
QString topTen(const QList<QPair<QString, QString>>& rows, const QString& period = QString());
QString myScore(const QString& score);
QString notInDatabase();
QString userScore(const QString& name, const QString& score);
QString userNotInDatabase();
QString notAdmin();
QString answerTimeSet(const QString& argument);
QString nextTimeSet(const QString& argument);
// Empty for an argument other than "0" and "1": nothing is posted then.
QString giveAnswerSet(const QString& argument);
QString about();
QString reported();
QString alreadyReported();
QString tooManyReports();
QString nothingToReport();
QString judgedLeniently(bool lenient);

}

#endif
