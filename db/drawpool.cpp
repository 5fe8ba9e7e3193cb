#include "db/drawpool.h"

#include <QSqlQuery>
#include <QHash>
#include <QVariant>

#include <limits>

#include "db/statements.h"

namespace {

// How many questions one draw may look at before it gives up, so a category
// of unplayable questions cannot hold the game up for long.
const int drawLookups = 200;
// Sampling: keys tried per statement, as few as the category's density
// allows (each key found costs a row read), and statements before the keys
// are read after all.
const int fewestSamples = 3;
const int mostSamples = 64;
const int sampleBatches = 8;

}

DrawPool::DrawPool(QSqlQuery& query, Pick pick, Playable playable)
    : query(query), pick(std::move(pick)), playable(std::move(playable))
{
}

// Keys, or sampling for a category that one row names and whose keys lie
// too far apart for a pool.
void DrawPool::load(const QString& upperName)
{
    ids.clear();
    category = upperName;
    loaded = false;
    sampling = false;
    query.prepare(Statements::drawCategoryRange);
    query.bindValue(QStringLiteral(":catName"), upperName);
    if (!query.exec())
        return;
    QList<qint64> range;
    while (query.next())
        range << query.value(0).toLongLong() << query.value(1).toLongLong() << query.value(2).toLongLong();
    if (range.size() == 3 && range.at(2) - range.at(1) + 1 > poolLimit) {
        catId = range.at(0);
        keyLow = range.at(1);
        keyHigh = range.at(2);
        density = 1.0;
        sampling = loaded = true;
        return;
    }
    loadKeys(upperName);
}

void DrawPool::loadKeys(const QString& upperName)
{
    ids.clear();
    sampling = false;
    loaded = false;
    // The generator first: a question added after this read has a higher ID
    // and is found by the next draw.
    if (!query.exec(Statements::generator) || !query.next())
        return;
    generator = query.value(0).toLongLong();
    query.setForwardOnly(true);
    query.prepare(Statements::drawPool);
    query.bindValue(QStringLiteral(":catName"), upperName);
    loaded = query.exec();
    while (loaded && query.next())
        ids.append(query.value(0).toInt());
    query.setForwardOnly(false);
}

// Brings the pool up to date with the questions added up to generator value
// upTo; false when the database could not say.
bool DrawPool::addNew(qint64 upTo)
{
    query.prepare(Statements::drawPoolAdded);
    query.bindValue(QStringLiteral(":catName"), category);
    query.bindValue(QStringLiteral(":after"), generator);
    query.bindValue(QStringLiteral(":upTo"), upTo);
    if (!query.exec())
        return false;
    while (query.next())
        ids.append(query.value(0).toInt());
    generator = upTo;
    return true;
}

// The pool may still hold questions deleted since it was read: drawing one of
// those drops it and draws again. Questions added since are put in first and
// the draw is made again. Either way every present question stays equally
// likely.
bool DrawPool::draw(const QString& name, Database::DrawnQuestion* drawn)
{
    const QString upperName = name.toUpper();
    if (!loaded || category != upperName)
        load(upperName);
    if (!loaded)
        return false;
    if (sampling && drawSampled(drawn))
        return true;
    if (sampling) {
        // Too sparse, or gone: read the keys after all.
        if (catId < 0)
            return false;
        loadKeys(upperName);
        if (!loaded)
            return false;
    }

    for (int lookup = 0; lookup < drawLookups; ++lookup) {
        const bool picked = !ids.isEmpty();
        index = picked ? pick(int(ids.size())) : 0;
        query.prepare(Statements::drawOne);
        query.bindValue(QStringLiteral(":catName"), upperName);
        query.bindValue(QStringLiteral(":contentID"), picked ? ids.at(index) : -1);
        query.bindValue(QStringLiteral(":acceptedFor"), picked ? ids.at(index) : -1);
        if (!query.exec())
            return false;

        bool found = false;
        qint64 newGenerator = generator;
        QString drawnQuestion;
        QString drawnAnswer;
        QStringList accepted;
        while (query.next()) {
            switch (query.value(0).toInt()) {
            case 1:
                found = true;
                drawnQuestion = query.value(1).toString();
                drawnAnswer = query.value(2).toString();
                break;
            case 2:
                accepted.append(query.value(2).toString());
                break;
            default:
                newGenerator = query.value(3).toLongLong();
            }
        }
        if (newGenerator != generator) {
            const qsizetype before = ids.size();
            if (!addNew(newGenerator))
                return false;
            if (ids.size() != before)
                continue;
        }
        if (!picked)
            return false;
        // Gone, or unplayable: either leaves the pool for this game.
        if (!found || !playable(drawnQuestion, drawnAnswer)) {
            ids.swapItemsAt(index, ids.size() - 1);
            ids.removeLast();
            continue;
        }
        *drawn = {ids.at(index), drawnQuestion, drawnAnswer, accepted};
        return true;
    }
    return false;
}

// Keys drawn uniformly between the category's lowest and highest, a batch
// at a time: the first that is a playable question of the category now is
// the draw, which makes each such question equally likely. Each statement
// also reads the two ends afresh; a batch drawn between ends that have
// moved since is drawn again.
bool DrawPool::drawSampled(Database::DrawnQuestion* drawn)
{
    for (int batch = 0; batch <= sampleBatches; ++batch) {
        // About three keys found per statement, going by the keys found so far.
        const int sampleSize = qBound(fewestSamples, int(3 / qMax(density, 0.01)), mostSamples);
        QList<qint64> keys;
        for (int i = 0; keyHigh >= keyLow && i < sampleSize; ++i)
            keys << keyLow + pick(int(qMin<qint64>(keyHigh - keyLow + 1, std::numeric_limits<int>::max())));
        if (!query.exec(Statements::drawCandidates(catId, keys)))
            return false;
        QHash<qint64, QPair<QString, QString>> found;
        QHash<qint64, QStringList> accepted;
        qint64 low = -1;
        qint64 high = -2;
        while (query.next()) {
            const qint64 key = query.value(1).toLongLong();
            switch (query.value(0).toInt()) {
            case 1:
                found.insert(key, {query.value(3).toString(), query.value(4).toString()});
                break;
            case 2:
                accepted[key] << query.value(4).toString();
                break;
            default:
                low = query.value(1).isNull() ? -1 : key;
                high = query.value(2).isNull() ? -2 : query.value(2).toLongLong();
            }
        }
        // Every question of the category is gone.
        if (high < low) {
            catId = -1;
            return false;
        }
        if (low != keyLow || high != keyHigh) {
            keyLow = low;
            keyHigh = high;
            continue;
        }
        density = 0.7 * density + 0.3 * qMax(0.005, double(found.size()) / keys.size());
        for (qint64 key : keys) {
            const auto row = found.constFind(key);
            if (row != found.cend() && playable(row->first, row->second)) {
                *drawn = {int(key), row->first, row->second, accepted.value(key)};
                return true;
            }
        }
    }
    return false;
}
