#include "web/webstore.h"

#include "db/healthstore.h"

#include <QHash>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace Web {

namespace {

const QDate wallClockEpoch(2000, 1, 1);
const qint64 dayMs = 24 * 60 * 60 * 1000;
const QString pointsSince = QStringLiteral(
    "SELECT username, contentID, network, channel, "
    "DATEDIFF(MILLISECOND FROM TIMESTAMP '2000-01-01 00:00:00' TO scored_at) FROM score_event "
    "WHERE scored_at >= :since");
// The game's own statement for !top, so both show the same ten; and the
// same over the scores from a floor up.
const QString topScoresStatement = QStringLiteral("SELECT FIRST 10 username, score FROM users ORDER BY score DESC");
const QString topScoresFromStatement =
    QStringLiteral("SELECT FIRST 10 username, score FROM users WHERE score >= :floor ORDER BY score DESC");
// The database's clock comes along: the countdown is measured by the clock
// that stamped asked_at, whatever this machine's says.
const QString listRooms = QStringLiteral(
    "SELECT network, channel, category, state, asked_at, answer_seconds, question_number, updated_at, "
    "CURRENT_TIMESTAMP FROM room_state WHERE state IS DISTINCT FROM 'stopped' ORDER BY network, channel");
const QString listCategories = QStringLiteral(
    "SELECT cat.catName, COUNT(c.contentID) FROM category cat "
    "LEFT JOIN category_content cc ON cc.catID = cat.catID "
    "LEFT JOIN content c ON c.contentID = cc.contentID "
    "AND NOT EXISTS (SELECT 1 FROM content_retired r WHERE r.contentID = c.contentID) "
    "GROUP BY cat.catName ORDER BY cat.catName");
// A database made before questions could be retired.
const QString listCategoriesWithoutRetired = QStringLiteral(
    "SELECT cat.catName, COUNT(c.contentID) FROM category cat "
    "LEFT JOIN category_content cc ON cc.catID = cat.catID "
    "LEFT JOIN content c ON c.contentID = cc.contentID "
    "GROUP BY cat.catName ORDER BY cat.catName");
const QString findMember = QStringLiteral("SELECT FIRST 1 username, score FROM users WHERE UPPER(username)=:name");
const QString membersAbove = QStringLiteral("SELECT COUNT(*) FROM users WHERE score > :score");
const QString findLoggedName =
    QStringLiteral("SELECT FIRST 1 username FROM score_event WHERE UPPER(username)=:name");
// Compared as a date, so that only the name's index is used: the time's
// would walk a month of everyone's points.
const QString pointsPerDay = QStringLiteral(
    "SELECT CAST(scored_at AS DATE), COUNT(*) FROM score_event WHERE UPPER(username)=:name "
    "AND CAST(scored_at AS DATE) >= :since GROUP BY CAST(scored_at AS DATE)");
const QString bestCategories = QStringLiteral(
    "SELECT FIRST 5 cat.catName, COUNT(*) FROM score_event e "
    "INNER JOIN category_content cc ON cc.contentID = e.contentID "
    "INNER JOIN category cat ON cat.catID = cc.catID "
    "WHERE UPPER(e.username)=:name GROUP BY cat.catName ORDER BY 2 DESC, 1");
const QString stillThere = QStringLiteral("SELECT 1 FROM RDB$DATABASE");

}

qint64 wallClockMs(const QDateTime& moment)
{
    return wallClockEpoch.daysTo(moment.date()) * dayMs + moment.time().msecsSinceStartOfDay();
}

QDateTime fromWallClockMs(qint64 ms)
{
    const qint64 days = ms >= 0 ? ms / dayMs : -((-ms + dayMs - 1) / dayMs);
    return QDateTime(wallClockEpoch.addDays(days), QTime::fromMSecsSinceStartOfDay(int(ms - days * dayMs)));
}

