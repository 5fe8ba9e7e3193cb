// YAML (yaml-cpp) and CSV (libcsv, RFC 4180): formats with quoting rules of
// their own, read by the libraries made for them.

#include "importer/questionfile_p.h"

#include <csv.h>
#include <yaml-cpp/eventhandler.h>
#include <yaml-cpp/exceptions.h>
#include <yaml-cpp/parser.h>

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <functional>
#include <istream>
#include <mutex>
#include <streambuf>
#include <thread>

namespace QuestionFile::Detail {

namespace {

// Characters handed to a parser at a time.
constexpr qsizetype pieceLength = 64 * 1024;

QString fromYaml(const std::string& text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

// The decoded text as UTF-8 for yaml-cpp, a piece at a time.
class Utf8Pieces : public std::streambuf
{
public:
    explicit Utf8Pieces(TextInput* input) : input(input) {}

protected:
    int_type underflow() override
    {
        piece = input->read(pieceLength).toUtf8();
        if (piece.isEmpty())
            return traits_type::eof();
        setg(piece.data(), piece.data(), piece.data() + piece.size());
        return traits_type::to_int_type(piece.front());
    }

private:
    TextInput* input;
    QByteArray piece;
};

// Where the YAML parser's rows go, from the parser's thread.
class YamlSink
{
public:
    virtual ~YamlSink() = default;
    virtual void row(Row row) = 0;
    virtual void skip(Skip skip) = 0;
    virtual void ignore(const QString& key) = 0;
};

// Parser events to rows as they come: the document is never held as a tree,
// which would take several times the file's size in memory. Depth 1 is the
// root mapping, alternating question and answers; depth 2 a list of answers.
class YamlHandler : public YAML::EventHandler
{
public:
    YamlHandler(const QString& encoding, YamlSink* sink, QString* error) : encoding(encoding), sink(sink), error(error)
    {
    }

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
        if (error->isEmpty())
            *error = QStringLiteral("a YAML question file maps each question to a list of its answers");
    }

    void startEntry(const YAML::Mark& mark)
    {
        line = mark.line + 1;
        // A new list each time: the last one went into a row.
        question.clear();
        answers = QStringList();
        answerLines.clear();
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

    void addAnswer(const YAML::Mark& mark, const QString& text)
    {
        answers << text;
        answerLines << mark.line + 1;
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
                addAnswer(mark, *text);
            finishEntry();
        } else if (depth == 2 && inAnswers) {
            // "- " or "- ~" is an empty answer, which the plan reports.
            badAnswers = badAnswers || bad;
            addAnswer(mark, text ? *text : QString());
        }
    }

    void finishEntry()
    {
        expectKey = true;
        if (badKey) {
            sink->skip({line, QStringLiteral("the question is not a text"), QString()});
            return;
        }
        // A trivia list's own keys, whatever their values.
        static const QStringList listKeys = {QStringLiteral("AUTHOR"), QStringLiteral("DESCRIPTION"),
                                             QStringLiteral("CONFIG")};
        const QString key = question.trimmed().toUpper();
        if (listKeys.contains(key)) {
            sink->ignore(key);
            return;
        }
        if (badAnswers) {
            sink->skip({line, QStringLiteral("the answers are not a list of texts"), QString()});
            return;
        }
        if (answers.isEmpty()) {
            sink->skip({line, QStringLiteral("no answer"), QString()});
            return;
        }
        QString damaged = damage(question, encoding);
        int damagedLine = line;
        for (qsizetype i = 0; i < answers.size() && damaged.isEmpty(); ++i) {
            damaged = damage(answers.at(i), encoding);
            damagedLine = answerLines.at(i);
        }
        if (!damaged.isEmpty()) {
            sink->skip({damagedLine, damaged, QString()});
            return;
        }
        const QString first = answers.takeFirst();
        sink->row({line, QString(), question.trimmed(), first, answers, {}});
    }

    QString encoding;
    YamlSink* sink;
    QString* error;
    int depth = 0;
    bool expectKey = true;
    bool inAnswers = false;
    int line = 0;
    QString question;
    QStringList answers;
    QList<int> answerLines;
    bool badKey = false;
    bool badAnswers = false;
};

// yaml-cpp parses a whole document in one call, so it runs on a thread of
// its own, which waits whenever a chunk of rows is read and not yet handed
// out: a file of any size is never held. Only that thread touches the input
// until it ends.
class YamlReader : public FormatReader, private YamlSink
{
public:
    explicit YamlReader(TextInput* input) : input(input) {}

