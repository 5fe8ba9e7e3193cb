#ifndef QUESTIONWRITER_H
#define QUESTIONWRITER_H

#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QStringList>

class QSqlDatabase;

// Adds questions to categories, each with its link or not at all. The
// statements are prepared once, when the writer is made: make it after the
// caller's transaction() so they run inside it, and let it go before the
// commit, after which they are dead.
class QuestionWriter
{
public:
    enum class Outcome {
        Stored,
        // This question was turned down (too long, say) and left nothing
        // behind; the transaction goes on.
        Refused,
        // Beyond this question (a statement that would not prepare, an undo
        // that failed, a question perhaps left without its link): roll back.
        Failed,
    };
    struct Result {
        Outcome outcome = Outcome::Failed;
        // Why it was refused or failed.
        QSqlError error;
        // The new question's ID once stored.
        qint64 contentId = -1;
    };
    // A further answer the database turned down (the same as another, say).
    struct Refused {
        QString answer;
        QSqlError error;
    };

    explicit QuestionWriter(const QSqlDatabase& db);

    // The first statement that could not be prepared, or no error; every
    // add() then fails with it.
    QSqlError prepareError() const { return unprepared; }

    // accepted: further answers the game accepts, stored with the question;
    // those turned down go to *refused, and the question stays.
    Result add(qint64 catId, const QString& question, const QString& answer, const QStringList& accepted = {},
               QList<Refused>* refused = nullptr);

    struct Plain {
        qint64 catId = -1;
        QString question;
        QString answer;
        QStringList accepted;
    };
    // Questions, each with its link and further answers, in one statement:
    // every statement the driver runs costs it a lookup in the engine's
    // message file, far more than a row. The rows go as groupRows(rows) of
    // them, all or (refused or failed) none: then add() each, to learn
    // which. The content columns must be at most questionChars and
    // answerChars wide.
    int groupRows(const QList<Plain>& rows) const;
    bool addRows(const QList<Plain>& rows, int questionChars, int answerChars);
    // The most rows a group takes.
    static constexpr int maxGroupRows = 16;

private:
    QSqlQuery insert;
    QSqlQuery link;
    QSqlQuery undo;
    // Prepared at the first further answer: most imports have none.
    QSqlQuery addAccepted;
    bool acceptedPrepared = false;
    QSqlError unprepared;
    // A statement for a group of short rows, and one for rows as long as
    // the columns take; prepared at the first group of each.
    struct Group {
        QSqlQuery query;
        bool prepared = false;
        bool unprepared = false;
    };
    bool prepareGroup(Group* group, int rows, int accepted, int questionChars, int answerChars);
    Group shortRows;
    Group longRows;
};

#endif
