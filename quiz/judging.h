#ifndef QUIZJUDGING_H
#define QUIZJUDGING_H

#include <QString>
#include <QStringList>

#include <memory>

namespace Quiz {

// How a line is compared with a question's accepted answers.
enum class Judging { Exact, Lenient };

// "exact" or "lenient", in any case; anything else gives Exact and ok false.
Judging judgingFromName(const QString& name, bool* ok = nullptr);
QString judgingName(Judging judging);

// "a", "an" and "the".
QStringList defaultArticles();

struct JudgingRules {
    Judging mode = Judging::Exact;
    // Words that lenient judging drops from the start of a line and an answer.
    QStringList articles = defaultArticles();
};

enum class Verdict { Wrong, NearMiss, Correct };

// The accepted answers of one question, prepared once so that each room line
// costs only its own normalising.
//
// Exact: isCorrect() against each answer. Lenient: case, accents,
// punctuation, symbols and blanks do not count, nor a leading article; "&"
// is "and"; a number is its digits or its English words, and at the end its
// Roman numeral. One slip (insertion, deletion, substitution or swap of two
// neighbours) is forgiven per eight letters and digits of the normalised
// answer, never inside a number. The whole line is judged.
//
// A near miss is a wrong line within twice those slips (at least one from
// five letters on), or, while judging is exact, a line that lenient judging
// would accept without a slip.
class AnswerJudge
{
public:
    // answers: the question's answer, then its further accepted answers.
    explicit AnswerJudge(const QStringList& answers = {}, const JudgingRules& rules = {});

    Verdict judge(const QString& line) const;
    // As judge() == Correct, without the near-miss work.
    bool accepts(const QString& line) const;

private:
    struct Prepared;
    std::shared_ptr<const Prepared> prepared;
};

bool isAccepted(const QString& line, const QStringList& answers, const JudgingRules& rules);
bool isNearMiss(const QString& line, const QStringList& answers, const JudgingRules& rules);

}

#endif
