#include "importer/questionfile.h"
#include "importer/questionfile_p.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include "importer/regularfile.h"

namespace QuestionFile {

bool extendSkip(QList<Skip>* list, const Skip& skip)
{
    if (list->isEmpty())
        return false;
    Skip& last = list->last();
    if (last.lastLine() + 1 != skip.line || last.reason != skip.reason || last.category != skip.category)
        return false;
    last.count += skip.count;
    return true;
}

void addSkip(QList<Skip>* list, Skip skip)
{
    if (!extendSkip(list, skip))
        list->append(std::move(skip));
}

namespace Detail {

namespace {

bool isNoncharacter(char16_t c)
{
    return c >= 0xfdd0 && c <= 0xfdef;
}

}

QString damage(QStringView text, const QString& encoding)
{
    for (QChar c : text) {
        switch (c.unicode()) {
        case InvalidBytes:
            return QStringLiteral("invalid %1 bytes").arg(encoding.section(QLatin1Char(' '), 0, 0));
        case LoneSurrogate:
            return QStringLiteral("a lone UTF-16 surrogate, which is no character");
        case Noncharacter:
            return QStringLiteral("a noncharacter (U+FDD0 to U+FDEF)");
        default:
            break;
        }
    }
    return QString();
}

char16_t windows1252High(uchar byte)
{
    static const char16_t high[32] = {
        0x20ac, 0, 0x201a, 0x0192, 0x201e, 0x2026, 0x2020, 0x2021, 0x02c6, 0x2030, 0x0160, 0x2039, 0x0152, 0, 0x017d, 0,
        0, 0x2018, 0x2019, 0x201c, 0x201d, 0x2022, 0x2013, 0x2014, 0x02dc, 0x2122, 0x0161, 0x203a, 0x0153, 0, 0x017e,
        0x0178};
    return byte >= 0x80 && byte <= 0x9f ? high[byte - 0x80] : byte;
}

bool TextInput::open(QIODevice* source, qint64 bytes, const QString& encoding)
{
    device = source;
    size = bytes;
    const QByteArray head = device->peek(qMin<qint64>(4, size));
    const std::optional<QStringConverter::Encoding> bom = QStringConverter::encodingForData(head);
    const QString named = encoding.trimmed();
    if (!named.isEmpty()) {
        const QString lower = named.toLower();
        if (lower == QLatin1String("windows-1252") || lower == QLatin1String("cp1252")) {
            mode = Mode::Windows1252;
            encodingId = QStringConverter::Latin1;
            encodingName = QStringLiteral("Windows-1252");
        } else {
            codecName = named.toLatin1();
            if (!QStringDecoder(codecName.constData()).isValid()) {
                failure = QStringLiteral("unknown encoding \"%1\"").arg(named);
                return false;
            }
            mode = Mode::Named;
            encodingName = named;
        }
    } else if (bom && *bom != QStringConverter::Utf8) {
        mode = Mode::Wide;
        encodingId = *bom;
        encodingName = QString::fromLatin1(QStringConverter::nameForEncoding(*bom));
    } else if (bom) {
        // The file says it is UTF-8: bytes that are not are its damage.
        encodingName = QStringLiteral("UTF-8 with BOM");
    } else {
        // Only a pass over every byte tells valid UTF-8 from the rest.
        Decoder probe(QStringConverter::Utf8);
        for (qint64 rest = size; rest > 0 && !probe.hasError();) {
            const QByteArray bytes = device->read(qMin(chunkBytes, rest));
            if (bytes.isEmpty())
                break;
            rest -= bytes.size();
            (void)QString(probe(bytes));
        }
        if (probe.hasError() || probe.midCharacter()) {
            mode = Mode::Windows1252;
            encodingId = QStringConverter::Latin1;
            encodingName = QStringLiteral("Windows-1252");
        } else {
            encodingName = QStringLiteral("UTF-8");
        }
    }
    return rewind();
}

bool TextInput::rewind()
{
    if (!device->seek(0)) {
        failure = QStringLiteral("cannot be read: %1").arg(device->errorString());
        return false;
    }
    left = size;
    decoder = mode == Mode::Named ? Decoder(codecName.constData(), QStringConverter::Flag::ConvertInvalidToNull)
                                  : Decoder(encodingId, QStringConverter::Flag::ConvertInvalidToNull);
    buffer.clear();
    position = 0;
    held.clear();
    atStart = true;
    atEnd = false;
    return true;
}

bool TextInput::fill()
{
    if (atEnd || !failure.isEmpty())
        return false;
    const qint64 want = qMin(chunkBytes, left);
    const QByteArray bytes = want > 0 ? device->read(want) : QByteArray();
    const auto* file = qobject_cast<QFileDevice*>(device);
    if (file && file->error() != QFileDevice::NoError) {
        failure = QStringLiteral("cannot be read: %1").arg(device->errorString());
        return false;
    }
    left -= bytes.size();
    // A file that shrank ends early; one that grows is read no further.
    const bool last = left == 0 || bytes.size() < want;
    if ((mode == Mode::Utf8 || mode == Mode::Windows1252) && bytes.contains('\0')) {
        failure = QStringLiteral("not a text file (it holds NUL bytes)");
        return false;
    }
    if (position > 0) {
        buffer.remove(0, position);
        position = 0;
    }
    decodeChunk(bytes, last);
    if (last)
        atEnd = true;
    return failure.isEmpty();
}

void TextInput::decodeChunk(const QByteArray& bytes, bool last)
{
    QString text = held + QString(decoder(bytes));
    held.clear();
    if (atStart && text.startsWith(QChar(0xfeff)))
        text.remove(0, 1);
    atStart = false;
    if (!last && !text.isEmpty() && (text.back() == u'\r' || text.back().isHighSurrogate())) {
        held = text.back();
        text.chop(1);
    }

    buffer.reserve(buffer.size() + text.size());
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t c = text.at(i).unicode();
        if (c == u'\r') {
            buffer += u'\n';
            if (i + 1 < size && text.at(i + 1) == u'\n')
                ++i;
        } else if (mode == Mode::Windows1252 && c >= 0x80 && c <= 0x9f) {
            const char16_t mapped = windows1252High(uchar(c));
            buffer += QChar(mapped ? mapped : char16_t(InvalidBytes));
        } else if (c == 0) {
            // Not a byte 0, which fill() refused: a spot the decoder could not read.
            if (mode == Mode::Wide || mode == Mode::Named) {
                failure = QStringLiteral("not a text file (it holds NUL characters)");
                return;
            }
            buffer += QChar(InvalidBytes);
        } else if (QChar::isHighSurrogate(c) && i + 1 < size && QChar::isLowSurrogate(text.at(i + 1).unicode())) {
            buffer += text.at(i);
            buffer += text.at(++i);
        } else if (QChar::isSurrogate(c)) {
            buffer += QChar(LoneSurrogate);
        } else if (isNoncharacter(c)) {
            buffer += QChar(Noncharacter);
        } else {
            buffer += QChar(c);
        }
    }
    if (last && decoder.midCharacter())
        buffer += QChar(InvalidBytes);
}

bool TextInput::readLine(QStringView* line, bool* tooLong)
{
    *tooLong = false;
    qsizetype from = position;
    for (;;) {
        const qsizetype end = buffer.indexOf(u'\n', from);
        if (end >= 0) {
            *tooLong = *tooLong || end - position > maxLineLength;
            *line = *tooLong ? QStringView() : QStringView(buffer).mid(position, end - position);
            position = end + 1;
            return true;
        }
        if (buffer.size() - position > maxLineLength) {
            *tooLong = true;
            position = buffer.size();
        }
        from = buffer.size() - position;
        if (!fill()) {
            if (!failure.isEmpty() || (position >= buffer.size() && !*tooLong))
                return false;
            *tooLong = *tooLong || buffer.size() - position > maxLineLength;
            *line = *tooLong ? QStringView() : QStringView(buffer).mid(position);
            position = buffer.size();
            return true;
        }
        // fill() moved what was left to the front.
        from += position;
    }
}

QStringView TextInput::read(qsizetype max)
{
    while (position >= buffer.size()) {
        if (!fill())
            return QStringView();
    }
    qsizetype count = qMin(max, buffer.size() - position);
    // A surrogate pair stays whole.
    if (position + count < buffer.size() && buffer.at(position + count - 1).isHighSurrogate())
        ++count;
    const QStringView part = QStringView(buffer).mid(position, count);
    position += count;
    return part;
}

class ReaderPrivate
{
public:
    QFile file;
    QBuffer memory;
    QByteArray bytes;
    QString suffix;
    QString name; // the file's base name
    Options options;
    TextInput input;
    Format format = Format::Unknown;
    QChar csvSeparator = u',';
    std::unique_ptr<FormatReader> reader;
    QString error;
    bool done = false;

