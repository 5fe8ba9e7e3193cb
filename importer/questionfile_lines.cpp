// The line-based formats: one question a line, and blocks of labelled lines.

#include "importer/questionfile_p.h"

namespace QuestionFile::Detail {

namespace {

// The blanks after a label's colon are the label's; the rest is the value.
QString labelValue(QStringView line, qsizetype colon)
{
    QStringView value = line.mid(colon + 1);
    while (!value.isEmpty() && (value.front() == u' ' || value.front() == u'\t'))
        value = value.mid(1);
    return value.toString();
}

QString tooLongReason()
{
    return QStringLiteral("a line of more than %1 characters").arg(maxLineLength);
}

QString separatorName(QChar separator)
{
    return separator == u'\t' ? QStringLiteral("tab") : QStringLiteral("\"%1\"").arg(separator);
}

// The answer is taken as it stands, blanks and all; the plan trims it.
class LineReader : public FormatReader
{
public:
    LineReader(TextInput* input, QChar separator, bool alternatives)
        : input(input)
        , separator(separator)
        , alternatives(alternatives)
        , missing(QStringLiteral("no %1 between question and answer").arg(separatorName(separator)))
        , commented(QStringLiteral("starts with \"#\" as a comment does, but holds a %1 as a question does")
                        .arg(separatorName(separator)))
    {
    }

    bool read(int max, QList<Row>* rows, QList<Skip>* skipped, QString*) override
    {
        QStringView line;
        bool tooLong = false;
        int produced = 0;
        while (produced < max && input->readLine(&line, &tooLong)) {
            ++number;
            if (tooLong) {
                addSkip(skipped, {number, tooLongReason(), QString()});
                ++produced;
                continue;
            }
            if (line.trimmed().isEmpty())
                continue;
            if (line.startsWith(u'#')) {
                // "#1 on the list..." may be a question: it is named, not lost.
                if (line.contains(separator)) {
                    addSkip(skipped, {number, commented, QString()});
                    ++produced;
                }
                continue;
            }
            ++produced;
            const QString damaged = damage(line, input->encoding());
            if (!damaged.isEmpty()) {
                addSkip(skipped, {number, damaged, QString()});
            } else if (separator == u'\t') {
                const QList<QStringView> fields = line.split(u'\t');
                if (fields.size() < 2)
                    addSkip(skipped, {number, missing, QString()});
                else if (fields.size() > 3)
                    addSkip(skipped, {number, QStringLiteral("more than three tab-separated fields"), QString()});
                else
                    rows->append({number, fields.size() == 3 ? fields[2].trimmed().toString() : QString(),
                                  fields[0].trimmed().toString(), fields[1].toString(), {}, {}});
            } else {
                const qsizetype first = line.indexOf(separator);
                if (first < 0)
                    addSkip(skipped, {number, missing, QString()});
                else
                    rows->append(split(line, first));
            }
        }
        return produced > 0;
    }

private:
    // question*answer*answer when the text before the first separator reads
    // as a question (or the user says so); else the last separator splits,
    // since questions hold the separator ("6*7?") far more often than
    // answers do.
    Row split(QStringView line, qsizetype first) const
    {
        const qsizetype last = line.lastIndexOf(separator);
        if (first == last)
            return {number, QString(), line.left(first).trimmed().toString(), line.mid(first + 1).toString(), {}, {}};
        const QStringView head = line.left(first).trimmed();
        if (alternatives || head.endsWith(u'?')) {
            QStringList answers;
            for (QStringView answer : line.mid(first + 1).split(separator)) {
                if (!answer.trimmed().isEmpty())
                    answers << answer.toString();
            }
            const QString answer = answers.isEmpty() ? QString() : answers.takeFirst();
            return {number, QString(), head.toString(), answer, answers,
                    QStringLiteral("more than one %1: read as question%2answer%2further answers")
                        .arg(separatorName(separator), separator)};
        }
        return {number, QString(), line.left(last).trimmed().toString(), line.mid(last + 1).toString(), {},
                QStringLiteral("more than one %1: the last one ends the question").arg(separatorName(separator))};
    }

