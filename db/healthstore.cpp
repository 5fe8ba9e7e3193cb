#include "db/healthstore.h"

#include <QHash>
#include <QSqlQuery>
#include <QVariant>

#include "db/contentstore.h"
#include "db/storequery.h"

namespace {

using StoreQuery::exec;

const QString firstCategory = QStringLiteral(
    "(SELECT FIRST 1 cat.catName FROM category_content cc INNER JOIN category cat ON cat.catID = cc.catID "
    "WHERE cc.contentID = c.contentID ORDER BY cat.catName)");
const QString notRetired =
    QStringLiteral("NOT EXISTS (SELECT 1 FROM content_retired x WHERE x.contentID = c.contentID)");

// The candidates come from the small play tables (and the statistics' one
// scan), each then found by key: the content table itself is never walked.
const QString needingLookStatement = QStringLiteral("SELECT c.contentID, ") + firstCategory + QStringLiteral(
    ", c.question, c.answer, COALESCE(s.asked, 0), COALESCE(s.answered, 0), COALESCE(s.total_ms, 0), "
    "(SELECT COUNT(*) FROM question_report r WHERE r.contentID = c.contentID), "
    "(SELECT COUNT(*) FROM near_miss m WHERE m.contentID = c.contentID) "
    "FROM (SELECT contentID FROM question_report UNION SELECT contentID FROM near_miss "
    "UNION SELECT contentID FROM question_stat WHERE (asked >= :asks AND answered = 0) "
    "OR (answered >= :answers AND total_ms < answered * :fastMs)) k "
    "INNER JOIN content c ON c.contentID = k.contentID "
    "LEFT JOIN question_stat s ON s.contentID = c.contentID WHERE ") + notRetired;
const QString listNotes = QStringLiteral(
    "SELECT r.contentID, r.note FROM question_report r WHERE TRIM(r.note) <> '' "
    "AND NOT EXISTS (SELECT 1 FROM content_retired x WHERE x.contentID = r.contentID) "
    "ORDER BY r.contentID, r.reported_at");

const QString readQuestion = QStringLiteral("SELECT ") + firstCategory + QStringLiteral(
    ", c.question, c.answer, IIF(EXISTS (SELECT 1 FROM content_retired r WHERE r.contentID = c.contentID), 1, 0) "
    "FROM content c WHERE c.contentID = :contentID");

const QString listAccepted =
    QStringLiteral("SELECT answer FROM content_answer WHERE contentID = :contentID ORDER BY answer");
// Only for a question that is there; the table's trigger refuses a repeat.
const QString addAccepted = QStringLiteral(
    "INSERT INTO content_answer (contentID, answer) "
    "SELECT contentID, CAST(:text AS VARCHAR(1000)) FROM content WHERE contentID = :contentID");
const QString removeAccepted =
    QStringLiteral("DELETE FROM content_answer WHERE contentID = :contentID AND answer = :text");
// The answer accepts any case of itself already.
const QString removeAcceptedLikeAnswer =
    QStringLiteral("DELETE FROM content_answer WHERE contentID = :contentID AND UPPER(answer) = UPPER(:text)");

const QString listNearMisses = QStringLiteral(
    "SELECT answer, times, last_by, last_at FROM near_miss WHERE contentID = :contentID ORDER BY times DESC, answer");
// The text as play stored it, and nothing when another editor took it first.
const QString acceptNearMissStatement = QStringLiteral(
    "INSERT INTO content_answer (contentID, answer) "
    "SELECT FIRST 1 contentID, answer FROM near_miss WHERE contentID = :contentID AND answer = :text");
// Every case of it: the accepted answer covers them all.
const QString removeNearMiss =
    QStringLiteral("DELETE FROM near_miss WHERE contentID = :contentID AND UPPER(answer) = UPPER(:text)");

const QString listReports = QStringLiteral(
    "SELECT reporter, reported_at, note FROM question_report WHERE contentID = :contentID ORDER BY reported_at");
const QString removeReports = QStringLiteral("DELETE FROM question_report WHERE contentID = :contentID");

const QString retire = QStringLiteral(
    "INSERT INTO content_retired (contentID, retired_at) SELECT c.contentID, CURRENT_TIMESTAMP FROM content c "
    "WHERE c.contentID = :contentID AND ") + notRetired;
const QString unretire = QStringLiteral("DELETE FROM content_retired WHERE contentID = :contentID");

}

