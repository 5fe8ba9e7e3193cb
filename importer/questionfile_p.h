#ifndef QUESTIONFILE_P_H
#define QUESTIONFILE_P_H

#include <QIODevice>
#include <QMap>
#include <QString>
#include <QStringDecoder>
#include <QStringList>

#include <memory>

#include "importer/questionfile.h"

// The readers of the single formats, each a part at a time on decoded text
// with LF line ends.
namespace QuestionFile::Detail {

// Column names a CSV header may use, lower case.
inline const QStringList questionNames = {QStringLiteral("question"), QStringLiteral("questions"), QStringLiteral("q"),
                                          QStringLiteral("prompt")};
inline const QStringList answerNames = {QStringLiteral("answer"), QStringLiteral("answers"),
                                        QStringLiteral("correct_answer"), QStringLiteral("right_answer")};
inline const QStringList categoryNames = {QStringLiteral("category"), QStringLiteral("categories"),
                                          QStringLiteral("topic")};

// The first of names (lower case, trimmed) that is one of wanted, or -1.
inline int column(const QStringList& names, const QStringList& wanted)
{
    for (int i = 0; i < names.size(); ++i) {
        if (wanted.contains(names.at(i)))
            return i;
    }
    return -1;
}

// Where the file's text is no character, the decoded text holds one of these
// noncharacters, which Unicode keeps for a program's own use: the readers
// skip the row that holds one, and nothing else ever sees it.
enum Damage : char16_t {
    InvalidBytes = 0xfdd0,
    LoneSurrogate = 0xfdd1,
    // The file's own U+FDD0 to U+FDEF, which would pass for the two above.
    Noncharacter = 0xfdd2,
};

// Why text cannot be imported as it is, or an empty string.
QString damage(QStringView text, const QString& encoding);

// A decoder that tells whether it stopped inside a character: Qt keeps the
// bytes of an unfinished one for the next call, and drops them at the end.
class Decoder : public QStringDecoder
{
public:
    using QStringDecoder::QStringDecoder;
    bool midCharacter() const { return state.remainingChars != 0; }
};

// Bytes decoded at a time.
constexpr qint64 chunkBytes = 1024 * 1024;

// A line longer than this is skipped without being held.
constexpr qsizetype maxLineLength = 1024 * 1024;

// A file's bytes decoded a part at a time: LF line ends, and each spot that
// is no character replaced by a Damage mark.
class TextInput
{
public:
    // Reads no more than size bytes of device. Settles the encoding (the
    // one named, if any), which may take a pass over the whole file; false
    // with error().
    bool open(QIODevice* device, qint64 size, const QString& encoding = QString());
    QString encoding() const { return encodingName; }
    QString error() const { return failure; }
    // Back to the start of the text.
    bool rewind();

    // The next line without its LF, valid until the next call; *tooLong
    // when it was longer than maxLineLength and is left out. False at the end
    // or on failure.
    bool readLine(QStringView* line, bool* tooLong);
    // Up to about max characters of what follows, line ends included; empty
    // at the end or on failure. Valid until the next call.
    QStringView read(qsizetype max);

private:
    // Windows1252 is decoded as Latin-1, then 0x80-0x9F mapped.
    enum class Mode { Utf8, Windows1252, Wide, Named };

    bool fill();
    void decodeChunk(const QByteArray& bytes, bool last);

    QIODevice* device = nullptr;
    qint64 size = 0;
    qint64 left = 0;
    Mode mode = Mode::Utf8;
    QStringConverter::Encoding encodingId = QStringConverter::Utf8;
    QByteArray codecName; // Mode::Named
    QString encodingName;
    Decoder decoder;
    QString buffer;
    qsizetype position = 0;
    // A CR or a high surrogate at the end of a part waits for the next part.
    QString held;
    bool atStart = true;
    bool atEnd = false;
    QString failure;
};

// One format's reader, fed by a TextInput it does not own.
class FormatReader
{
public:
    virtual ~FormatReader() = default;
    // Appends rows and skipped lines until about max of them; false, having
    // appended nothing, at the end of the text. Sets *error when the file
    // cannot be used at all.
    virtual bool read(int max, QList<Row>* rows, QList<Skip>* skipped, QString* error) = 0;

    // Lines of known keys that hold no question, by key.
    QMap<QString, int> ignored;
};

// Windows-1252's characters for the bytes 0x80 to 0x9F, or 0 where it has none.
char16_t windows1252High(uchar byte);

// text with HTML's character references decoded (&amp;, &quot;, &#039;, ...).
QString decodeHtmlEntities(const QString& text);

std::unique_ptr<FormatReader> lineReader(TextInput* input, QChar separator, bool alternatives);
std::unique_ptr<FormatReader> blockReader(TextInput* input);
std::unique_ptr<FormatReader> yamlReader(TextInput* input);
std::unique_ptr<FormatReader> csvReader(TextInput* input, const Options& options, QChar separator);
// category: the one every row gets, from the file's name.
std::unique_ptr<FormatReader> choicesReader(TextInput* input, const QString& category);
std::unique_ptr<FormatReader> jsonReader(TextInput* input);

}

#endif