    ~YamlReader() override
    {
        {
            std::lock_guard<std::mutex> lock(mutex);
            cancelled = true;
            changed.notify_all();
        }
        if (parser.joinable())
            parser.join();
    }

    bool read(int max, QList<Row>* rows, QList<Skip>* skipped, QString* error) override
    {
        if (!parser.joinable())
            parser = std::thread([this] { parse(); });
        std::unique_lock<std::mutex> lock(mutex);
        wanted = std::max(max, 1);
        changed.notify_all();
        changed.wait(lock, [this] { return finished || qsizetype(queue.size() + skips.size()) >= wanted; });
        ignored = ignoredKeys;
        // What was read before a fault comes out first, however the threads
        // ran.
        if (queue.empty() && skips.isEmpty()) {
            *error = failure;
            return false;
        }
        // The lines skipped come out before the rows read with them; the
        // pipeline sorts its report.
        for (Skip& skip : skips)
            addSkip(skipped, std::move(skip));
        skips.clear();
        for (int taken = 0; taken < max && !queue.empty(); ++taken) {
            rows->append(std::move(queue.front()));
            queue.pop_front();
        }
        changed.notify_all();
        return true;
    }

private:
    struct Cancelled {};

    // On the parser's thread: waits while the reader has enough to hand out.
    void handOver(const std::function<void()>& add)
    {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [this] { return cancelled || qsizetype(queue.size() + skips.size()) < wanted; });
        if (cancelled)
            throw Cancelled();
        add();
        if (qsizetype(queue.size() + skips.size()) >= wanted)
            changed.notify_all();
    }
    void row(Row row) override { handOver([&] { queue.push_back(std::move(row)); }); }
    void skip(Skip skip) override { handOver([&] { addSkip(&skips, std::move(skip)); }); }
    void ignore(const QString& key) override
    {
        std::lock_guard<std::mutex> lock(mutex);
        ++ignoredKeys[key];
    }

    void parse()
    {
        QString error;
        try {
            Utf8Pieces pieces(input);
            std::istream in(&pieces);
            YamlHandler handler(input->encoding(), this, &error);
            YAML::Parser yaml(in);
            yaml.HandleNextDocument(handler);
        } catch (const Cancelled&) {
            return;
        } catch (const YAML::Exception& failure) {
            error = failure.mark.is_null()
                ? QStringLiteral("YAML error: %1").arg(fromYaml(failure.msg))
                : QStringLiteral("line %1: YAML error: %2").arg(failure.mark.line + 1).arg(fromYaml(failure.msg));
        }
        if (error.isEmpty())
            error = input->error();
        std::lock_guard<std::mutex> lock(mutex);
        failure = error;
        finished = true;
        changed.notify_all();
    }

    TextInput* input;
    std::thread parser;
    std::mutex mutex;
    std::condition_variable changed;
    // Guarded by mutex:
    std::deque<Row> queue;
    QList<Skip> skips;
    QMap<QString, int> ignoredKeys;
    qsizetype wanted = 1;
    bool finished = false;
    bool cancelled = false;
    QString failure;
};

// What the parser's callbacks build: fields of the record being read, and
// the line each began on. Line ends are LF here; libcsv reports each one
// outside quotes (CSV_REPALL_NL), and those inside quotes are in the fields.
struct CsvRecords {
    QString encoding;
    QList<Row>* rows = nullptr;
    QList<Skip>* skipped = nullptr;
    QString* error = nullptr;
    int produced = 0;
    QStringList fields;
    QList<int> fieldLines;
    bool inRecord = false;
    int line = 1;
    int recordLine = 1;
    bool header = true;
    Options options;
    int question = -1;
    int answer = -1;
    int category = -1;

