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

}

// The answer is taken as it stands, blanks and all: the checks reject an
// answer the game cannot match rather than quietly changing it.
void readLines(const QString& text, QChar separator, Contents* out)
{
    const QString what = separator == u'\t' ? QStringLiteral("no tab") : QStringLiteral("no \"%1\"").arg(separator);
    int number = 0;
    for (QStringView line : QStringView(text).split(u'\n')) {
        ++number;
        if (skippable(line))
            continue;
        if (separator == u'\t') {
            const QList<QStringView> fields = line.split(u'\t');
            if (fields.size() < 2)
                out->skipped.append({number, what + QStringLiteral(" between question and answer"), QString()});
            else if (fields.size() > 3)
                out->skipped.append({number, QStringLiteral("more than three tab-separated fields"), QString()});
            else
                out->rows.append({number, fields.size() == 3 ? fields[2].trimmed().toString() : QString(),
                                  fields[0].trimmed().toString(), fields[1].toString(), {}});
            continue;
        }
        // Questions hold the separator far more often than answers do.
        const qsizetype at = line.lastIndexOf(separator);
        if (at < 0)
            out->skipped.append({number, what + QStringLiteral(" between question and answer"), QString()});
        else
            out->rows.append({number, QString(), line.left(at).trimmed().toString(), line.mid(at + 1).toString(), {}});
    }
}

namespace {

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

void finish(Block* block, const QString& category, Contents* out)
{
    if (block->problemLine)
        out->skipped.append({block->problemLine, block->problem, category});
    else if (!block->answerLine && block->questionLine)
        out->skipped.append({block->questionLine, QStringLiteral("a Question line without an Answer line"), category});
    else if (!block->questionLine && block->answerLine)
        out->skipped.append({block->answerLine, QStringLiteral("an Answer line without a Question line"), category});
    else if (!block->isEmpty())
        out->rows.append({block->questionLine, category, block->question.trimmed(), block->answer, {}});
    *block = Block();
}

}

void readBlocks(const QString& text, Contents* out)
{
    static const QStringList ignored = {QStringLiteral("regexp"), QStringLiteral("author"), QStringLiteral("level"),
                                        QStringLiteral("comment"), QStringLiteral("tip")};
    QString category;
    Block block;
    int number = 0;
    for (QStringView line : QStringView(text).split(u'\n')) {
        ++number;
        if (line.trimmed().isEmpty()) {
            finish(&block, category, out);
            continue;
        }
        if (line.startsWith(u'#'))
            continue;
        const qsizetype colon = line.indexOf(u':');
        const QString label = colon < 0 ? QString() : line.left(colon).trimmed().toString().toLower();
        if (label == QLatin1String("category")) {
            category = labelValue(line, colon).trimmed();
        } else if (label == QLatin1String("question")) {
            // Blocks run together without a blank line still come apart.
            if (block.questionLine && block.answerLine)
                finish(&block, category, out);
            if (block.questionLine)
                block.fail(number, QStringLiteral("a second Question line in one block"));
            block.questionLine = number;
            block.question = labelValue(line, colon);
        } else if (label == QLatin1String("answer")) {
            if (block.answerLine)
                block.fail(number, QStringLiteral("a second Answer line in one block"));
            block.answerLine = number;
            block.answer = labelValue(line, colon);
        } else if (!ignored.contains(label)) {
            block.fail(number, colon < 0 ? QStringLiteral("a line without a label")
                                         : QStringLiteral("an unknown label \"%1\"").arg(line.left(colon).trimmed()));
        }
    }
    finish(&block, category, out);
}

}
