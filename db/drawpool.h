#ifndef DRAWPOOL_H
#define DRAWPOOL_H

#include <QList>
#include <QString>

#include <functional>

#include "db/lookup.h"

class QSqlQuery;

// The content IDs of the category being drawn from, so a draw is one key
// lookup instead of a walk over the whole category. A draw is a uniform pick
// among the category's playable questions as they are at that moment.
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

private:
    void load(const QString& upperName);
    bool addNew(qint64 upTo);

    QSqlQuery& query;
    Pick pick;
    Playable playable;
    QList<int> ids;
    QString category;
    qint64 generator = 0;
    bool loaded = false;
    int index = 0;
};

#endif