    void record();
};

void CsvRecords::record()
{
    if (header) {
        header = false;
        QStringList names;
        for (const QString& field : std::as_const(fields))
            names << field.trimmed().toLower();
        const auto wanted = [](const QStringList& known, const QString& given) {
            return given.isEmpty() ? known : QStringList{given.trimmed().toLower()};
        };
        question = column(names, wanted(questionNames, options.questionColumn));
        answer = column(names, wanted(answerNames, options.answerColumn));
        category = column(names, wanted(categoryNames, options.categoryColumn));
        if (question < 0 || answer < 0)
            *error = QStringLiteral("line %1: the CSV header names no \"%2\" and \"%3\" columns")
                         .arg(recordLine)
                         .arg(options.questionColumn.isEmpty() ? QStringLiteral("question") : options.questionColumn,
                              options.answerColumn.isEmpty() ? QStringLiteral("answer") : options.answerColumn);
        else if (!options.categoryColumn.isEmpty() && category < 0)
            *error = QStringLiteral("line %1: the CSV header names no \"%2\" column")
                         .arg(recordLine)
                         .arg(options.categoryColumn);
        return;
    }
    ++produced;
    if (fields.size() <= std::max(question, answer)) {
        addSkip(skipped, {recordLine, QStringLiteral("fewer fields than the header names"), QString()});
        return;
    }
    const bool hasCategory = category >= 0 && category < fields.size();
    for (int index : {question, answer, hasCategory ? category : -1}) {
        const QString damaged = index < 0 ? QString() : damage(fields.at(index), encoding);
        if (!damaged.isEmpty()) {
            addSkip(skipped, {fieldLines.at(index), damaged, QString()});
            return;
        }
    }
    rows->append({recordLine, hasCategory ? fields[category].trimmed() : QString(), fields[question].trimmed(),
                  fields[answer], {}, {}});
}

void csvField(void* data, size_t size, void* state)
{
    auto* records = static_cast<CsvRecords*>(state);
    if (!records->inRecord) {
        records->inRecord = true;
        records->recordLine = records->line;
    }
    const QString field = QString::fromUtf8(static_cast<const char*>(data), qsizetype(size));
    records->fieldLines << records->line;
    records->line += int(field.count(QLatin1Char('\n')));
    records->fields << field;
}

void csvRecordEnd(int terminator, void* state)
{
    auto* records = static_cast<CsvRecords*>(state);
    if (records->inRecord && records->error->isEmpty())
        records->record();
    records->inRecord = false;
    records->fields.clear();
    records->fieldLines.clear();
    if (terminator == '\n')
        ++records->line;
}

// RFC 4180: blanks belong to the field; none is trimmed.
int noSpace(unsigned char)
{
    return 0;
}

// The trivia web service's answer, a question at a time: a scanner finds
// the top object's values and the items of its "results" list, and the
// toolkit's parser reads each alone, so the file is never held. A
// question's place in "results" counts as its line.
class JsonReader : public FormatReader
{
public:
    explicit JsonReader(TextInput* input) : input(input) {}

    bool read(int max, QList<Row>* rows, QList<Skip>* skipped, QString* error) override
    {
        int produced = 0;
        QString item;
        while (produced < max && error->isEmpty() && nextItem(&item, error)) {
            ++produced;
            entry(++items, item, rows, skipped, error);
        }
        if (error->isEmpty() && produced == 0 && state == State::Done && !sawResults)
            *error = QStringLiteral("the JSON holds no \"results\" list");
        return error->isEmpty() && produced > 0;
    }

private:
    enum class State { Start, Key, AfterValue, Item, AfterItem, Done };

    // One value as the toolkit reads it, or an error naming its line.
    QJsonValue parseValue(const QString& text, int firstLine, QString* error)
    {
        QJsonParseError failure;
        const QJsonDocument document = QJsonDocument::fromJson(('[' + text + ']').toUtf8(), &failure);
        if (failure.error == QJsonParseError::NoError)
            return document.array().at(0);
        // The offset counts UTF-8 bytes of the wrapped text.
        const QByteArray bytes = text.toUtf8();
        const qsizetype at = qBound(qsizetype(0), qsizetype(failure.offset) - 1, bytes.size());
        *error = QStringLiteral("line %1: JSON error: %2")
                     .arg(firstLine + int(bytes.left(at).count('\n')))
                     .arg(failure.errorString());
        return QJsonValue();
    }

