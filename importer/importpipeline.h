#ifndef IMPORTPIPELINE_H
#define IMPORTPIPELINE_H

#include <QHash>
#include <QList>
#include <QMap>
#include <QSqlDatabase>
#include <QSqlError>
#include <QString>
#include <QStringList>

#include <climits>
#include <functional>

#include "importer/questionfile.h"

class QuestionWriter;

// The one way questions come into the database, for the importer window and
// quiznewt-import alike: a source's rows are planned (checked, duplicates
// found, every skip given its reason), stored in batches, and reported. No
// widgets: the front ends differ only in their batch policy and in how they
// show progress.
//
// Rows are planned and stored a chunk at a time, so a caller never has to
// hold a whole source; only the duplicate keys of the categories are kept.
namespace Import {

using Row = QuestionFile::Row;
using Skip = QuestionFile::Skip;

enum class SourceKind { TriviaBot, QuizNewt, QuestionFile };

// The sizes of the database's columns, in characters.
struct Limits {
    int question = 4000;
    int answer = 1000;
};

// Why a row cannot be stored and played as it is, or an empty string: an
// empty text, a text over its column, or an answer the game can never match.
QString rowProblem(const Row& row, const Limits& limits);
QString questionProblem(const QString& question, const Limits& limits);
QString answerProblem(const QString& answer, const Limits& limits);
// Rows are the same when question and answer are, ignoring case.
QString duplicateKey(const QString& question, const QString& answer);

// What became of one source's rows.
struct Report {
    QString source; // the file's name
    SourceKind kind = SourceKind::QuestionFile;
    int imported = 0;
    // Stored questions whose answers came with blanks at either end.
    int trimmed = 0;
    // Further accepted answers stored with the questions.
    int accepted = 0;
    // The lines skipped, consecutive lines for one reason as one entry.
    QList<Skip> skipped;
    // Remarks on lines that were imported or skipped: answers not kept, lines
    // read in an unusual way. They count no line as skipped.
    QList<Skip> notes;
    // Lines of known keys that hold no question, by key.
    QMap<QString, int> ignored;
    // Every line skipped, listed or not.
    int skippedLines = 0;
    // Skipped lines and notes beyond maxListed entries:
    // counted, not kept, so that a file of junk cannot fill the memory.
    int unlisted = 0;
    // Stopped on request; the rows it never came to are counted, not skipped.
    bool cancelled = false;
    int notReached = 0;

    static constexpr qsizetype maxListed = 100000;

    void skip(Skip skip);
    void skip(const QList<Skip>& skips);
    // Lines skipped that another report counted without listing them.
    void skipUnlisted(int lines);
    void note(Skip remark);
    void cancel(int rowsLeft);

    // "FILE: N imported, M skipped[, A further answers][, K answers
    // trimmed][, I lines of other keys ignored (KEY n, ...)][; cancelled, L
    // not imported]".
    QString summary() const;
    // "line N: reason" (or "lines N-M: reason") for each skip and note, in
    // line order, then how many are not listed.
    QStringList details() const;
};

// A row that passed the plan, and the pipeline's number for its category.
struct Planned {
    Row row;
    int category = -1;
};

// How many rows go into one transaction: a crash loses at most the batch in
// flight, and a question is stored with its link or not at all.
struct BatchPolicy {
    int maxRows = INT_MAX;
    qint64 maxMs = 1000;
};
// The window shares its connection with the game and serves events only
// between batches, since a statement run from there would join the open
// transaction: batches stay short.
inline constexpr BatchPolicy windowBatches{250, 25};
// Every commit waits for a disk sync: about a second of work per transaction
// costs little beside the rows themselves.
inline constexpr BatchPolicy toolBatches{INT_MAX, 1000};

struct StoreHooks {
    // Before each row is stored, with the number of rows gone before it.
    std::function<void(qsizetype done)> beforeRow;
    // After a batch is committed, with its stored rows as they were stored.
    std::function<void(const QList<Row>& rows)> committed;
    // After each committed batch of store(), outside any transaction: the
    // place to handle events, and so to call stop().
    std::function<void()> betweenBatches;
};

class Pipeline
{
public:
    enum class Duplicates {
        // A row whose question and answer the category holds, or the import
        // gave before, is skipped.
        Skip,
        // Every copy is stored.
        Keep,
    };

