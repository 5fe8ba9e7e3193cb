#ifndef SQLGAMESTORE_H
#define SQLGAMESTORE_H

#include <QSqlDatabase>

#include <memory>

#include "game/gamestore.h"

class DrawPool;
class PlayStore;
class QSqlQuery;

// The game's store on the program's database: the control right and every
// game statement run on gameQuery, the admin right on adminQuery.
class SqlGameStore : public GameStore
{
public:
    explicit SqlGameStore(const QSqlDatabase& db);
    ~SqlGameStore() override;

    bool categoryExists(const QString& name) override;
    bool hasQuestions(const QString& name) override;
    bool draw(const QString& category, Drawn* drawn) override;
    void resetDraw() override;
    void finish() override;
    QString givePoint(const QString& name, int id) override;
    bool hasControl(const QString& name) override;
    bool hasAdmin(const QString& name) override;
    bool listCategories(QStringList* names) override;
    bool topTen(QList<QPair<QString, QString>>* rows) override;
    bool topTenSince(const QDateTime& since, QList<QPair<QString, QString>>* rows) override;
    Lookup myScore(const QString& name, QString* score) override;
    Lookup userScore(const QString& name, QString* score) override;
    void recordEnd(int id, End end, qint64 ms) override;
    void recordNearMiss(int id, const QString& line, const QString& speaker) override;
    Report report(int id, const QString& reporter, const QString& note) override;
    void setRoom(const QString& network, const QString& channel) override;
    void updateRoom(const RoomState& room) override;

private:
    std::unique_ptr<QSqlQuery> gameQuery;
    std::unique_ptr<QSqlQuery> adminQuery;
    std::unique_ptr<DrawPool> drawPool;
    std::unique_ptr<PlayStore> playStore;
};

#endif
