#ifndef QUESTIONFILE_H
#define QUESTIONFILE_H

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <memory>

// Question files as chat-room quiz operators trade them, read into rows. No
// widgets and no SQL: the import pipeline checks the rows against the
// database.
namespace QuestionFile {

enum class Format {
    Unknown,
    Star,   // question*answer, one a line
    Pipe,   // question|answer
    Tab,    // question<TAB>answer[<TAB>category]
    Blocks, // Category:/Question:/Answer: lines, blank lines between blocks
    Yaml,   // question: [answer, ...]
    Csv,    // a header naming the question, answer and category columns
    Choices, // "#Q question", "^ answer", then the choices "A" to "D"
    Json,   // a trivia web service's answer: "results" with question, correct_answer
};

// How to read a file where the content alone cannot tell.
struct Options {
    // A codec name the toolkit knows; empty: by the byte order mark, else
    // UTF-8 when valid, else Windows-1252.
    QString encoding;
    // question*answer*answer: the first separator always ends the question.
    bool alternatives = false;
    // CSV columns by header name, for headers no known name fits.
    QString questionColumn;
    QString answerColumn;
    QString categoryColumn;
};

struct Row {
    int line = 0; // where the row starts, counted from 1
    QString category; // empty when the file names none
    QString question;
    QString answer;
    // The source's further answers, in its order, as it gives them.
    QStringList accepted;
    // What the reader made of an unusual line, for the report.
    QString note;
};

// Lines that were not imported, and why: count lines from line on, one
// after another, for the same reason.
struct Skip {
    int line = 0;
    QString reason;
    QString category; // of the row, when known
    int count = 1;

    int lastLine() const { return line + count - 1; }
};

// Lengthens the last entry of *list when skip continues it (the next line,
// the same reason and category); false when it does not.
bool extendSkip(QList<Skip>* list, const Skip& skip);
// Appends skip unless it extends the last entry: a file of a million broken
// lines is one entry.
void addSkip(QList<Skip>* list, Skip skip);

struct Contents {
    Format format = Format::Unknown;
    QString encoding;
    QList<Row> rows;
    QList<Skip> skipped;
    // Lines of known keys that hold no question, by key.
    QMap<QString, int> ignored;
    // Set when the file cannot be used at all; then rows and skipped are empty.
    QString error;
    bool ok() const { return error.isEmpty(); }
};

namespace Detail {
class ReaderPrivate;
}

// Reads a question file a part at a time, so that a large file never has to
// be held as rows. Only a regular file is read, and no more of it than its
// size at the open.
//
// The encoding is the one options name, else UTF-8 or UTF-16 or UTF-32 by a
// byte order mark, else UTF-8 when every byte is valid UTF-8, else
// Windows-1252 (which most files that are not UTF-8 are); every line end (CR LF, CR,
// LF) counts as one. Text that is no character (invalid bytes in a file
// marked UTF-8, a lone UTF-16 surrogate) is never stored as something else:
// its row is skipped, naming the line.
class Reader
{
public:
    explicit Reader(const QString& path, const Options& options = {});
    // A file's contents; suffix ("csv", "yaml", ...) settles a tie in the
    // format, as a file name's would; name stands for the file's base name.
    Reader(const QByteArray& bytes, const QString& suffix, const Options& options = {},
           const QString& name = QString());
    ~Reader();
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;

    Format format() const;
    QString encoding() const;
    // Why the file cannot be used at all; what next() handed out before is
    // then incomplete.
    QString error() const;

    // Appends about max rows, or fewer and the lines skipped meanwhile, in
    // file order; false once the file is done or has failed.
    bool next(int max, QList<Row>* rows, QList<Skip>* skipped);
    // Lines read so far of known keys that hold no question ("Tip",
    // "AUTHOR", ...), by key.
    QMap<QString, int> ignored() const;

private:
    std::unique_ptr<Detail::ReaderPrivate> d;
};

// The format by the content; suffix ("csv", "yaml", ...) settles a tie. text
// has LF line ends; its first 200 lines that are neither blank nor comments
// decide.
Format detect(const QString& text, const QString& suffix);

// The whole file at once.
Contents parse(const QByteArray& bytes, const QString& suffix = QString(), const Options& options = {});
Contents read(const QString& path, const Options& options = {});

}

#endif
