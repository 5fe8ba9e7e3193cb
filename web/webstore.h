#ifndef WEBSTORE_H
#define WEBSTORE_H

#include <QDateTime>
#include <QList>
#include <QSet>
#include <QVariant>
#include <QString>

#include <functional>
#include <optional>
#include <utility>

#include "db/database.h"
#include "web/webdata.h"

class QSqlError;
class QSqlQuery;

namespace Web {

// One point as the log has it.
struct PointRow
{
    QString name;
    QString contentId; // empty when the log names no question
    QString network;
    QString channel;
    // When, as the wall clock read: milliseconds since 2000-01-01 00:00.
    // A local QDateTime per row would cost a time zone lookup each.
    qint64 scoredAt = 0;
};

// The wall-clock milliseconds of PointRow::scoredAt, both ways.
qint64 wallClockMs(const QDateTime& moment);
QDateTime fromWallClockMs(qint64 ms);

// Every read of the web program, on one connection of its own. It
// only reads: nothing here writes, and the schema is never brought up to
// date from here (that is for the programs that write).
class WebStore
{
public:
    // Missing: the statement failed but the database answers, so a table of
    // a later schema is not there; the section reads as empty. Lost: the
    // connection is gone; the caller reconnects.
    enum class Status { Ok, Missing, Lost };

    explicit WebStore(const QString& connectionName);
    ~WebStore();
    WebStore(const WebStore&) = delete;
    WebStore& operator=(const WebStore&) = delete;

    // Closes the connection there was, lost or not, and opens a new one.
    bool connect(const Database::Location& location, QString* error);
    bool isConnected() const { return connected; }

    // Every point logged at or after since, handed over one at a time.
    Status points(const QDateTime& since, const std::function<void(const PointRow&)>& take);
    // The members' ten best scores, as the game's !top reads them. With a
    // floor only the scores from it up are sorted (sorting every member
    // costs tens of milliseconds at 10,000); fewer than ten rows then mean
    // the floor was too high.
    Status topScores(QList<BoardRow>* rows, std::optional<qint64> floor = std::nullopt);
    // The rooms whose game has not stopped.
    Status rooms(QList<Room>* rooms);
    // Each category with the questions it can draw (retired ones left out).
    Status categories(QList<CategoryCount>* categories);
    // A member found ignoring case, with score, rank, points per day since
    // `firstDay` and best categories; *found false when neither the members
    // nor the log know the name.
    Status player(const QString& name, const QDate& firstDay, Player* player, bool* found);
    // The questions that need a look, retired ones left out.
    Status health(QList<HealthItem>* items);

private:
    void disconnect();
    // Prepares, binds and runs a statement in a fresh query; false when the
    // connection is gone or the statement failed.
    bool run(QSqlQuery& query, const QString& statement, const QList<std::pair<QString, QVariant>>& values = {});
    // A statement failed: is the database still there? When not, the
    // connection counts as lost until the next connect().
    Status failed(const QSqlQuery& query);
    Status failed(const QSqlError& error);

    QString connectionName;
    bool connected = false;
    QSet<QString> reported; // errors already logged
};

}

#endif