    Pipeline(QSqlDatabase db, Duplicates duplicates);

    // Reads the column sizes; false with error() when it cannot.
    bool begin();

    // Every row goes into this category instead of the one it names. A known
    // catId is taken as it is; otherwise the name is looked up ignoring case,
    // as every row's own category is.
    void intoCategory(const QString& name, qint64 catId = -1);

    // Checks rows (blanks trimmed from every answer; the first playable
    // answer becomes the answer, the other playable ones its accepted
    // answers, the rest are noted), finds their categories and duplicates, appends the rows to store to
    // *planned and the others to the report's skipped lines. Rows of one
    // report are compared with each other by line. False with error() when a
    // category cannot be read.
    bool plan(QList<Row> rows, Report* report, QList<Planned>* planned);
    // A first pass for a caller that must refuse before it stores anything:
    // finds the categories that plan() would put rows into, reporting
    // nothing and remembering no row.
    bool survey(QList<Row> rows);

    // Categories the planned rows name that the database lacks, sorted.
    QStringList missingCategories() const;
    // Creates them in one transaction.
    bool createCategories();

    // Stores the rows in batches by the policy, counting them and the ones
    // the database refused into *report. False with error() when a batch
    // failed: it stored nothing, the batches before it are kept. After stop()
    // it stores no further batch and marks the report cancelled.
    bool store(const QList<Planned>& rows, Report* report, const BatchPolicy& policy, const StoreHooks& hooks = {});
    // One batch of that, from rows[*next] on; *next moves past it.
    bool storeBatch(const QList<Planned>& rows, qsizetype* next, Report* report, const BatchPolicy& policy,
                    const StoreHooks& hooks = {});

    // The batch in flight is finished, never cut: its questions are stored
    // whole or not at all.
    void stop() { stopRequested = true; }
    bool isStopped() const { return stopRequested; }

    QString error() const { return failure; }
    // The engine's error behind error(), when there was one.
    QSqlError engineError() const { return failureError; }

private:
    // Where a key was seen: its source (0: stored before the import) and line.
    struct Seen {
        int source = 0;
        int line = 0;
    };
    // A duplicate key by 128 bits of its MD5: the keys themselves would take
    // more memory than a million rows.
    struct Digest {
        quint64 high = 0;
        quint64 low = 0;
        bool operator==(const Digest& other) const { return high == other.high && low == other.low; }
        friend size_t qHash(const Digest& digest, size_t seed) { return size_t(digest.low) ^ seed; }
    };
    struct Category {
        QString name; // as stored, once found
        qint64 catId = -1;
        bool looked = false;
        bool missing = false;
        QHash<Digest, Seen> seen;
    };

    static Digest digest(const QString& question, const QString& answer);
    // Rows from from on in one statement, when they can go that way: how
    // many were stored.
    int storeGroup(QuestionWriter& writer, const QList<Planned>& rows, qsizetype from, qsizetype end) const;
    // Why the row cannot be stored, or an empty string with its answers
    // trimmed and sorted; *dropped gets the answers not kept.
    QString settle(Row* row, bool* trimmed, QList<Skip>* dropped) const;
    int categoryFor(const QString& name);
    bool lookUp(Category* category);

    QSqlDatabase db;
    Duplicates duplicates;
    Limits limits;
    QList<Category> categories;
    QHash<QString, int> byName; // upper-case name to index
    QString fixedCategory;
    const Report* current = nullptr;
    int source = 0;
    QString failure;
    QSqlError failureError;
    bool stopRequested = false;
};

}

#endif
