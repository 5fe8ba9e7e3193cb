#ifndef QUESTIONFILE_H
#define QUESTIONFILE_H

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

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
};

struct Row {
    int line = 0; // where the row starts, counted from 1
    QString category; // empty when the file names none
    QString question;
    QString answer;
    // Further accepted answers: the game judges one, so they are left out.
    QStringList leftOut;
};

// A line that was not imported, and why.
struct Skip {
    int line = 0;
    QString reason;
    QString category; // of the row, when known
};

struct Contents {
    Format format = Format::Unknown;
    QString encoding;
    QList<Row> rows;
    QList<Skip> skipped;
    // Set when the file cannot be used at all; then rows and skipped are empty.
    QString error;
    bool ok() const { return error.isEmpty(); }
};

// Larger files are refused: the rows are held in memory.
constexpr qint64 maxFileBytes = 64 * 1024 * 1024;

// UTF-8 or UTF-16 by their byte order mark, else UTF-8 when the bytes are
// valid UTF-8, else Latin-1; every line end (CR LF, CR, LF) becomes LF.
QString decode(const QByteArray& bytes, QString* encoding);
// The format by the content; suffix ("csv", "yaml", ...) settles a tie.
Format detect(const QString& text, const QString& suffix);

Contents parse(const QByteArray& bytes, const QString& suffix = QString());
Contents read(const QString& path);

}

#endif
