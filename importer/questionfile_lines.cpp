// The line-based formats: one question a line, and blocks of labelled lines.

#include "importer/questionfile_p.h"

namespace QuestionFile::Detail {

namespace {

bool skippable(QStringView line)
{
    return line.startsWith(u'#') || line.trimmed().isEmpty();
}

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

// The answer is taken as it stands, blanks and all: the checks reject an
// answer the game cannot match rather than quietly changing it.
class LineReader : public FormatReader
{
public:
    LineReader(TextInput* input, QChar separator)
        : input(input)
        , separator(separator)
        , missing(separator == u'\t' ? QStringLiteral("no tab between question and answer")
                                     : QStringLiteral("no \"%1\" between question and answer").arg(separator))
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
            if (skippable(line))
                continue;
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
                                  fields[0].trimmed().toString(), fields[1].toString(), {}});
            } else {
                // Questions hold the separator far more often than answers do.
                const qsizetype at = line.lastIndexOf(separator);
                if (at < 0)
                    addSkip(skipped, {number, missing, QString()});
                else
                    rows->append({number, QString(), line.left(at).trimmed().toString(), line.mid(at + 1).toString(), {}});
            }
        }
        return produced > 0;
    }

private:
    TextInput* input;
    QChar separator;
    QString missing;
    int number = 0;
};

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
        static const QStringList ignored = {QStringLiteral("regexp"), QStringLiteral("author"), QStringLiteral("level"),
                                            QStringLiteral("comment"), QStringLiteral("tip")};
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
            if (ignored.contains(label))
                continue;
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
        else
            rows->append({block.questionLine, category, block.question.trimmed(), block.answer, {}});
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

}

std::unique_ptr<FormatReader> lineReader(TextInput* input, QChar separator)
{
    return std::make_unique<LineReader>(input, separator);
}

std::unique_ptr<FormatReader> blockReader(TextInput* input)
{
    return std::make_unique<BlockReader>(input);
}

}
