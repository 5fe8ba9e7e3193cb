// YAML (yaml-cpp) and CSV (libcsv, RFC 4180): formats with quoting rules of
// their own, read by the libraries made for them.

#include "importer/questionfile_p.h"

#include <csv.h>
#include <yaml-cpp/eventhandler.h>
#include <yaml-cpp/exceptions.h>
#include <yaml-cpp/parser.h>

#include <algorithm>
#include <sstream>

namespace QuestionFile::Detail {

namespace {

QString fromYaml(const std::string& text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

// Parser events to rows as they come: the document is never held as a tree,
// which would take several times the file's size in memory. Depth 1 is the
// root mapping, alternating question and answers; depth 2 a list of answers.
class YamlReader : public YAML::EventHandler
{
public:
    explicit YamlReader(Contents* out) : out(out) {}

    void OnDocumentStart(const YAML::Mark&) override {}
    void OnDocumentEnd() override {}
    void OnNull(const YAML::Mark& mark, YAML::anchor_t) override { item(mark, nullptr, false); }
    void OnAlias(const YAML::Mark& mark, YAML::anchor_t) override { item(mark, nullptr, true); }
    void OnScalar(const YAML::Mark& mark, const std::string&, YAML::anchor_t, const std::string& value) override
    {
        const QString text = fromYaml(value);
        item(mark, &text, false);
    }
    void OnSequenceStart(const YAML::Mark& mark, const std::string&, YAML::anchor_t, YAML::EmitterStyle::value) override
    {
        open(mark, true);
    }
    void OnMapStart(const YAML::Mark& mark, const std::string&, YAML::anchor_t, YAML::EmitterStyle::value) override
    {
        open(mark, false);
    }
    void OnSequenceEnd() override { close(); }
    void OnMapEnd() override { close(); }

private:
    void notAMapping()
    {
        if (out->ok())
            out->error = QStringLiteral("a YAML question file maps each question to a list of its answers");
    }

    void startEntry(const YAML::Mark& mark)
    {
        line = mark.line + 1;
        question.clear();
        answers.clear();
        badKey = badAnswers = false;
    }

    void open(const YAML::Mark& mark, bool sequence)
    {
        if (depth == 0 && sequence)
            notAMapping();
        if (depth == 1 && expectKey) {
            startEntry(mark);
            badKey = true;
        } else if (depth == 1) {
            inAnswers = sequence;
            badAnswers = !sequence;
        } else if (depth == 2 && inAnswers) {
            badAnswers = true;
        }
        ++depth;
    }

    void close()
    {
        if (--depth != 1)
            return;
        if (expectKey) {
            expectKey = false;
        } else {
            inAnswers = false;
            finishEntry();
        }
    }

    void item(const YAML::Mark& mark, const QString* text, bool bad)
    {
        if (depth == 0 && text)
            notAMapping();
        if (depth == 1 && expectKey) {
            startEntry(mark);
            badKey = !text || bad;
            if (text)
                question = *text;
            expectKey = false;
        } else if (depth == 1) {
            badAnswers = bad;
            if (text)
                answers << *text;
            finishEntry();
        } else if (depth == 2 && inAnswers) {
            badAnswers = badAnswers || !text || bad;
            if (text)
                answers << *text;
        }
    }

    void finishEntry()
    {
        expectKey = true;
        if (badKey)
            out->skipped.append({line, QStringLiteral("the question is not a text"), QString()});
        else if (question.compare(QLatin1String("AUTHOR"), Qt::CaseInsensitive) == 0)
            return;
        else if (badAnswers)
            out->skipped.append({line, QStringLiteral("the answers are not a list of texts"), QString()});
        else if (answers.isEmpty())
            out->skipped.append({line, QStringLiteral("no answer"), QString()});
        else
            out->rows.append({line, QString(), question.trimmed(), answers.takeFirst(), answers});
    }

    Contents* out;
    int depth = 0;
    bool expectKey = true;
    bool inAnswers = false;
    int line = 0;
    QString question;
    QStringList answers;
    bool badKey = false;
    bool badAnswers = false;
};

}

void readYaml(const QString& text, Contents* out)
{
    std::istringstream in(text.toStdString());
    YamlReader reader(out);
    try {
        YAML::Parser parser(in);
        parser.HandleNextDocument(reader);
    } catch (const YAML::Exception& error) {
        out->error = error.mark.is_null()
            ? QStringLiteral("YAML error: %1").arg(fromYaml(error.msg))
            : QStringLiteral("line %1: YAML error: %2").arg(error.mark.line + 1).arg(fromYaml(error.msg));
    }
}

namespace {

// What the parser's callbacks build: fields of the record being read, and
// the line it began on. Line ends are LF here; libcsv reports each one
// outside quotes (CSV_REPALL_NL), and those inside quotes are in the fields.
struct CsvReader {
    Contents* out = nullptr;
    QStringList fields;
    bool inRecord = false;
    int line = 1;
    int recordLine = 1;
    bool header = true;
    int question = -1;
    int answer = -1;
    int category = -1;