    void start(QIODevice* device, qint64 size);
    bool detectFormat();
};

void ReaderPrivate::start(QIODevice* device, qint64 size)
{
    if (!input.open(device, size, options.encoding) || !detectFormat()) {
        if (error.isEmpty())
            error = input.error();
        return;
    }
    switch (format) {
    case Format::Star: reader = lineReader(&input, QLatin1Char('*'), options.alternatives); break;
    case Format::Pipe: reader = lineReader(&input, QLatin1Char('|'), options.alternatives); break;
    case Format::Tab: reader = lineReader(&input, QLatin1Char('\t'), options.alternatives); break;
    case Format::Blocks: reader = blockReader(&input); break;
    case Format::Yaml: reader = yamlReader(&input); break;
    case Format::Csv: reader = csvReader(&input, options, csvSeparator); break;
    case Format::Choices: reader = choicesReader(&input, name); break;
    case Format::Json: reader = jsonReader(&input); break;
    case Format::Unknown: break;
    }
}

namespace {

// The first lines that are neither blank nor comments decide the format, as
// far as they are not too long to hold.
constexpr int sampleLines = 200;
constexpr qsizetype sampleLength = 4 * 1024 * 1024;

// "#Q" starts a question of the choices format, not a comment.
bool isSample(QStringView line)
{
    return !line.trimmed().isEmpty() && (!line.startsWith(u'#') || line.startsWith(u"#Q "));
}

Format detectSample(const QStringList& sample, const QString& suffix, const Options& options, QChar* csvSeparator);

}

// A pass over the head of the text, then back to its start for the reader.
bool ReaderPrivate::detectFormat()
{
    // A web service's JSON is often one line, too long to be sampled.
    QString head;
    for (QStringView part = input.read(sampleLength); !part.isEmpty() && head.size() < sampleLength;
         part = input.read(sampleLength - head.size()))
        head += part;
    if (head.trimmed().startsWith(u'{') && head.contains(QLatin1String("\"results\""))) {
        format = Format::Json;
        return input.error().isEmpty() && input.rewind();
    }
    head.clear();
    if (!input.error().isEmpty() || !input.rewind())
        return false;
    QStringList sample;
    qsizetype length = 0;
    bool anyText = false;
    QStringView line;
    bool tooLong = false;
    while (sample.size() < sampleLines && length < sampleLength && input.readLine(&line, &tooLong)) {
        anyText = anyText || tooLong || !line.trimmed().isEmpty();
        if (!tooLong && isSample(line)) {
            sample << line.toString();
            length += line.size();
        }
    }
    if (!input.error().isEmpty() || !input.rewind())
        return false;
    format = detectSample(sample, suffix, options, &csvSeparator);
    if (format == Format::Unknown) {
        error = !anyText ? QStringLiteral("the file holds no questions")
                         : QStringLiteral("not a question file: no line holds a *, | or tab separator, and it is "
                                          "neither labelled blocks, YAML, #Q blocks, trivia JSON nor CSV with a "
                                          "question and an answer column");
        return false;
    }
    return true;
}

namespace {

QString csvField(QString field)
{
    field = field.trimmed();
    if (field.size() >= 2 && field.startsWith(QLatin1Char('"')) && field.endsWith(QLatin1Char('"')))
        field = field.mid(1, field.size() - 2).trimmed();
    return field.toLower();
}

QStringList wantedNames(const QStringList& known, const QString& given)
{
    return given.isEmpty() ? known : QStringList{given.trimmed().toLower()};
}

bool isCsvHeader(const QString& line, QChar separator, const Options& options)
{
    QStringList names;
    for (const QString& field : line.split(separator))
        names << csvField(field);
    return column(names, wantedNames(questionNames, options.questionColumn)) >= 0
        && column(names, wantedNames(answerNames, options.answerColumn)) >= 0;
}

Format detectSample(const QStringList& sample, const QString& suffix, const Options& options, QChar* csvSeparator)
{
    static const QRegularExpression blockLabel(QStringLiteral("^\\s*(question|answer)\\s*:"),
                                               QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression yamlMark(QStringLiteral("^(\\s*-(\\s|$)|---\\s*$|.*:\\s*\\[.*\\]\\s*$)"));
    if (sample.isEmpty())
        return Format::Unknown;
    const QString hint = suffix.toLower();
    const QString& first = sample.first();
    if (first.trimmed().startsWith(u'{') && sample.join(QLatin1Char('\n')).contains(QLatin1String("\"results\"")))
        return Format::Json;
    for (QChar separator : {u',', u';'}) {
        if (isCsvHeader(first, separator, options)) {
            *csvSeparator = separator;
            return Format::Csv;
        }
    }
    if (hint == QLatin1String("csv") && (first.contains(u',') || first.contains(u';'))) {
        *csvSeparator = first.count(u';') > first.count(u',') ? u';' : u',';
        return Format::Csv;
    }
    bool choiceQuestion = false;
    bool choiceAnswer = false;
    for (const QString& line : sample) {
        choiceQuestion = choiceQuestion || line.startsWith(QLatin1String("#Q "));
        choiceAnswer = choiceAnswer || line.startsWith(QLatin1String("^ "));
    }
    if (choiceQuestion && choiceAnswer)
        return Format::Choices;

    bool question = false;
    bool answer = false;
    int star = 0, pipe = 0, tab = 0;
    bool yaml = hint == QLatin1String("yaml") || hint == QLatin1String("yml");
    for (const QString& line : sample) {
        const QRegularExpressionMatch label = blockLabel.match(line);
        if (label.hasMatch())
            (label.captured(1).toLower() == QLatin1String("question") ? question : answer) = true;
        yaml = yaml || yamlMark.match(line).hasMatch();
        star += line.contains(QLatin1Char('*'));
        pipe += line.contains(QLatin1Char('|'));
        tab += line.contains(QLatin1Char('\t'));
    }
    if (question && answer)
        return Format::Blocks;
    if (yaml)
        return Format::Yaml;
    // The separator most lines hold; questions hold a stray "*" more often
    // than a tab, and a "|" least often.
    if (tab > 0 && tab >= star && tab >= pipe)
        return Format::Tab;
    if (star > 0 && star >= pipe)
        return Format::Star;
    if (pipe > 0)
        return Format::Pipe;
    return Format::Unknown;
}

}

}

Format detect(const QString& text, const QString& suffix)
{
    QStringList sample;
    for (QStringView line : QStringView(text).split(u'\n')) {
        if (sample.size() == Detail::sampleLines)
            break;
        if (Detail::isSample(line))
            sample << line.toString();
    }
    QChar separator;
    return Detail::detectSample(sample, suffix, Options(), &separator);
}

Reader::Reader(const QString& path, const Options& options)
    : d(std::make_unique<Detail::ReaderPrivate>())
{
    d->suffix = QFileInfo(path).suffix();
    d->name = QFileInfo(path).completeBaseName();
    d->options = options;
    qint64 size = 0;
    if (!RegularFile::open(path, &d->file, &size, &d->error))
        return;
    d->start(&d->file, size);
}

Reader::Reader(const QByteArray& bytes, const QString& suffix, const Options& options, const QString& name)
    : d(std::make_unique<Detail::ReaderPrivate>())
{
    d->suffix = suffix;
    d->name = name;
    d->options = options;
    d->bytes = bytes;
    d->memory.setBuffer(&d->bytes);
    d->memory.open(QIODevice::ReadOnly);
    d->start(&d->memory, d->bytes.size());
}

Reader::~Reader() = default;

Format Reader::format() const
{
    return d->format;
}

QString Reader::encoding() const
{
    return d->input.encoding();
}

QString Reader::error() const
{
    return d->error;
}

QMap<QString, int> Reader::ignored() const
{
    return d->reader ? d->reader->ignored : QMap<QString, int>();
}

bool Reader::next(int max, QList<Row>* rows, QList<Skip>* skipped)
{
    if (d->done || !d->error.isEmpty() || !d->reader)
        return false;
    d->done = !d->reader->read(max, rows, skipped, &d->error);
    // A reader may read the input on a thread of its own until it is done.
    if (d->done && d->error.isEmpty())
        d->error = d->input.error();
    return !d->done && d->error.isEmpty();
}

namespace {

// Everything a reader gives, or nothing but the error.
Contents readAll(Reader& reader)
{
    Contents contents;
    while (reader.next(10000, &contents.rows, &contents.skipped)) {
    }
    contents.format = reader.format();
    contents.encoding = reader.encoding();
    contents.error = reader.error();
    contents.ignored = reader.ignored();
    if (!contents.ok()) {
        contents.rows.clear();
        contents.skipped.clear();
    }
    return contents;
}

}

Contents parse(const QByteArray& bytes, const QString& suffix, const Options& options)
{
    Reader reader(bytes, suffix, options);
    return readAll(reader);
}

Contents read(const QString& path, const Options& options)
{
    Reader reader(path, options);
    return readAll(reader);
}

}
