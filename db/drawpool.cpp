#include "db/drawpool.h"

#include <QSqlQuery>
#include <QVariant>

#include "db/statements.h"

namespace {

// How many questions one draw may look at before it gives up, so a category
// of unplayable questions cannot hold the game up for long.
const int drawLookups = 200;

}

DrawPool::DrawPool(QSqlQuery& query, Pick pick, Playable playable)
    : query(query), pick(std::move(pick)), playable(std::move(playable))
{
}

void DrawPool::load(const QString& upperName)
{
    ids.clear();
    category = upperName;
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