    TextInput* input;
    QChar separator;
    bool alternatives;
    QString missing;
    QString commented;
    int number = 0;
};

// An answer's essential part marked between "#" signs ("Leonardo #da
// Vinci#"): the answer without the marks, and the marked parts as further
// answers. A lone "#" ("C#") is no mark.
void unmark(QString* answer, QStringList* accepted)
{
    if (answer->count(u'#') < 2)
        return;
    QString plain;
    QStringList marked;
    qsizetype from = 0;
    for (;;) {
        const qsizetype open = answer->indexOf(u'#', from);
        const qsizetype close = open < 0 ? -1 : answer->indexOf(u'#', open + 1);
        if (close < 0) {
            plain += QStringView(*answer).mid(from);
            break;
        }
        plain += QStringView(*answer).mid(from, open - from);
        const QStringView part = QStringView(*answer).mid(open + 1, close - open - 1);
        plain += part;
        marked << part.trimmed().toString();
        from = close + 1;
    }
    *answer = plain;
    const QString whole = plain.trimmed();
    for (const QString& part : std::as_const(marked)) {
        if (!part.isEmpty() && part.compare(whole, Qt::CaseInsensitive) != 0)
            *accepted << part;
    }
}

struct Block {
    int questionLine = 0;
    int answerLine = 0;
    QString question;
    QString answer;
    int problemLine = 0;
    QString problem;

    bool isEmpty() const { return !questionLine && !answerLine && !problemLine; }
    void fail(int line, const QString& why)
    {
        if (!problemLine) {
            problemLine = line;
            problem = why;
        }
    }
};

class BlockReader : public FormatReader
{
public:
    explicit BlockReader(TextInput* input) : input(input) {}

    bool read(int max, QList<Row>* rows, QList<Skip>* skipped, QString*) override
    {
        // The quiz format's other keys: nothing the game uses.
        static const QStringList known = {QStringLiteral("Regexp"), QStringLiteral("Author"), QStringLiteral("Level"),
                                          QStringLiteral("Comment"), QStringLiteral("Tip"), QStringLiteral("Tipcycle"),
                                          QStringLiteral("Score")};
        QStringView line;
        bool tooLong = false;
        produced = 0;
        while (produced < max && !ended) {
            if (!input->readLine(&line, &tooLong)) {
                ended = true;
                finish(rows, skipped);
                break;
            }
            ++number;
            if (tooLong) {
                block.fail(number, tooLongReason());
                continue;
            }
            if (line.trimmed().isEmpty()) {
                finish(rows, skipped);
                continue;
            }
            if (line.startsWith(u'#'))
                continue;
            const qsizetype colon = line.indexOf(u':');
            const QString label = colon < 0 ? QString() : line.left(colon).trimmed().toString().toLower();
            if (!label.isEmpty()) {
                const QString key = label.at(0).toUpper() + label.mid(1);
                if (known.contains(key)) {
                    ++ignored[key];
                    continue;
                }
            }
            const QString damaged = damage(line, input->encoding());
            if (label == QLatin1String("category")) {
                category = labelValue(line, colon).trimmed();
                categoryProblem = damaged.isEmpty()
                    ? QString()
                    : QStringLiteral("its category (line %1) holds %2").arg(number).arg(damaged);
            } else if (label == QLatin1String("question")) {
                // Blocks run together without a blank line still come apart.
                if (block.questionLine && block.answerLine)
                    finish(rows, skipped);
                if (block.questionLine)
                    block.fail(number, QStringLiteral("a second Question line in one block"));
                block.questionLine = number;
                block.question = labelValue(line, colon);
            } else if (label == QLatin1String("answer")) {
                if (block.answerLine)
                    block.fail(number, QStringLiteral("a second Answer line in one block"));
                block.answerLine = number;
                block.answer = labelValue(line, colon);
            } else if (damaged.isEmpty()) {
                block.fail(number, colon < 0 ? QStringLiteral("a line without a label")
                                             : QStringLiteral("an unknown label \"%1\"").arg(line.left(colon).trimmed()));
            }
            if (!damaged.isEmpty() && label != QLatin1String("category"))
                block.fail(number, damaged);
        }
        return produced > 0;
    }

private:
    void finish(QList<Row>* rows, QList<Skip>* skipped)
    {
        if (block.isEmpty())
            return;
        ++produced;
        const QString name = categoryProblem.isEmpty() ? category : QString();
        if (block.problemLine)
            addSkip(skipped, {block.problemLine, block.problem, name});
        else if (!block.answerLine)
            addSkip(skipped, {block.questionLine, QStringLiteral("a Question line without an Answer line"), name});
        else if (!block.questionLine)
            addSkip(skipped, {block.answerLine, QStringLiteral("an Answer line without a Question line"), name});
        else if (!categoryProblem.isEmpty())
            addSkip(skipped, {block.questionLine, categoryProblem, QString()});
        else {
            Row row{block.questionLine, category, block.question.trimmed(), block.answer, {}, {}};
            unmark(&row.answer, &row.accepted);
            rows->append(std::move(row));
        }
        block = Block();
    }

