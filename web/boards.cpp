#include "web/boards.h"

#include <algorithm>

namespace Web {

namespace {

const Quiz::Period periods[3] = {Quiz::Period::Today, Quiz::Period::Week, Quiz::Period::Month};
const qint64 dayMs = 24 * 60 * 60 * 1000;

qint64 dayOf(qint64 wallClock)
{
    return wallClock >= 0 ? wallClock / dayMs : -((-wallClock + dayMs - 1) / dayMs);
}

QString keyOf(const PointRow& row)
{
    const QChar separator(0x1f);
    return row.name + separator + row.contentId + separator + row.network + separator + row.channel;
}

bool sameRows(const QList<BoardRow>& a, const QList<BoardRow>& b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const BoardRow& x, const BoardRow& y) {
        return x.name == y.name && x.points == y.points;
    });
}

}

int Boards::periodIndex(Quiz::Period period)
{
    switch (period) {
    case Quiz::Period::Today:
        return 0;
    case Quiz::Period::Week:
        return 1;
    case Quiz::Period::Month:
        return 2;
    case Quiz::Period::AllTime:
        break;
    }
    return 3;
}

void Boards::reset()
{
    loaded = false;
}

Board Boards::board(Quiz::Period period) const
{
    return cached[periodIndex(period)];
}

qint64 Boards::points(Quiz::Period period, const QString& name) const
{
    const int index = periodIndex(period);
    return index < 3 ? totals[index].value(name.toUpper()).points : 0;
}

void Boards::count(const PointRow& row)
{
    const qint64 day = dayOf(row.scoredAt);
    if (day < firstDay)
        return;
    const QString upper = row.name.toUpper();
    auto add = [&row](Tally& tally) {
        ++tally.points;
        if (tally.spelling.isEmpty() || tally.spelling < row.name)
            tally.spelling = row.name;
    };
    add(days[day][upper]);
    for (int i = 0; i < 3; ++i) {
        if (day >= periodDays[i])
            add(totals[i][upper]);
    }
}

// A new day: the periods may have moved on, and the counts of days before
// them go.
void Boards::startPeriods(const QDateTime& now)
{
    for (int i = 0; i < 3; ++i) {
        periodStarts[i] = Quiz::periodStart(periods[i], now);
        periodDays[i] = dayOf(wallClockMs(periodStarts[i]));
    }
    firstDay = std::min({periodDays[0], periodDays[1], periodDays[2]});
    days.erase(days.begin(), days.lowerBound(firstDay));
    for (int i = 0; i < 3; ++i) {
        totals[i].clear();
        for (auto day = days.lowerBound(periodDays[i]); day != days.end(); ++day) {
            for (auto member = day->begin(); member != day->end(); ++member) {
                Tally& total = totals[i][member.key()];
                total.points += member->points;
                if (total.spelling < member->spelling)
                    total.spelling = member->spelling;
            }
        }
    }
    ++changes;
}

WebStore::Status Boards::update(WebStore& store, const QDateTime& now)
{
    if (!loaded) {
        days.clear();
        seen.clear();
        windowStart = -1;
        allTimeRead = QDateTime();
        for (QDateTime& start : periodStarts)
            start = QDateTime();
    }
    if (periodStarts[0] != Quiz::periodStart(Quiz::Period::Today, now))
        startPeriods(now);
    if (windowStart < 0)
        windowStart = firstDay * dayMs;

    // Rows read again are matched against those seen last time, each match
    // used once: two equal points at one moment are two points.
    QMap<qint64, QStringList> previous;
    previous.swap(seen);
    qint64 latest = -1;
    bool added = false;
    auto take = [&](const PointRow& row) {
        bool counted = false;
        QString key;
        const auto before = previous.find(row.scoredAt);
        if (before != previous.end()) {
            key = keyOf(row);
            counted = before->removeOne(key);
        }
        if (!counted) {
            count(row);
            added = true;
        }
        if (latest < row.scoredAt) {
            latest = row.scoredAt;
            while (!seen.isEmpty() && seen.firstKey() < latest - rereadMs)
                seen.erase(seen.begin());
        }
        if (row.scoredAt >= latest - rereadMs)
            seen[row.scoredAt].append(key.isNull() ? keyOf(row) : key);
    };
    const WebStore::Status status = store.points(fromWallClockMs(windowStart), take);
    if (status == WebStore::Status::Lost || (status == WebStore::Status::Missing && added)) {
        // Cut short: what was counted is not known to have been seen.
        loaded = false;
        return WebStore::Status::Lost;
    }
    windowStart = std::max(windowStart, latest - rereadMs);
    loaded = true;
    if (added)
        ++changes;

    if (added || !allTimeRead.isValid() || allTimeRead > now || allTimeRead.secsTo(now) >= allTimeSeconds) {
        // The tenth score so far is the floor: the ten best are at or above
        // it unless a score went down.
        QList<BoardRow> rows;
        const QList<BoardRow>& before = cached[3].rows;
        WebStore::Status read = before.size() == maxRows ? store.topScores(&rows, before.last().points)
                                                          : store.topScores(&rows);
        if (read == WebStore::Status::Ok && before.size() == maxRows && rows.size() < maxRows) {
            rows.clear();
            read = store.topScores(&rows);
        }
        if (read == WebStore::Status::Lost)
            return WebStore::Status::Lost;
        allTimeRead = now;
        if (!sameRows(rows, cached[3].rows)) {
            cached[3].rows = rows;
            ++changes;
        }
    }

    if (cachedAt != changes) {
        for (int i = 0; i < 3; ++i) {
            cached[i].period = periods[i];
            cached[i].since = periodStarts[i];
            cached[i].rows = best(totals[i]);
        }
        cached[3].period = Quiz::Period::AllTime;
        cachedAt = changes;
    }
    return status;
}

// The best ten as the game's board orders them: most points first, then by name.
QList<BoardRow> Boards::best(const Tallies& tallies) const
{
    std::vector<const Tally*> all;
    all.reserve(tallies.size());
    for (const Tally& tally : tallies)
        all.push_back(&tally);
    const auto end = all.begin() + std::min<qsizetype>(maxRows, qsizetype(all.size()));
    std::partial_sort(all.begin(), end, all.end(), [](const Tally* a, const Tally* b) {
        return a->points != b->points ? a->points > b->points : a->spelling < b->spelling;
    });
    QList<BoardRow> rows;
    for (auto tally = all.begin(); tally != end; ++tally)
        rows.append({(*tally)->spelling, (*tally)->points});
    return rows;
}

}