    void record();
};

void CsvReader::record()
{
    if (header) {
        header = false;
        QStringList names;
        for (const QString& field : fields)
            names << field.trimmed().toLower();
        question = column(names, questionNames);
        answer = column(names, answerNames);
        category = column(names, categoryNames);
        if (question < 0 || answer < 0)
            out->error = QStringLiteral("line %1: the CSV header names no \"question\" and \"answer\" columns")
                             .arg(recordLine);
        return;
    }
    if (fields.size() <= std::max(question, answer)) {
        out->skipped.append({recordLine, QStringLiteral("fewer fields than the header names"), QString()});
        return;
    }
    out->rows.append({recordLine, category >= 0 && category < fields.size() ? fields[category].trimmed() : QString(),
                      fields[question].trimmed(), fields[answer], {}});
}

void csvField(void* data, size_t size, void* state)
{
    auto* reader = static_cast<CsvReader*>(state);
    if (!reader->inRecord) {
        reader->inRecord = true;
        reader->recordLine = reader->line;
    }
    const QString field = QString::fromUtf8(static_cast<const char*>(data), qsizetype(size));
    reader->line += int(field.count(QLatin1Char('\n')));
    reader->fields << field;
}

void csvRecordEnd(int terminator, void* state)
{
    auto* reader = static_cast<CsvReader*>(state);
    if (reader->inRecord && reader->out->ok())
        reader->record();
    reader->inRecord = false;
    reader->fields.clear();
    if (terminator == '\n')
        ++reader->line;
}

// RFC 4180: blanks belong to the field; none is trimmed.
int noSpace(unsigned char)
{
    return 0;
}

}

void readCsv(const QString& text, Contents* out)
{
    csv_parser parser;
    if (csv_init(&parser, CSV_STRICT | CSV_STRICT_FINI | CSV_REPALL_NL) != 0) {
        out->error = QStringLiteral("the CSV reader could not start");
        return;
    }
    csv_set_space_func(&parser, noSpace);
    CsvReader reader;
    reader.out = out;
    const QByteArray bytes = text.toUtf8();
    const size_t parsed = csv_parse(&parser, bytes.constData(), size_t(bytes.size()), csvField, csvRecordEnd, &reader);
    const bool whole = parsed == size_t(bytes.size());
    if (!whole || csv_fini(&parser, csvField, csvRecordEnd, &reader) != 0) {
        if (out->ok())
            out->error = QStringLiteral("line %1: broken CSV quoting (%2)")
                             .arg(reader.line)
                             .arg(QString::fromLatin1(csv_strerror(csv_error(&parser))));
    } else if (reader.header && out->ok()) {
        out->error = QStringLiteral("the CSV file has no header line");
    }
    csv_free(&parser);
}

}
