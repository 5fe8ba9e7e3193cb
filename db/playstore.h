#ifndef PLAYSTORE_H
#define PLAYSTORE_H

#include <QDateTime>
#include <QList>
#include <QPair>
#include <QSqlDatabase>
#include <QString>

#include "db/lookup.h"

// What play records about questions: how each question went, the lines
// that nearly matched, and players' reports. Each record is one statement
// in a short transaction of its own that reserves its table, so rooms on one
// database take turns and no count is lost.
class PlayStore
{
public:
    using End = Database::QuestionEnd;
    using Report = Database::ReportOutcome;

    // At most this many different near misses are kept per question.
    static constexpr int nearMissesKept = 20;
    // A member's reports within an hour.
    static constexpr int reportsPerHour = 5;
    // Characters of a report's note that are kept.
    static constexpr int noteLength = 1000;

    explicit PlayStore(const QSqlDatabase& db) : db(db) {}

    // ms: from the question reaching the room to the correct answer.
    bool recordEnd(int contentId, End end, qint64 ms);
    bool recordNearMiss(int contentId, const QString& line, const QString& speaker);
    Report report(int contentId, const QString& reporter, const QString& note);

    // The room this store's game plays in, for the points log and the room's row.
    void setRoom(const QString& network, const QString& channel);
    // A correct answer's point, as PlayerStore gives it, logged in the same
    // step; the new score, or an empty text when it could not be stored.
    QString givePoint(const QString& name, int contentId);
    bool updateRoom(const Database::RoomState& room);
    // Names and points of the ten who scored most since `since`.
    bool topTenSince(const QDateTime& since, QList<QPair<QString, QString>>* rows);

private:
    QSqlDatabase db;
    QString network;
    QString channel;
    // A database whose points log could not be added takes points unlogged.
    bool logsPoints = true;
};

#endif
