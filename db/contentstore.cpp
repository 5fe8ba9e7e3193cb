#include "db/contentstore.h"

#include <QSqlError>
#include <QSqlQuery>

#include <climits>

#include "db/statements.h"
#include "db/storequery.h"

using StoreQuery::exec;
using StoreQuery::firstValue;

bool ContentStore::listCategories(QStringList* names)
{
    if (!query.exec(Statements::listCategories))
        return false;
    while (query.next())
        names->append(query.value(0).toString());
    return true;
}

bool ContentStore::categoryExists(const QString& name)
{
    return exec(query, Statements::categoryExists, {{":catName", name.toUpper()}}) && query.next();
}

int ContentStore::countCategory(const QString& name)
{
    const bool ran = exec(query, Statements::countCategory, {{":catName", name.toUpper()}});
    const uint count = firstValue(query, ran).toUInt();
    return count > INT_MAX ? INT_MAX : int(count);
}

bool ContentStore::addCategory(const QString& name)
{
    return exec(query, Statements::addCategory, {{":catName", name}});
}

qint64 ContentStore::addCategoryReturningId(const QString& name)
{
    const QVariant catId = firstValue(query, exec(query, Statements::addCategoryReturningId, {{":catName", name}}));
    return catId.isValid() ? catId.toLongLong() : -1;
}

// A category someone else removed meanwhile changes nothing: not a rename.
bool ContentStore::renameCategory(const QString& oldName, const QString& newName)
{
    return exec(query, Statements::renameCategory, {{":newname", newName}, {":oldname", oldName}})
        && query.numRowsAffected() != 0;
}

ContentStore::Lookup ContentStore::findCategory(const QString& name, qint64* catId)
{
    QVariant value;
    const bool ran = query.exec(Statements::withName(Statements::findCategoryPrefix, name));
    const Lookup found = StoreQuery::first(query, ran, &value);
    if (found == Lookup::Found)
        *catId = value.toLongLong();
    return found;
}

ContentStore::Lookup ContentStore::findCategoryIgnoringCase(const QString& name, qint64* catId, QString* storedName)
{
    if (!exec(query, Statements::findCategoryIgnoringCase, {{":catName", name.toUpper()}}))
        return Lookup::Failed;
    if (!query.next())
        return Lookup::Missing;
    *catId = query.value(0).toLongLong();
    *storedName = query.value(1).toString();
    return Lookup::Found;
}

bool ContentStore::contentColumnSizes(int* question, int* answer)
{
    if (!query.exec(Statements::contentColumnSizes))
        return false;
    int found = 0;
    while (query.next()) {
        const QString column = query.value(0).toString();
        int* size = column == QLatin1String("QUESTION") ? question : column == QLatin1String("ANSWER") ? answer : nullptr;
        if (size) {
            *size = query.value(1).toInt();
            ++found;
        }
    }
    return found == 2;
}

bool ContentStore::deleteCategory(qint64 catId)
{
    return exec(query, Statements::deleteCategory, {{":catID", catId}});
}

int ContentStore::countCategoryLinks(qint64 catId)
{
    return firstValue(query, exec(query, Statements::countCategoryLinks, {{":catID", catId}})).toInt();
}

bool ContentStore::readQuestions(const QuestionRow& row)
{
    while (query.next())
        row(query.value(0).toString(), query.value(1).toString());
    return !query.lastError().isValid();
}

bool ContentStore::listContent(const QString& category, const QuestionRow& row)
{
    if (!exec(query, Statements::listContent, {{":catName", category}}))
        return false;
    return readQuestions(row);
}

bool ContentStore::listContentPage(qint64 catId, qint64 after, qint64 upTo, int count, const KeyedQuestionRow& row)
{
    if (!exec(query, Statements::listContentPage,
              {{":catID", catId}, {":after", after}, {":upTo", upTo}, {":count", count}}))
        return false;
    while (query.next())
        row(query.value(0).toLongLong(), query.value(1).toString(), query.value(2).toString());
    return !query.lastError().isValid();
}

qint64 ContentStore::newestKey()
{
    return firstValue(query, query.exec(Statements::generator)).toLongLong();
}

bool ContentStore::findContent(const QString& statement, int column, qint64* contentId)
{
    if (!query.exec(statement) || !query.next())
        return false;
    *contentId = query.value(column).toLongLong();
    return true;
}

bool ContentStore::findContentForUpdate(const QString& question, const QString& answer, const QString& category,
                                        qint64* contentId)
{
    return findContent(Statements::findContentForUpdate(question, answer, category), 1, contentId);
}

bool ContentStore::findContentForDelete(const QString& category, const QString& question, const QString& answer,
                                        qint64* contentId)
{
    return findContent(Statements::findContentForDelete(category, question, answer), 0, contentId);
}

bool ContentStore::isListedContent(qint64 contentId, const QString& question, const QString& answer,
                                   const QString& category)
{
    return exec(query, Statements::findListedContent,
                {{":contentID", contentId}, {":question", question}, {":answer", answer}, {":catName", category}})
        && query.next();
}

// A driver that cannot count the changed rows gives -1, taken as a change.
bool ContentStore::updateContent(qint64 contentId, const QString& question, const QString& answer)
{
    return exec(query, Statements::updateContent,
                {{":newquestion", question}, {":newanswer", answer}, {":contentID", contentId}})
        && query.numRowsAffected() != 0;
}

// The question before its links: a link left behind names no question and
// drops out of every join.
bool ContentStore::deleteQuestion(qint64 contentId)
{
    return exec(query, Statements::deleteContent, {{":contentID", contentId}}) && query.numRowsAffected() != 0
        && exec(query, Statements::deleteLinks, {{":contentID", contentId}});
}

qint64 ContentStore::sourceCount(const QString& category)
{
    return firstValue(query, query.exec(Statements::withName(Statements::sourceCountPrefix, category))).toLongLong();
}

bool ContentStore::listSourceContent(const QString& category, const QuestionRow& row)
{
    return query.exec(Statements::withName(Statements::sourceContentPrefix, category)) && readQuestions(row);
}

ContentStore::Lookup ContentStore::linkAfter(qint64 catId, qint64 after, int skip, qint64* contentId)
{
    QVariant value;
    const bool ran = exec(query, Statements::linkAfter, {{":skip", skip}, {":catID", catId}, {":after", after}});
    const Lookup found = StoreQuery::first(query, ran, &value);
    // Fewer left: the range ends at the category's highest key.
    if (found == Lookup::Missing
        && StoreQuery::first(query, exec(query, Statements::lastLink, {{":catID", catId}}), &value) == Lookup::Failed)
        return Lookup::Failed;
    if (value.isValid())
        *contentId = value.toLongLong();
    return found;
}

int ContentStore::deleteContentsBetween(qint64 catId, qint64 after, qint64 upTo)
{
    if (!exec(query, Statements::deleteContentsBetween, {{":after", after}, {":upTo", upTo}, {":catID", catId}}))
        return -1;
    return query.numRowsAffected();
}
