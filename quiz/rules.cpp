#include "quiz/rules.h"

#include <climits>
#include <cstdlib>

namespace Quiz {

bool endsLine(const QString& piece)
{
    return piece == QLatin1String("\n");
}

RoomLine splitLine(const QString& line)
{
    return {line.section(QLatin1Char(':'), 0, 0).simplified(), line.section(QLatin1Char(':'), 1).simplified()};
}

bool isCorrect(const QString& text, const QString& answer)
{
    return answer != noAnswer && text.toLower() == answer.toLower();
}

bool isPlayable(const QString& question, const QString& answer)
{
    return !question.trimmed().isEmpty() && !answer.isEmpty();
}

QString hintText(const QString& answer, int first, int second)
{
    QString hint;
    hint.reserve(answer.size() * 2);
    for (int i = 0; i < answer.size(); ++i) {
        const QChar c = answer.at(i);
        if (i == first || i == second) {
            hint += c;
            hint += QLatin1Char(' ');
        } else if (c.isSpace()) {
            hint += QLatin1Char(' ');
        } else {
            hint += QLatin1String("_ ");
        }
    }
    return hint;
}

Random standardRandom()
{
    return {std::rand, RAND_MAX};
}

QString hint(const QString& answer, const Random& random)
{
    const int length = int(answer.size());
    if (length == 0)
        return QString();
    const int first = random.next() % length;
    const int second = random.next() % length;
    return hintText(answer, first, second);
}

int randomIndex(int count, const Random& random)
{
    if (count <= 0)
        return 0;
    if (count - 1 <= random.max)
        return random.next() % count;
    // Where rand() stops at 32767, one draw could never reach the rows past it.
    const quint64 wide = quint64(random.next()) * quint64(random.max + 1) + quint64(random.next());
    return int(wide % quint64(count));
}

int secondsArgument(const QString& argument)
{
    const uint seconds = argument.toUInt(nullptr, 10);
    return seconds > INT_MAX ? INT_MAX : int(seconds);
}

Period periodFromArgument(const QString& argument)
{
    const QString word = argument.toLower();
    if (word == QLatin1String("today"))
        return Period::Today;
    if (word == QLatin1String("week"))
        return Period::Week;
    if (word == QLatin1String("month"))
        return Period::Month;
    return Period::AllTime;
}

QDateTime periodStart(Period period, const QDateTime& now)
{
    const QDate today = now.date();
    switch (period) {
    case Period::Today:
        return today.startOfDay();
    case Period::Week:
        return today.addDays(1 - today.dayOfWeek()).startOfDay();
    case Period::Month:
        return QDate(today.year(), today.month(), 1).startOfDay();
    case Period::AllTime:
        break;
    }
    return {};
}

QString periodName(Period period)
{
    switch (period) {
    case Period::Today:
        return QStringLiteral("today");
    case Period::Week:
        return QStringLiteral("this week");
    case Period::Month:
        return QStringLiteral("this month");
    case Period::AllTime:
        break;
    }
    return {};
}

}
