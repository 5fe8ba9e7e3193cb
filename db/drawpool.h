#ifndef DRAWPOOL_H
#define DRAWPOOL_H

#include <QList>
#include <QString>

#include <functional>

#include "db/lookup.h"

class QSqlQuery;

// A draw is a uniform pick among the category's playable questions as they
// are at that moment. A category of up to poolLimit questions has its keys
// read once, so a draw is one key lookup; a bigger one is drawn from by
// sampling keys between its lowest and highest, so a start never reads a
// million keys.
class DrawPool
{
public:
    // pick(n) returns an index from 0 to n - 1; playable says whether a
    // drawn question can be asked.
    using Pick = std::function<int(int count)>;
    using Playable = std::function<bool(const QString& question, const QString& answer)>;

    DrawPool(QSqlQuery& query, Pick pick, Playable playable);

    // The next draw reads the category afresh.
    void invalidate() { loaded = false; }
    // False when the category has no playable question left or the database
    // failed.
    bool draw(const QString& category, Database::DrawnQuestion* drawn);
    // Questions known to the pool, and the index of the last pick.
    int size() const { return int(ids.size()); }
    int lastIndex() const { return index; }
    // Tests make small categories sample.
    void setPoolLimit(int limit) { poolLimit = limit; }
    bool isSampling() const { return sampling; }

private:
    void load(const QString& upperName);
    void loadKeys(const QString& upperName);
    bool addNew(qint64 upTo);
    bool drawSampled(Database::DrawnQuestion* drawn);

    QSqlQuery& query;
    Pick pick;
    Playable playable;
    QList<int> ids;
    QString category;
    qint64 generator = 0;
    bool loaded = false;
    int index = 0;
    int poolLimit = 10000;
    bool sampling = false;
    qint64 catId = -1;
    // The category's lowest and highest keys when last read.
    qint64 keyLow = 0;
    qint64 keyHigh = -1;
    // The share of keys in that range that are the category's, as sampled.
    double density = 1.0;
};

#endif
