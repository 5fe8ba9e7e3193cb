#ifndef CONTENTSTORE_H
#define CONTENTSTORE_H

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

#include "db/lookup.h"

class QSqlQuery;

// Categories and their questions, on a query the caller owns.
class ContentStore
{
public:
    using Lookup = Database::Lookup;
    using QuestionRow = std::function<void(const QString& question, const QString& answer)>;
    using KeyedQuestionRow = std::function<void(qint64 contentId, const QString& question, const QString& answer)>;

    explicit ContentStore(QSqlQuery& query) : query(query) {}

    // Every category name in order, appended; false when the statement fails.
    bool listCategories(QStringList* names);
    // The game's lookups compare names without regard to case.
    bool categoryExists(const QString& name);
    // Questions of the category; 0 when the statement fails.
    int countCategory(const QString& name);

    // The editor and the importer compare names exactly. The database refuses
    // a name that another category has ignoring case.
    bool addCategory(const QString& name);
    // The new category's ID, or -1.
    qint64 addCategoryReturningId(const QString& name);
    // False also when no category has the old name.
    bool renameCategory(const QString& oldName, const QString& newName);
    // Composed as text with the name quoted.
    Lookup findCategory(const QString& name, qint64* catId);
    // As the game looks a name up, ignoring case; *storedName is the name as stored.
    Lookup findCategoryIgnoringCase(const QString& name, qint64* catId, QString* storedName);
    // The category row only: its questions and links are left to the caller.
    bool deleteCategory(qint64 catId);
    // Links of the category; 0 when the statement fails.
    int countCategoryLinks(qint64 catId);

    // The sizes of the question and answer columns in characters; false
    // when the statement fails or does not find both.
    bool contentColumnSizes(int* question, int* answer);

    // Question and answer of each of the category's questions.
    bool listContent(const QString& category, const QuestionRow& row);
    // Up to count of the category's questions with keys in (after, upTo], in
    // key order; false when the statement fails.
    bool listContentPage(qint64 catId, qint64 after, qint64 upTo, int count, const KeyedQuestionRow& row);
    // The newest key any row has taken: rows added later have higher keys.
    qint64 newestKey();
    // The content ID of a listed question, found by its texts (composed as
    // text); false when the statement fails or finds nothing.
    bool findContentForUpdate(const QString& question, const QString& answer, const QString& category,
                              qint64* contentId);
    bool findContentForDelete(const QString& category, const QString& question, const QString& answer,
                              qint64* contentId);
    // Whether the question listed with this key still has these texts and
    // this category; false also when the statement fails.
    bool isListedContent(qint64 contentId, const QString& question, const QString& answer, const QString& category);
    // False also when no question has that ID.
    bool updateContent(qint64 contentId, const QString& question, const QString& answer);
    // The question, then its links; false when either fails or no question
    // has that ID.
    bool deleteQuestion(qint64 contentId);
    // The key skip places after after among the category's links; with
    // fewer left, the category's highest key (unchanged when it has none).
    Lookup linkAfter(qint64 catId, qint64 after, int skip, qint64* contentId);
    // The category's questions with keys in (after, upTo]: the number
    // deleted, or -1 when the statement fails. Their links stay.
    int deleteContentsBetween(qint64 catId, qint64 after, qint64 upTo);

    // On an import source, the name composed as text: its questions' count
    // (0 when the statement fails) and texts (false when reading fails).
    qint64 sourceCount(const QString& category);
    bool listSourceContent(const QString& category, const QuestionRow& row);

private:
    bool findContent(const QString& statement, int column, qint64* contentId);
    bool readQuestions(const QuestionRow& row);

    QSqlQuery& query;
};

#endif
