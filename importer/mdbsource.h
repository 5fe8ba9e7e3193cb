#ifndef MDBSOURCE_H
#define MDBSOURCE_H

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

// One question and its answer as read from an import source.
struct SourceRow {
    QString question;
    QString answer;
};

// A TriviaBot Access file: one user table per category, each with the text
// columns "questions" and "answers".
//
// The file is read by the helper program quiznewt-mdbread, never inside this
// process: a damaged file may crash or hang the reader, and QuizNewt may be
// running a game meanwhile. A reader that crashes, stalls or talks too much
// is stopped and reported as an error.
//
// Like a named database connection, an open source holds its name: it is in
// connectionNames() from open() until close() or destruction.
class MdbSource
{
public:
    explicit MdbSource(const QString& connectionName);
    ~MdbSource();
    MdbSource(const MdbSource&) = delete;
    MdbSource& operator=(const MdbSource&) = delete;

    // Called about every 50 ms while the reader runs, so that the caller can
    // keep its window alive: rows received so far and the row count that the
    // table claims (0 until known).
    using Progress = std::function<void(qint64 received, qint64 total)>;

    // Reads the file's list of user tables. Closes what was open before, also
    // when the new file fails.
    bool open(const QString& filePath, const Progress& progress = {});
    void close();
    bool isOpen() const { return opened; }
    QString connectionName() const { return name; }
    QString filePath() const { return path; }

    // User tables in catalog order; the system tables (MSys*) are never listed.
    QStringList tables() const { return tableNames; }

    // Every row of a table, in the order of the file. On failure returns false
    // and lastError() says why in one sentence.
    bool readTable(const QString& table, QList<SourceRow>* rows, const Progress& progress = {});

    QString lastError() const { return error; }

    // Names of the sources open in this process.
    static QStringList connectionNames();

    // Where the reader program is: next to the running program, else where
    // an install puts it relative to the program, else where the build put it.
    static QString readerPath();

    // Whether the file begins as an Access database does.
    static bool isAccessFile(const QString& filePath);

    // How long the reader may go without output, and how much it may print,
    // before it is stopped.
    static void setLimits(int idleMs, qint64 maxOutputBytes);

private:
    struct Output;
    bool runReader(const QStringList& arguments, Output* output, const Progress& progress);

    QString name;
    QString path;
    QStringList tableNames;
    QString error;
    bool opened = false;
};

#endif
