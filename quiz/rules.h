#ifndef QUIZRULES_H
#define QUIZRULES_H

#include <QDateTime>
#include <QString>

#include <functional>

namespace Quiz {

// What the current answer holds whenever no question is open.
inline const QString noAnswer = QStringLiteral("No Answer");

// A room line arrives in pieces; only a piece that is exactly "\n" ends it.
bool endsLine(const QString& piece);

// A whole room line split at its first colon, both sides simplified. A line
// without a colon is all speaker and no text.
struct RoomLine {
    QString speaker;
    QString text;
};
RoomLine splitLine(const QString& line);

// The line is correct when it equals the open answer ignoring case; the
// answer is neither trimmed nor simplified, and nothing matches while no
// question is open.
bool isCorrect(const QString& text, const QString& answer);

// A question that can be asked: some text, and an answer an empty line
// cannot match.
bool isPlayable(const QString& question, const QString& answer);

// The hint for answer with the characters at first and second revealed:
// every other character is "_ ", white space is one blank.
QString hintText(const QString& answer, int first, int second);

// A source of random numbers from 0 to max, like rand().
struct Random {
    std::function<int()> next;
    qint64 max;
};
// rand(), seeded once by the program.
Random standardRandom();

// Two positions drawn from random, then the hint for them; empty for an
// empty answer.
QString hint(const QString& answer, const Random& random);

// A uniform pick among count; where count exceeds the source's range two
// numbers are joined, so every index can come up.
int randomIndex(int count, const Random& random);

// The boards: all time is the members' scores; the others count the points
// given since the start of this day, week (Monday) or month, local time.
enum class Period { AllTime, Today, Week, Month };
// "today", "week" or "month" in any case; anything else is all time.
Period periodFromArgument(const QString& argument);
QDateTime periodStart(Period period, const QDateTime& now);
// "today", "this week", "this month"; empty for all time.
QString periodName(Period period);

// A seconds argument of a command: an unsigned decimal number, 0 when it is
// not one; kept inside int so that it cannot wrap.
int secondsArgument(const QString& argument);

}

#endif