    TextInput* input;
    QString category;
    // Why the rows of the current category cannot be imported.
    QString categoryProblem;
    Block block;
    int number = 0;
    int produced = 0;
    bool ended = false;
};

// "#Q question" (which may go on over further lines, blank ones too, up to
// its answer), "^ answer", then the choices "A ...", "B ...", which are not
// answers the room types.
class ChoicesReader : public FormatReader
{
public:
    ChoicesReader(TextInput* input, const QString& category) : input(input), category(category) {}

    bool read(int max, QList<Row>* rows, QList<Skip>* skipped, QString*) override
    {
        QStringView line;
        bool tooLong = false;
        produced = 0;
        while (produced < max && !ended) {
            if (!input->readLine(&line, &tooLong)) {
                ended = true;
                finish(rows, skipped);
                break;
            }
            ++number;
            if (tooLong) {
                fail(number, tooLongReason());
                continue;
            }
            if (line.startsWith(u"#Q")) {
                finish(rows, skipped);
                questionLine = number;
                question = line.mid(2).trimmed().toString();
                inQuestion = true;
            } else if (line.startsWith(u'^')) {
                if (!questionLine)
                    addSkip(skipped, {number, QStringLiteral("an answer (^) without a #Q question"), category});
                else if (answerLine)
                    fail(number, QStringLiteral("a second answer (^) for one question"));
                else
                    answerLine = number;
                // The blank after the mark is the format's, as after a label's colon.
                answer = labelValue(line, 0);
                inQuestion = false;
            } else if (inQuestion && !line.trimmed().isEmpty()) {
                question += QLatin1Char(' ') + line.trimmed().toString();
            }
            const QString damaged = damage(line, input->encoding());
            if (!damaged.isEmpty() && questionLine)
                fail(number, damaged);
        }
        return produced > 0;
    }

private:
    void fail(int line, const QString& why)
    {
        if (!problemLine) {
            problemLine = line;
            problem = why;
        }
    }

    void finish(QList<Row>* rows, QList<Skip>* skipped)
    {
        if (questionLine) {
            ++produced;
            if (problemLine)
                addSkip(skipped, {problemLine, problem, category});
            else if (!answerLine)
                addSkip(skipped, {questionLine, QStringLiteral("a #Q question without an answer (^)"), category});
            else
                rows->append({questionLine, category, question, answer, {}, {}});
        }
        questionLine = answerLine = problemLine = 0;
        inQuestion = false;
    }

    TextInput* input;
    QString category;
    int number = 0;
    int produced = 0;
    bool ended = false;
    int questionLine = 0;
    int answerLine = 0;
    int problemLine = 0;
    bool inQuestion = false;
    QString question;
    QString answer;
    QString problem;
};

}

std::unique_ptr<FormatReader> choicesReader(TextInput* input, const QString& category)
{
    return std::make_unique<ChoicesReader>(input, category);
}

std::unique_ptr<FormatReader> lineReader(TextInput* input, QChar separator, bool alternatives)
{
    return std::make_unique<LineReader>(input, separator, alternatives);
}

std::unique_ptr<FormatReader> blockReader(TextInput* input)
{
    return std::make_unique<BlockReader>(input);
}

}