HealthRow::Reasons HealthRow::reasons() const
{
    Reasons result;
    if (reports > 0)
        result |= Reported;
    if (nearMisses > 0)
        result |= NearMisses;
    if (asked >= HealthStore::neverAnsweredAsks && answered == 0)
        result |= NeverAnswered;
    if (answered >= HealthStore::tooFastAnswers && totalMs < qint64(HealthStore::tooFastMs) * answered)
        result |= TooFast;
    return result;
}

QString healthReasonText(const HealthRow& row)
{
    const HealthRow::Reasons reasons = row.reasons();
    QStringList parts;
    if (reasons & HealthRow::Reported) {
        QString part = row.reports == 1 ? QStringLiteral("Reported")
                                        : QStringLiteral("Reported %1 times").arg(row.reports);
        if (!row.notes.isEmpty()) {
            QStringList quoted;
            for (const QString& note : row.notes)
                quoted << QLatin1Char('"') + note.simplified() + QLatin1Char('"');
            part += QStringLiteral(": ") + quoted.join(QStringLiteral(", "));
        }
        parts << part;
    }
    if (reasons & HealthRow::NearMisses)
        parts << (row.nearMisses == 1 ? QStringLiteral("1 near miss waiting")
                                      : QStringLiteral("%1 near misses waiting").arg(row.nearMisses));
    if (reasons & HealthRow::NeverAnswered)
        parts << QStringLiteral("Never answered in %1 asks").arg(row.asked);
    if (reasons & HealthRow::TooFast)
        parts << QStringLiteral("Answered in %1 s on average").arg(row.averageSeconds(), 0, 'f', 1);
    return parts.join(QStringLiteral("; "));
}

bool HealthStore::failed(const QSqlError& reason)
{
    error = reason;
    return false;
}

bool HealthStore::listNeedingLook(QList<HealthRow>* rows)
{
    error = QSqlError();
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!exec(query, needingLookStatement,
              {{":asks", neverAnsweredAsks}, {":answers", tooFastAnswers}, {":fastMs", tooFastMs}}))
        return failed(query.lastError());
    QHash<int, qsizetype> byId;
    while (query.next()) {
        HealthRow row;
        row.contentId = query.value(0).toInt();
        row.category = query.value(1).toString();
        row.question = query.value(2).toString();
        row.answer = query.value(3).toString();
        row.asked = query.value(4).toInt();
        row.answered = query.value(5).toInt();
        row.totalMs = query.value(6).toLongLong();
        row.reports = query.value(7).toInt();
        row.nearMisses = query.value(8).toInt();
        byId.insert(row.contentId, rows->size());
        rows->append(row);
    }
    if (query.lastError().isValid())
        return failed(query.lastError());

    if (!exec(query, listNotes, {}))
        return failed(query.lastError());
    while (query.next()) {
        const auto found = byId.constFind(query.value(0).toInt());
        if (found != byId.constEnd())
            (*rows)[*found].notes << query.value(1).toString();
    }
    return true;
}

Database::Lookup HealthStore::question(int contentId, HealthQuestion* question)
{
    error = QSqlError();
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!exec(query, readQuestion, {{":contentID", contentId}})) {
        error = query.lastError();
        return Database::Lookup::Failed;
    }
    if (!query.next()) {
        if (!query.lastError().isValid())
            return Database::Lookup::Missing;
        error = query.lastError();
        return Database::Lookup::Failed;
    }
    question->category = query.value(0).toString();
    question->question = query.value(1).toString();
    question->answer = query.value(2).toString();
    question->retired = query.value(3).toInt() != 0;
    return Database::Lookup::Found;
}

