#ifndef BOARDS_H
#define BOARDS_H

#include <QDateTime>
#include <QHash>
#include <QMap>
#include <QString>
#include <QStringList>

#include "web/webdata.h"
#include "web/webstore.h"

namespace Web {

// The four boards, kept in memory so that a request costs no query. The
// points log is read in whole once (from the earliest start of the three
// periods), counted per member and local day, and after that only the
// points of its last minute are read again, at most once a second, to find
// the new ones. All time is the members' scores, read again when points
// came or every few seconds, since the Scores page changes them without the
// log.
class Boards
{
public:
    // The log's last minute is read again at each update. A point's time is
    // taken when its statement runs and it becomes visible when it commits;
    // one that commits later than one stamped after it is still found.
    static constexpr qint64 rereadMs = 60 * 1000;
    static constexpr int allTimeSeconds = 5;
    static constexpr int maxRows = 10;

    // Reads the log again in whole at the next update (after a reconnect).
    void reset();

    // Brings the boards up to the log as the store has it at `now`, a local
    // time. Lost when the database is; the boards then keep what they had.
    WebStore::Status update(WebStore& store, const QDateTime& now);

    Board board(Quiz::Period period) const;
    // A member's points in a period, the name compared ignoring case.
    qint64 points(Quiz::Period period, const QString& name) const;
    // Goes up whenever a board may have changed.
    quint64 generation() const { return changes; }

private:
    struct Tally
    {
        qint64 points = 0;
        // The greatest spelling of the name, as MAX(username) gives the
        // game's boards by period.
        QString spelling;
    };
    using Tallies = QHash<QString, Tally>; // by upper-cased name

    static int periodIndex(Quiz::Period period);
    void count(const PointRow& row);
    void startPeriods(const QDateTime& now);
    QList<BoardRow> best(const Tallies& tallies) const;

    bool loaded = false;
    QDateTime periodStarts[3]; // today, week, month
    // Days as numbers, wall-clock milliseconds over a day's.
    qint64 periodDays[3] = {};
    qint64 firstDay = 0; // the earliest of the three
    QMap<qint64, Tallies> days;
    Tallies totals[3];
    // The points at or after windowStart, by time, each as its key; the next
    // update reads them again and counts only those not among them.
    qint64 windowStart = -1;
    QMap<qint64, QStringList> seen;

    Board cached[4];
    QDateTime allTimeRead;
    quint64 changes = 1;
    quint64 cachedAt = 0;
};

}

#endif
