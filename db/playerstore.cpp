#include "db/playerstore.h"

#include <QSqlQuery>
#include <QtGlobal>

#include "db/database.h"
#include "db/statements.h"
#include "db/storequery.h"

using StoreQuery::exec;
using StoreQuery::firstValue;

bool PlayerStore::exists(const QString& name)
{
    return exec(query, Statements::userExists, {{":username", name.toUpper()}}) && query.next();
}

QString PlayerStore::givePoint(const QString& name)
{
    pointName.clear();
    QVariantList row;
    QString error;
    if (!Database::runReserving(query.driver(), Statements::givePoint, Statements::reservedForPoints,
                                {name, name.toUpper()}, &row, &error)) {
        // Never to the room: the game goes on without the point.
        qWarning("QuizNewt: no point stored for %s: %s", qPrintable(name), qPrintable(error));
        return {};
    }
    pointName = name;
    pointScore = row.value(0).toString();
    return pointScore;
}

bool PlayerStore::raiseScore(const QString& name)
{
    return !givePoint(name).isNull();
}

bool PlayerStore::addPlayer(const QString& name)
{
    return !givePoint(name).isNull();
}

QString PlayerStore::readScore(const QString& name)
{
    if (!pointName.isNull() && name == pointName) {
        pointName.clear();
        return pointScore;
    }
    if (!exec(query, Statements::userScore, {{":username", name.toUpper()}}))
        return QStringLiteral("0");
    return query.next() ? query.value(0).toString() : QString();
}

// A right is held when it reads as exactly 1; 2 or any text is not.
bool PlayerStore::rightIsHeld(const QString& statement, const QString& name)
{
    return firstValue(query, exec(query, statement, {{":username", name.toUpper()}})).toUInt() == 1;
}

bool PlayerStore::hasControl(const QString& name)
{
    return rightIsHeld(Statements::hasControl, name);
}

bool PlayerStore::hasAdmin(const QString& name)
{
    return rightIsHeld(Statements::hasAdmin, name);
}

bool PlayerStore::topTen(QList<QPair<QString, QString>>* rows)
{
    if (!exec(query, Statements::topTen, {}))
        return false;
    while (query.next())
        rows->append({query.value(0).toString(), query.value(1).toString()});
    return true;
}

PlayerStore::Lookup PlayerStore::scoreOf(const QString& statement, const QString& boundName, QString* score)
{
    QVariant value;
    const Lookup found = StoreQuery::first(query, exec(query, statement, {{":username", boundName}}), &value);
    if (found == Lookup::Found)
        *score = value.toString();
    return found;
}

PlayerStore::Lookup PlayerStore::myScore(const QString& name, QString* score)
{
    return scoreOf(Statements::myScore, name, score);
}

PlayerStore::Lookup PlayerStore::userScore(const QString& name, QString* score)
{
    return scoreOf(Statements::userScore, name.toUpper(), score);
}

bool PlayerStore::listScores(const std::function<void(const QString& name, const QString& score)>& row)
{
    if (!query.exec(Statements::listScores))
        return false;
    while (query.next())
        row(query.value(0).toString(), query.value(1).toString());
    return true;
}

bool PlayerStore::resetScores()
{
    return query.exec(Statements::resetScores);
}

bool PlayerStore::updateScore(const QString& name, int score)
{
    return exec(query, Statements::updateScore, {{":newscore", score}, {":username", name}});
}

bool PlayerStore::listUsers(
    const std::function<void(const QString& name, const QVariant& control, const QVariant& admin)>& row)
{
    query.exec(Statements::listUsers);
    if (!query.isActive())
        return false;
    while (query.next())
        row(query.value(0).toString(), query.value(1), query.value(2));
    return true;
}

bool PlayerStore::addUser(const QString& name, int score, int control, int admin)
{
    return exec(query, Statements::addUser,
                {{":username", name}, {":score", score}, {":control", control}, {":admin", admin}});
}

PlayerStore::Lookup PlayerStore::sameNameIgnoringCase(const QString& name, qint64 exceptUserId, QString* existing)
{
    // UPPER(username) is indexed; the game compares names the same way.
    static const QString statement = QStringLiteral(
        "SELECT FIRST 1 username FROM users WHERE UPPER(username)=:username AND userID<>:userID");
    QVariant found;
    const Lookup result = StoreQuery::first(
        query, exec(query, statement, {{":username", name.toUpper()}, {":userID", exceptUserId}}), &found);
    if (result == Lookup::Found)
        *existing = found.toString();
    return result;
}

qint64 PlayerStore::findUser(const QString& name)
{
    const QVariant userId = firstValue(query, exec(query, Statements::findUser, {{":username", name}}));
    return userId.isValid() ? qint64(userId.toUInt()) : -1;
}

bool PlayerStore::changeUser(qint64 userId, const QString& newName, int control, int admin)
{
    return exec(query, Statements::changeUser,
                {{":newname", newName}, {":userID", userId}, {":control", control}, {":admin", admin}});
}

bool PlayerStore::deleteUser(const QString& name)
{
    return query.exec(Statements::withName(Statements::deleteUserPrefix, name));
}
