#include "db/playstore.h"

#include <QVariant>

#include <limits>

#include "db/database.h"
#include "db/playerstore.h"
#include "db/statements.h"

#include <QSqlQuery>

namespace {

// The columns' sizes in characters.
const int answerLength = 1000;
const int nameLength = 255;

// Asked, answered or timed out, the time to a correct answer and the
// fastest one, in one step whether or not the question was counted before.
// Parameters: contentID, answered (0/1), timed out (0/1), ms.
const QByteArray recordEndStatement = QByteArrayLiteral(
    "EXECUTE BLOCK (id INTEGER = ?, answered INTEGER = ?, timedOut INTEGER = ?, ms INTEGER = ?) AS BEGIN "
    "UPDATE question_stat SET asked = asked + 1, answered = answered + :answered, "
    "timed_out = timed_out + :timedOut, total_ms = total_ms + :answered * :ms, "
    "fastest_ms = IIF(:answered = 1 AND (fastest_ms IS NULL OR fastest_ms > :ms), :ms, fastest_ms), "
    "last_asked = CURRENT_TIMESTAMP WHERE contentID = :id; "
    "IF (ROW_COUNT = 0) THEN "
    "INSERT INTO question_stat (contentID, asked, answered, timed_out, total_ms, fastest_ms, last_asked) "
    "VALUES (:id, 1, :answered, :timedOut, :answered * :ms, IIF(:answered = 1, :ms, NULL), CURRENT_TIMESTAMP); "
    "END");

// A near miss typed before counts again; a new one is kept while the
// question has room. Parameters: contentID, the line, the speaker, how many
// are kept.
const QByteArray nearMissStatement = QByteArrayLiteral(
    "EXECUTE BLOCK (id INTEGER = ?, line VARCHAR(1000) CHARACTER SET UTF8 = ?, "
    "who VARCHAR(255) CHARACTER SET UTF8 = ?, kept INTEGER = ?) AS BEGIN "
    "UPDATE near_miss SET times = times + 1, last_by = :who, last_at = CURRENT_TIMESTAMP "
    "WHERE contentID = :id AND UPPER(answer) = UPPER(:line); "
    "IF (ROW_COUNT = 0 AND (SELECT COUNT(*) FROM near_miss WHERE contentID = :id) < :kept) THEN "
    "INSERT INTO near_miss (contentID, answer, times, last_by, last_at) "
    "VALUES (:id, :line, 1, :who, CURRENT_TIMESTAMP); "
    "END");

// 0 stored, 1 reported by this member before, 2 too many within the hour.
// Parameters: contentID, reporter, note, reports allowed within the hour.
const QByteArray reportStatement = QByteArrayLiteral(
    "EXECUTE BLOCK (id INTEGER = ?, who VARCHAR(255) CHARACTER SET UTF8 = ?, "
    "note VARCHAR(1000) CHARACTER SET UTF8 = ?, perHour INTEGER = ?) RETURNS (outcome INTEGER) AS BEGIN "
    "IF (EXISTS (SELECT 1 FROM question_report WHERE contentID = :id AND UPPER(reporter) = UPPER(:who))) THEN "
    "outcome = 1; "
    "ELSE IF ((SELECT COUNT(*) FROM question_report WHERE UPPER(reporter) = UPPER(:who) "
    "AND reported_at > DATEADD(-1 HOUR TO CURRENT_TIMESTAMP)) >= :perHour) THEN outcome = 2; "
    "ELSE BEGIN "
    "INSERT INTO question_report (contentID, reporter, reported_at, note) "
    "VALUES (:id, :who, CURRENT_TIMESTAMP, :note); "
    "outcome = 0; "
    "END "
    "SUSPEND; END");

bool run(const QSqlDatabase& db, const QByteArray& statement, const char* table, const QStringList& parameters,
         QVariantList* row)
{
    QString error;
    if (Database::runReserving(db.driver(), statement, {QByteArray(table)}, parameters, row, &error))
        return true;
    // Play goes on without the record.
    qWarning("QuizNewt: not recorded in %s: %s", table, qPrintable(error));
    return false;
}

}

bool PlayStore::recordEnd(int contentId, End end, qint64 ms)
{
    QVariantList row;
    return run(db, recordEndStatement, "QUESTION_STAT",
               {QString::number(contentId), end == End::Answered ? QStringLiteral("1") : QStringLiteral("0"),
                end == End::TimedOut ? QStringLiteral("1") : QStringLiteral("0"),
                QString::number(qBound(qint64(0), ms, qint64(std::numeric_limits<int>::max())))},
               &row);
}

bool PlayStore::recordNearMiss(int contentId, const QString& line, const QString& speaker)
{
    QVariantList row;
    return run(db, nearMissStatement, "NEAR_MISS", {QString::number(contentId), line.left(answerLength), speaker.left(nameLength),
                QString::number(nearMissesKept)},
               &row);
}

PlayStore::Report PlayStore::report(int contentId, const QString& reporter, const QString& note)
{
    QVariantList row;
    if (!run(db, reportStatement, "QUESTION_REPORT", {QString::number(contentId), reporter.left(nameLength),
                                                       note.left(noteLength), QString::number(reportsPerHour)},
             &row))
        return Report::Failed;
    switch (row.value(0).toInt()) {
    case 0:
        return Report::Stored;
    case 1:
        return Report::AlreadyReported;
    default:
        return Report::TooMany;
    }
}

void PlayStore::setRoom(const QString& network, const QString& channel)
{
    this->network = network;
    this->channel = channel;
}

QString PlayStore::givePoint(const QString& name, int contentId)
{
    if (logsPoints) {
        QVariantList row;
        QString error;
        if (Database::runReserving(db.driver(), Statements::givePointLogged, Statements::reservedForPoints,
                                   {name, name.toUpper(), contentId < 0 ? QString() : QString::number(contentId),
                                    network.left(nameLength), channel.left(nameLength)},
                                   &row, &error))
            return row.value(0).toString();
        if (!error.contains(QLatin1String("SCORE_EVENT"), Qt::CaseInsensitive)) {
            qWarning("QuizNewt: no point stored for %s: %s", qPrintable(name), qPrintable(error));
            return {};
        }
        logsPoints = false;
    }
    QSqlQuery query(db);
    return PlayerStore(query).givePoint(name);
}

bool PlayStore::updateRoom(const Database::RoomState& room)
{
    QSqlQuery query(db);
    query.prepare(Statements::updateRoomState);
    query.bindValue(QStringLiteral(":roomKey"), (network + QLatin1Char(' ') + channel).left(nameLength));
    query.bindValue(QStringLiteral(":network"), network.left(nameLength));
    query.bindValue(QStringLiteral(":channel"), channel.left(nameLength));
    query.bindValue(QStringLiteral(":category"), room.category.left(nameLength));
    query.bindValue(QStringLiteral(":state"), room.state);
    query.bindValue(QStringLiteral(":isQuestion"), room.state == QLatin1String("question") ? 1 : 0);
    query.bindValue(QStringLiteral(":answerSeconds"), room.answerSeconds);
    query.bindValue(QStringLiteral(":questionNumber"), room.questionNumber);
    return query.exec();
}

bool PlayStore::topTenSince(const QDateTime& since, QList<QPair<QString, QString>>* rows)
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    query.prepare(Statements::topTenSince);
    query.bindValue(QStringLiteral(":since"), since);
    if (!query.exec())
        return false;
    while (query.next())
        rows->append({query.value(0).toString(), query.value(1).toString()});
    return true;
}
