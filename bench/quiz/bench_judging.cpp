// Wrong room lines judged per second, exactly and leniently, against a mix
// of answers like those of a trivia database.

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <functional>

#include "quiz/judging.h"

namespace {

const QStringList answers = {
    QStringLiteral("Paris"),
    QStringLiteral("Leonardo da Vinci"),
    QStringLiteral("1984"),
    QStringLiteral("The Beatles"),
    QStringLiteral("Mount Kilimanjaro"),
    QStringLiteral("Brontë"),
    QStringLiteral("366"),
    QStringLiteral("Rocky IV"),
    QStringLiteral("Tom & Jerry"),
    QStringLiteral("Oxygen"),
    QStringLiteral("Pacific Ocean"),
    QStringLiteral("Albert Einstein"),
    QStringLiteral("H2O"),
    QStringLiteral("Dr. Wily"),
    QStringLiteral("Seven"),
    QStringLiteral("The Lord of the Rings"),
};

// What a channel types while a question is open.
const QStringList chatter = {
    QStringLiteral("lol"),
    QStringLiteral("no idea"),
    QStringLiteral("London"),
    QStringLiteral("is it rome?"),
    QStringLiteral("hint please"),
    QStringLiteral("Michelangelo"),
    QStringLiteral("1985"),
    QStringLiteral("the beetles"),
    QStringLiteral("Everest"),
    QStringLiteral("Charlotte Bronte"),
    QStringLiteral("three hundred sixty five"),
    QStringLiteral("Rocky 3"),
    QStringLiteral("Tom and Jenny"),
    QStringLiteral("nitrogen"),
    QStringLiteral("Atlantic"),
    QStringLiteral("Isaac Newton"),
    QStringLiteral("water"),
    QStringLiteral("Mega Man"),
    QStringLiteral("six"),
    QStringLiteral("The Hobbit"),
    QStringLiteral("haha that was easy"),
    QStringLiteral("wb Alice!"),
    QStringLiteral("Pari"),
    QStringLiteral("Leonardo"),
    QStringLiteral("I think it's the Pacific ocean or something"),
    QStringLiteral("Größe"),
    QStringLiteral("?"),
    QStringLiteral("brb"),
};

struct Pair {
    Quiz::AnswerJudge judge;
    QStringList wrong;
};

// Each answer's judge with the chatter that is wrong for it in both modes.
QList<Pair> pairs(Quiz::Judging mode)
{
    QList<Pair> result;
    for (const QString& answer : answers) {
        Quiz::JudgingRules rules;
        Quiz::JudgingRules lenient;
        rules.mode = mode;
        lenient.mode = Quiz::Judging::Lenient;
        const Quiz::AnswerJudge judge({answer}, rules);
        const Quiz::AnswerJudge check({answer}, lenient);
        Pair pair{judge, {}};
        for (const QString& line : chatter) {
            if (!check.accepts(line) && !judge.accepts(line))
                pair.wrong.append(line);
        }
        result.append(pair);
    }
    return result;
}

void measure(const char* what, const QList<Pair>& work, const std::function<bool(const Pair&, const QString&)>& step)
{
    qint64 lines = 0;
    int kept = 0;
    QElapsedTimer timer;
    timer.start();
    do {
        for (const Pair& pair : work) {
            for (const QString& line : pair.wrong) {
                kept += step(pair, line) ? 1 : 0;
                ++lines;
            }
        }
    } while (timer.nsecsElapsed() < 1000000000);
    const double seconds = timer.nsecsElapsed() / 1e9;
    std::printf("%s: %.0f wrong lines/s (%lld lines, %d kept)\n", what, lines / seconds, lines, kept);
}

}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QList<Pair> exact = pairs(Quiz::Judging::Exact);
    const QList<Pair> lenient = pairs(Quiz::Judging::Lenient);
    measure("exact judging", exact, [](const Pair& p, const QString& line) { return p.judge.accepts(line); });
    measure("lenient judging", lenient, [](const Pair& p, const QString& line) { return p.judge.accepts(line); });
    measure("lenient judging with near misses", lenient, [](const Pair& p, const QString& line) {
        return p.judge.judge(line) == Quiz::Verdict::NearMiss;
    });
    return 0;
}
