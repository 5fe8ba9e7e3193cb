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

}
