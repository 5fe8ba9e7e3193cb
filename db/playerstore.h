#ifndef PLAYERSTORE_H
#define PLAYERSTORE_H

#include <QList>
#include <QPair>
#include <QString>
#include <QVariant>

#include <functional>

#include "db/lookup.h"

class QSqlQuery;

// The members of the room: their scores and their two rights. Runs on a query
// the caller owns, so the caller decides which connection and transaction.
class PlayerStore
{
public:
    using Lookup = Database::Lookup;

    explicit PlayerStore(QSqlQuery& query) : query(query) {}

    // The game compares names without regard to case.
    bool exists(const QString& name);
    // A correct answer's point, safe beside other processes on the database:
    // every row of the name is raised, or the member is created with score 1
    // and no rights when there is none. The new score as readScore() gives
    // it, or an empty text when the point could not be stored.
    QString givePoint(const QString& name);
    // Both give the point as givePoint() does: another process may have
    // created or deleted the member since exists() answered.
    bool raiseScore(const QString& name);
    bool addPlayer(const QString& name);
    // The score as text: "0" when the statement fails, empty when no row.
    // Right after a point for the same name, the score that point made,
    // without another transaction.
    QString readScore(const QString& name);
    bool hasControl(const QString& name);
    bool hasAdmin(const QString& name);
    // Name and score of the best ten; false when the statement fails.
    bool topTen(QList<QPair<QString, QString>>* rows);
    // The speaker's own score, the name compared exactly.
    Lookup myScore(const QString& name, QString* score);
    // Anyone's score, the name compared without regard to case.
    Lookup userScore(const QString& name, QString* score);

    // The admin pages compare names exactly.
    bool listScores(const std::function<void(const QString& name, const QString& score)>& row);
    bool resetScores();
    bool updateScore(const QString& name, int score);
    bool listUsers(const std::function<void(const QString& name, const QVariant& control, const QVariant& admin)>& row);
    bool addUser(const QString& name, int score, int control, int admin);
    // A member other than exceptUserId whose name equals name without
    // regard to case, as the room tells names apart; *existing gets that
    // member's name as stored.
    Lookup sameNameIgnoringCase(const QString& name, qint64 exceptUserId, QString* existing);
    // The member's ID, or -1 when the statement fails or finds no one.
    qint64 findUser(const QString& name);
    bool changeUser(qint64 userId, const QString& newName, int control, int admin);
    // Composed as text with the name quoted.
    bool deleteUser(const QString& name);

private:
    bool rightIsHeld(const QString& statement, const QString& name);
    Lookup scoreOf(const QString& statement, const QString& boundName, QString* score);

    QSqlQuery& query;
    QString pointName;
    QString pointScore;
};

#endif
