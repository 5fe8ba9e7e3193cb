#include "game/sqlgamestore.h"

#include <QSqlQuery>

#include "db/contentstore.h"
#include "db/drawpool.h"
#include "db/playerstore.h"
#include "db/playstore.h"
#include "db/statements.h"
#include "quiz/rules.h"

SqlGameStore::SqlGameStore(const QSqlDatabase& db)
    : gameQuery(std::make_unique<QSqlQuery>(db)), adminQuery(std::make_unique<QSqlQuery>(db))
{
    drawPool = std::make_unique<DrawPool>(
        *gameQuery, [](int count) { return Quiz::randomIndex(count, Quiz::standardRandom()); }, Quiz::isPlayable);
    playStore = std::make_unique<PlayStore>(db);
}

SqlGameStore::~SqlGameStore()
{
    drawPool.reset();
    // A query keeps its connection's results; let go of them before the
    // connection closes.
    gameQuery->clear();
    adminQuery->clear();
}

bool SqlGameStore::categoryExists(const QString& name)
{
    return ContentStore(*gameQuery).categoryExists(name);
}

// Not a count: that would walk every link of a big category.
bool SqlGameStore::hasQuestions(const QString& name)
{
    gameQuery->prepare(Statements::categoryHasQuestions);
    gameQuery->bindValue(QStringLiteral(":catName"), name.toUpper());
    return gameQuery->exec() && gameQuery->next();
}

bool SqlGameStore::draw(const QString& category, Drawn* drawn)
{
    return drawPool->draw(category, drawn);
}

void SqlGameStore::resetDraw()
{
    drawPool->invalidate();
}

void SqlGameStore::finish()
{
    gameQuery->finish();
}

QString SqlGameStore::givePoint(const QString& name, int id)
{
    const QString score = playStore->givePoint(name, id);
    // A point that could not be stored reads the score as it stands.
    return score.isNull() ? PlayerStore(*gameQuery).readScore(name) : score;
}

bool SqlGameStore::hasControl(const QString& name)
{
    return PlayerStore(*gameQuery).hasControl(name);
}

bool SqlGameStore::hasAdmin(const QString& name)
{
    return PlayerStore(*adminQuery).hasAdmin(name);
}

bool SqlGameStore::listCategories(QStringList* names)
{
    return ContentStore(*gameQuery).listCategories(names);
}

bool SqlGameStore::topTen(QList<QPair<QString, QString>>* rows)
{
    return PlayerStore(*gameQuery).topTen(rows);
}

bool SqlGameStore::topTenSince(const QDateTime& since, QList<QPair<QString, QString>>* rows)
{
    return playStore->topTenSince(since, rows);
}

GameStore::Lookup SqlGameStore::myScore(const QString& name, QString* score)
{
    return PlayerStore(*gameQuery).myScore(name, score);
}

GameStore::Lookup SqlGameStore::userScore(const QString& name, QString* score)
{
    return PlayerStore(*gameQuery).userScore(name, score);
}

void SqlGameStore::recordEnd(int id, End end, qint64 ms)
{
    playStore->recordEnd(id, end, ms);
}

void SqlGameStore::recordNearMiss(int id, const QString& line, const QString& speaker)
{
    playStore->recordNearMiss(id, line, speaker);
}

GameStore::Report SqlGameStore::report(int id, const QString& reporter, const QString& note)
{
    return playStore->report(id, reporter, note);
}

void SqlGameStore::setRoom(const QString& network, const QString& channel)
{
    playStore->setRoom(network, channel);
}

void SqlGameStore::updateRoom(const RoomState& room)
{
    playStore->updateRoom(room);
}