    void entry(int line, const QString& text, QList<Row>* rows, QList<Skip>* skipped, QString* error)
    {
        const QJsonValue value = parseValue(text, valueLine, error);
        if (!error->isEmpty())
            return;
        if (!value.isObject()) {
            addSkip(skipped, {line, QStringLiteral("not an object with a question"), QString()});
            return;
        }
        const QJsonObject object = value.toObject();
        const auto field = [&object](const char* key) {
            const QJsonValue v = object.value(QLatin1String(key));
            return v.isString() ? decodeHtmlEntities(v.toString()) : v.toVariant().toString();
        };
        Row row{line, field("category").trimmed(), field("question").trimmed(), field("correct_answer"), {}, {}};
        for (const QString* text : {&row.category, &row.question, &row.answer}) {
            const QString damaged = damage(*text, input->encoding());
            if (!damaged.isEmpty()) {
                addSkip(skipped, {line, damaged, QString()});
                return;
            }
        }
        rows->append(std::move(row));
    }

    // The next item of "results" into *item; false at the end or on an error.
    bool nextItem(QString* item, QString* error)
    {
        QString value;
        for (;;) {
            switch (state) {
            case State::Start:
                if (!expect(u'{', error))
                    return false;
                state = peekAfterBlanks() == u'}' ? (take(), State::AfterValue) : State::Key;
                if (state == State::AfterValue)
                    return finish(error);
                break;
            case State::Key: {
                if (!scanValue(&value, error))
                    return false;
                const QJsonValue key = parseValue(value, valueLine, error);
                if (!error->isEmpty())
                    return false;
                if (!key.isString())
                    return fail(error, QStringLiteral("a key is not a text"));
                if (!expect(u':', error))
                    return false;
                if (key.toString() == QLatin1String("results") && !sawResults && peekAfterBlanks() == u'[') {
                    sawResults = true;
                    take();
                    state = peekAfterBlanks() == u']' ? (take(), State::AfterValue) : State::Item;
                    break;
                }
                // Any other value is read, to be sure the file is sound.
                if (!scanValue(&value, error))
                    return false;
                parseValue(value, valueLine, error);
                if (!error->isEmpty())
                    return false;
                state = State::AfterValue;
                break;
            }
            case State::AfterValue: {
                const QChar next = peekAfterBlanks();
                take();
                if (next == u',') {
                    state = State::Key;
                    break;
                }
                if (next == u'}')
                    return finish(error);
                return fail(error, next.isNull() ? QStringLiteral("unterminated object")
                                                 : QStringLiteral("missing value separator"));
            }
            case State::Item:
                if (!scanValue(item, error))
                    return false;
                state = State::AfterItem;
                return true;
            case State::AfterItem: {
                const QChar next = peekAfterBlanks();
                take();
                if (next == u',')
                    state = State::Item;
                else if (next == u']')
                    state = State::AfterValue;
                else
                    return fail(error, next.isNull() ? QStringLiteral("unterminated array")
                                                     : QStringLiteral("missing value separator"));
                break;
            }
            case State::Done:
                return false;
            }
        }
    }

    // Only blanks may follow the top object.
    bool finish(QString* error)
    {
        state = State::Done;
        if (!peekAfterBlanks().isNull())
            return fail(error, QStringLiteral("garbage at the end of the document"));
        return false;
    }

    bool fail(QString* error, const QString& reason)
    {
        if (error->isEmpty())
            *error = input->error().isEmpty() ? QStringLiteral("line %1: JSON error: %2").arg(line).arg(reason)
                                              : input->error();
        state = State::Done;
        return false;
    }

    bool expect(QChar c, QString* error)
    {
        if (peekAfterBlanks() != c)
            return fail(error, QStringLiteral("expected \"%1\"").arg(c));
        take();
        return true;
    }

    // The character at the read position, null at the end; more text is
    // read as needed.
    QChar peek()
    {
        if (position >= text.size()) {
            text = input->read(pieceLength).toString();
            position = 0;
        }
        return position < text.size() ? text.at(position) : QChar();
    }
    QChar take()
    {
        const QChar c = peek();
        if (!c.isNull())
            ++position;
        if (c == u'\n')
            ++line;
        return c;
    }
    QChar peekAfterBlanks()
    {
        for (QChar c = peek(); c == u' ' || c == u'\t' || c == u'\n' || c == u'\r'; c = peek())
            take();
        return peek();
    }