bool HealthStore::updateQuestion(int contentId, const QString& question, const QString& answer)
{
    error = QSqlError();
    // Queries are made after transaction() so that they run inside it.
    if (!db.transaction())
        return failed(db.lastError());
    bool stored = false;
    {
        QSqlQuery query(db);
        stored = ContentStore(query).updateContent(contentId, question, answer)
            && exec(query, removeAcceptedLikeAnswer, {{":contentID", contentId}, {":text", answer}});
        error = query.lastError();
    }
    if (stored && db.commit())
        return true;
    if (stored)
        error = db.lastError();
    db.rollback();
    return false;
}

bool HealthStore::acceptedAnswers(int contentId, QStringList* answers)
{
    error = QSqlError();
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!exec(query, listAccepted, {{":contentID", contentId}}))
        return failed(query.lastError());
    while (query.next())
        answers->append(query.value(0).toString());
    return !query.lastError().isValid() || failed(query.lastError());
}

bool HealthStore::change(const QString& statement, int contentId, const QString& text, bool needsRow)
{
    error = QSqlError();
    QSqlQuery query(db);
    if (!exec(query, statement, {{":contentID", contentId}, {":text", text}}))
        return failed(query.lastError());
    return !needsRow || query.numRowsAffected() > 0;
}

bool HealthStore::addAcceptedAnswer(int contentId, const QString& answer)
{
    return change(addAccepted, contentId, answer, true);
}

bool HealthStore::removeAcceptedAnswer(int contentId, const QString& answer)
{
    return change(removeAccepted, contentId, answer, false);
}

bool HealthStore::nearMisses(int contentId, QList<NearMissRow>* rows)
{
    error = QSqlError();
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!exec(query, listNearMisses, {{":contentID", contentId}}))
        return failed(query.lastError());
    while (query.next())
        rows->append({query.value(0).toString(), query.value(1).toInt(), query.value(2).toString(),
                      query.value(3).toDateTime()});
    return !query.lastError().isValid() || failed(query.lastError());
}

bool HealthStore::acceptNearMiss(int contentId, const QString& answer)
{
    error = QSqlError();
    if (!db.transaction())
        return failed(db.lastError());
    bool done = false;
    {
        QSqlQuery query(db);
        done = exec(query, acceptNearMissStatement, {{":contentID", contentId}, {":text", answer}})
            && query.numRowsAffected() > 0
            && exec(query, removeNearMiss, {{":contentID", contentId}, {":text", answer}});
        error = query.lastError();
    }
    if (done && db.commit())
        return true;
    if (done)
        error = db.lastError();
    db.rollback();
    return false;
}

bool HealthStore::dismissNearMiss(int contentId, const QString& answer)
{
    return change(removeNearMiss, contentId, answer, false);
}

bool HealthStore::reports(int contentId, QList<ReportRow>* rows)
{
    error = QSqlError();
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!exec(query, listReports, {{":contentID", contentId}}))
        return failed(query.lastError());
    while (query.next())
        rows->append({query.value(0).toString(), query.value(1).toDateTime(), query.value(2).toString()});
    return !query.lastError().isValid() || failed(query.lastError());
}

bool HealthStore::dismissReports(int contentId)
{
    error = QSqlError();
    QSqlQuery query(db);
    return exec(query, removeReports, {{":contentID", contentId}}) || failed(query.lastError());
}

bool HealthStore::setRetired(int contentId, bool retired)
{
    error = QSqlError();
    QSqlQuery query(db);
    // Retiring one already retired, or unretiring one that is not, changes nothing and is no failure.
    return exec(query, retired ? retire : unretire, {{":contentID", contentId}}) || failed(query.lastError());
}