WebStore::WebStore(const QString& connectionName)
    : connectionName(connectionName)
{
}

WebStore::~WebStore()
{
    disconnect();
}

bool WebStore::connect(const Database::Location& location, QString* error)
{
    disconnect();
    {
        QSqlDatabase db = Database::open(location, connectionName, error);
        connected = db.isOpen();
    }
    if (!connected)
        QSqlDatabase::removeDatabase(connectionName);
    return connected;
}

void WebStore::disconnect()
{
    if (!QSqlDatabase::contains(connectionName))
        return;
    QSqlDatabase::database(connectionName, false).close();
    QSqlDatabase::removeDatabase(connectionName);
    connected = false;
}

WebStore::Status WebStore::failed(const QSqlQuery& query)
{
    return failed(query.lastError());
}

WebStore::Status WebStore::failed(const QSqlError& error)
{
    if (!connected)
        return Status::Lost;
    QSqlQuery probe(QSqlDatabase::database(connectionName, false));
    if (!probe.exec(stillThere) || !probe.next()) {
        qWarning("quiznewt-web: the database is lost: %s", qPrintable(error.text()));
        connected = false;
        return Status::Lost;
    }
    // Once for each error: a database made before a table stays without it.
    if (!reported.contains(error.text())) {
        reported.insert(error.text());
        qWarning("quiznewt-web: left empty: %s", qPrintable(error.text()));
    }
    return Status::Missing;
}

bool WebStore::run(QSqlQuery& query, const QString& statement, const QList<std::pair<QString, QVariant>>& values)
{
    if (!connected)
        return false;
    // A query object of its own each time: the driver keeps a SELECT's
    // snapshot for as long as its query object lives.
    query = QSqlQuery(QSqlDatabase::database(connectionName, false));
    query.setForwardOnly(true);
    if (!query.prepare(statement))
        return false;
    for (const auto& [name, value] : values)
        query.bindValue(name, value);
    return query.exec();
}

WebStore::Status WebStore::points(const QDateTime& since, const std::function<void(const PointRow&)>& take)
{
    QSqlQuery query;
    if (!run(query, pointsSince, {{QStringLiteral(":since"), since}}))
        return failed(query);
    PointRow row;
    while (query.next()) {
        row.name = query.value(0).toString();
        row.contentId = query.value(1).toString();
        row.network = query.value(2).toString();
        row.channel = query.value(3).toString();
        row.scoredAt = query.value(4).toLongLong();
        take(row);
    }
    // A connection lost halfway ends the rows early.
    return query.lastError().isValid() ? failed(query) : Status::Ok;
}

WebStore::Status WebStore::topScores(QList<BoardRow>* rows, std::optional<qint64> floor)
{
    QSqlQuery query;
    if (!(floor ? run(query, topScoresFromStatement, {{QStringLiteral(":floor"), *floor}}) : run(query, topScoresStatement)))
        return failed(query);
    while (query.next())
        rows->append({query.value(0).toString(), query.value(1).toLongLong()});
    return Status::Ok;
}

WebStore::Status WebStore::rooms(QList<Room>* rooms)
{
    QSqlQuery query;
    if (!run(query, listRooms))
        return failed(query);
    while (query.next()) {
        Room room;
        room.network = query.value(0).toString();
        room.channel = query.value(1).toString();
        room.category = query.value(2).toString();
        room.state = query.value(3).toString();
        room.askedAt = query.value(4).toDateTime();
        room.answerSeconds = query.value(5).toInt();
        room.questionNumber = query.value(6).toInt();
        room.updatedAt = query.value(7).toDateTime();
        const QDateTime now = query.value(8).toDateTime();
        if (room.state == QLatin1String("question") && room.askedAt.isValid())
            room.secondsLeft = qMax(0.0, room.answerSeconds - room.askedAt.msecsTo(now) / 1000.0);
        rooms->append(room);
    }
    return Status::Ok;
}