    // One whole value's text, strings and nesting followed but not checked:
    // the toolkit's parser checks it.
    bool scanValue(QString* value, QString* error)
    {
        value->clear();
        const QChar first = peekAfterBlanks();
        valueLine = line;
        if (first.isNull())
            return fail(error, QStringLiteral("unterminated object"));
        const bool scalar = first != u'"' && first != u'{' && first != u'[';
        int depth = 0;
        bool inString = false;
        bool escaped = false;
        for (;;) {
            if (peek().isNull())
                return fail(error, inString ? QStringLiteral("unterminated string")
                                            : QStringLiteral("unterminated object"));
            // The rest of the piece at hand, a span at a time.
            const qsizetype from = position;
            bool ended = false;
            for (; position < text.size() && !ended; ++position) {
                const char16_t c = text.at(position).unicode();
                if (c == u'\n')
                    ++line;
                if (inString) {
                    if (escaped)
                        escaped = false;
                    else if (c == u'\\')
                        escaped = true;
                    else if (c == u'"')
                        inString = false, ended = depth == 0;
                } else if (scalar) {
                    if (c == u',' || c == u'}' || c == u']' || c == u' ' || c == u'\n' || c == u'\t' || c == u'\r') {
                        if (c == u'\n')
                            --line;
                        break;
                    }
                } else if (c == u'"') {
                    inString = true;
                } else if (c == u'{' || c == u'[') {
                    ++depth;
                } else if (c == u'}' || c == u']') {
                    ended = --depth <= 0;
                }
            }
            value->append(QStringView(text).mid(from, position - from));
            if (value->size() > maxLineLength)
                return fail(error, QStringLiteral("a value of more than %1 MB").arg(maxLineLength / (1024 * 1024)));
            if (scalar && position < text.size() && value->isEmpty())
                return fail(error, QStringLiteral("illegal value"));
            if (ended || (scalar && position < text.size()))
                return true;
        }
    }

    TextInput* input;
    State state = State::Start;
    bool sawResults = false;
    int items = 0;
    int line = 1;
    int valueLine = 1;
    QString text;
    qsizetype position = 0;
};

class CsvReader : public FormatReader
{
public:
    CsvReader(TextInput* input, const Options& options, QChar separator) : input(input)
    {
        started = csv_init(&parser, CSV_STRICT | CSV_STRICT_FINI | CSV_REPALL_NL) == 0;
        if (started) {
            csv_set_space_func(&parser, noSpace);
            csv_set_delim(&parser, char(separator.unicode()));
        }
        records.encoding = input->encoding();
        records.options = options;
    }
    ~CsvReader() override
    {
        if (started)
            csv_free(&parser);
    }

    bool read(int max, QList<Row>* rows, QList<Skip>* skipped, QString* error) override
    {
        if (!started) {
            *error = QStringLiteral("the CSV reader could not start");
            return false;
        }
        if (ended)
            return false;
        records.rows = rows;
        records.skipped = skipped;
        records.error = error;
        records.produced = 0;
        while (records.produced < max && error->isEmpty()) {
            const QByteArray piece = input->read(pieceLength).toUtf8();
            if (piece.isEmpty()) {
                ended = true;
                finish(error);
                break;
            }
            const size_t parsed = csv_parse(&parser, piece.constData(), size_t(piece.size()), csvField, csvRecordEnd,
                                            &records);
            if (parsed != size_t(piece.size()))
                broken(error);
            // A field in quotes that never ends would be held whole.
            else if (qsizetype(parser.entry_pos) > maxLineLength)
                *error = QStringLiteral("line %1: a field of more than %2 MB; is a quote left open?")
                             .arg(records.line)
                             .arg(maxLineLength / (1024 * 1024));
        }
        return error->isEmpty() && records.produced > 0;
    }

private:
    void broken(QString* error)
    {
        if (error->isEmpty())
            *error = QStringLiteral("line %1: broken CSV quoting (%2)")
                         .arg(records.line)
                         .arg(QString::fromLatin1(csv_strerror(csv_error(&parser))));
    }

    void finish(QString* error)
    {
        if (!input->error().isEmpty())
            return;
        if (csv_fini(&parser, csvField, csvRecordEnd, &records) != 0)
            broken(error);
        else if (records.header && error->isEmpty())
            *error = QStringLiteral("the CSV file has no header line");
    }

    TextInput* input;
    csv_parser parser{};
    bool started = false;
    bool ended = false;
    CsvRecords records;
};

}

std::unique_ptr<FormatReader> yamlReader(TextInput* input)
{
    return std::make_unique<YamlReader>(input);
}

std::unique_ptr<FormatReader> csvReader(TextInput* input, const Options& options, QChar separator)
{
    return std::make_unique<CsvReader>(input, options, separator);
}

std::unique_ptr<FormatReader> jsonReader(TextInput* input)
{
    return std::make_unique<JsonReader>(input);
}

namespace {

// "eacute", "Uuml", "ccedil", ...: the letter with its combining mark.
QChar accented(const QString& name)
{
    static const QHash<QString, QChar> single = {
        {QStringLiteral("szlig"), QChar(0xdf)}, {QStringLiteral("aelig"), QChar(0xe6)},
        {QStringLiteral("AElig"), QChar(0xc6)}, {QStringLiteral("oslash"), QChar(0xf8)},
        {QStringLiteral("Oslash"), QChar(0xd8)}, {QStringLiteral("eth"), QChar(0xf0)},
        {QStringLiteral("thorn"), QChar(0xfe)},
    };
    static const QList<std::pair<QString, char16_t>> marks = {
        {QStringLiteral("grave"), 0x300}, {QStringLiteral("acute"), 0x301}, {QStringLiteral("circ"), 0x302},
        {QStringLiteral("tilde"), 0x303}, {QStringLiteral("uml"), 0x308},   {QStringLiteral("ring"), 0x30a},
        {QStringLiteral("cedil"), 0x327},
    };
    const auto found = single.constFind(name);
    if (found != single.constEnd())
        return *found;
    for (const auto& [suffix, mark] : marks) {
        if (name.size() == suffix.size() + 1 && name.endsWith(suffix) && name.at(0).isLetter()) {
            const QString composed = (QString(name.at(0)) + QChar(mark)).normalized(QString::NormalizationForm_C);
            if (composed.size() == 1)
                return composed.at(0);
        }
    }
    return QChar();
}

}

QString decodeHtmlEntities(const QString& text)
{
    static const QHash<QString, QString> named = {
        {QStringLiteral("amp"), QStringLiteral("&")},     {QStringLiteral("quot"), QStringLiteral("\"")},
        {QStringLiteral("apos"), QStringLiteral("'")},    {QStringLiteral("lt"), QStringLiteral("<")},
        {QStringLiteral("gt"), QStringLiteral(">")},      {QStringLiteral("nbsp"), QStringLiteral(" ")},
        {QStringLiteral("ldquo"), QStringLiteral("\u201c")}, {QStringLiteral("rdquo"), QStringLiteral("\u201d")},
        {QStringLiteral("lsquo"), QStringLiteral("\u2018")}, {QStringLiteral("rsquo"), QStringLiteral("\u2019")},
        {QStringLiteral("hellip"), QStringLiteral("\u2026")}, {QStringLiteral("ndash"), QStringLiteral("\u2013")},
        {QStringLiteral("mdash"), QStringLiteral("\u2014")}, {QStringLiteral("deg"), QStringLiteral("\u00b0")},
        {QStringLiteral("shy"), QString()},
    };
    if (!text.contains(u'&'))
        return text;
    static const QRegularExpression reference(
        QStringLiteral("&(#[0-9]{1,7}|#[xX][0-9a-fA-F]{1,6}|[A-Za-z][A-Za-z0-9]{1,31});"));
    QString out;
    qsizetype from = 0;
    for (const QRegularExpressionMatch& match : reference.globalMatch(text)) {
        out += QStringView(text).mid(from, match.capturedStart() - from);
        from = match.capturedEnd();
        const QString name = match.captured(1);
        if (name.startsWith(u'#')) {
            bool ok = false;
            const bool hex = name.size() > 1 && (name.at(1) == u'x' || name.at(1) == u'X');
            const uint code = hex ? name.mid(2).toUInt(&ok, 16) : name.mid(1).toUInt(&ok, 10);
            if (ok && code > 0 && code <= 0x10ffff && !QChar::isSurrogate(code)) {
                out += QString::fromUcs4(reinterpret_cast<const char32_t*>(&code), 1);
                continue;
            }
        } else {
            const auto found = named.constFind(name);
            if (found != named.constEnd()) {
                out += *found;
                continue;
            }
            // Latin letters with accents: the entity names follow one pattern.
            const QChar letter = accented(name);
            if (!letter.isNull()) {
                out += letter;
                continue;
            }
        }
        out += match.captured(0);
    }
    out += QStringView(text).mid(from);
    return out;
}

}