WebStore::Status WebStore::categories(QList<CategoryCount>* categories)
{
    QSqlQuery query;
    if (!run(query, listCategories)) {
        if (failed(query) == Status::Lost)
            return Status::Lost;
        if (!run(query, listCategoriesWithoutRetired))
            return failed(query);
    }
    while (query.next())
        categories->append({query.value(0).toString(), query.value(1).toInt()});
    return Status::Ok;
}

WebStore::Status WebStore::player(const QString& name, const QDate& firstDay, Player* player, bool* found)
{
    const std::pair<QString, QVariant> named(QStringLiteral(":name"), name.toUpper());
    *found = false;
    QSqlQuery query;
    if (!run(query, findMember, {named}))
        return failed(query);
    if (query.next()) {
        *found = true;
        player->name = query.value(0).toString();
        player->score = query.value(1).toLongLong();
        if (!run(query, membersAbove, {{QStringLiteral(":score"), player->score}}) || !query.next())
            return failed(query);
        player->rank = query.value(0).toInt() + 1;
    } else {
        // Points logged under a name the members no longer have.
        if (!run(query, findLoggedName, {named})) {
            const Status status = failed(query);
            return status == Status::Missing ? Status::Ok : status;
        }
        if (!query.next())
            return Status::Ok;
        *found = true;
        player->name = query.value(0).toString();
    }

    QHash<QDate, int> perDay;
    if (run(query, pointsPerDay, {named, {QStringLiteral(":since"), firstDay}})) {
        while (query.next())
            perDay.insert(query.value(0).toDate(), query.value(1).toInt());
    } else if (failed(query) == Status::Lost) {
        return Status::Lost;
    }
    player->days.clear();
    for (QDate day = firstDay; day <= QDate::currentDate(); day = day.addDays(1))
        player->days.append({day, perDay.value(day)});

    if (run(query, bestCategories, {named})) {
        while (query.next())
            player->categories.append({query.value(0).toString(), query.value(1).toInt()});
    } else if (failed(query) == Status::Lost) {
        return Status::Lost;
    }
    return Status::Ok;
}

WebStore::Status WebStore::health(QList<HealthItem>* items)
{
    if (!connected)
        return Status::Lost;
    // The editor's own list, so that both name the same questions for the
    // same reasons.
    HealthStore health(QSqlDatabase::database(connectionName, false));
    QList<HealthRow> rows;
    if (!health.listNeedingLook(&rows))
        return failed(health.lastError());
    for (const HealthRow& row : std::as_const(rows)) {
        HealthItem item;
        item.contentId = row.contentId;
        item.question = row.question;
        item.answer = row.answer;
        item.category = row.category;
        item.asked = row.asked;
        item.answered = row.answered;
        item.totalMs = row.totalMs;
        item.neverAnswered = row.reasons().testFlag(HealthRow::NeverAnswered);
        item.tooFast = row.reasons().testFlag(HealthRow::TooFast);
        QList<ReportRow> reports;
        QList<NearMissRow> misses;
        if ((row.reports > 0 && !health.reports(row.contentId, &reports))
            || (row.nearMisses > 0 && !health.nearMisses(row.contentId, &misses)))
            return failed(health.lastError());
        for (const ReportRow& report : std::as_const(reports))
            item.reports.append({report.reporter, report.reportedAt, report.note});
        for (const NearMissRow& miss : std::as_const(misses))
            item.nearMisses.append({miss.answer, miss.times, miss.lastBy});
        items->append(item);
    }
    // Most reasons first, then the most reported, then the oldest question.
    std::stable_sort(items->begin(), items->end(), [](const HealthItem& a, const HealthItem& b) {
        if (a.reasons() != b.reasons())
            return a.reasons() > b.reasons();
        if (a.reports.size() != b.reports.size())
            return a.reports.size() > b.reports.size();
        return a.contentId < b.contentId;
    });
    return Status::Ok;
}

}
