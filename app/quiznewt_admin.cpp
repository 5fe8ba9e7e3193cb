// The Scores and Users pages: the members of the users table, their scores
// and their two rights, edited straight on the default connection.

#include "app/quiznewt.h"

#include <QList>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStringList>
#include <QTreeWidgetItem>
#include <QVariant>

#include <climits>
#include <utility>

#include "app/messagebox.h"
#include "db/statements.h"

namespace {

const QString selectUserLabel = QStringLiteral("<select user>");
const QString trueText = QStringLiteral("true");
const QString falseText = QStringLiteral("false");

const QString listScoresSql = QStringLiteral("SELECT username, score FROM users");
const QString resetScoresSql = QStringLiteral("UPDATE users SET score=0");
const QString updateScoreSql = QStringLiteral("UPDATE users SET score=:newscore WHERE username=:username");

const QString listUsersSql =
    QStringLiteral("SELECT username, hasControl, hasAdmin FROM users ORDER BY username ASC");
const QString addUserSql = QStringLiteral(
    "INSERT INTO users (username, score, hasControl, hasAdmin, userID) "
    "VALUES (:username, :score, :control, :admin, GEN_ID(AUTO_INC, 1) ) ");
const QString findUserSql = QStringLiteral("SELECT userID FROM users WHERE username=:username");
const QString changeUserSql = QStringLiteral(
    "UPDATE users SET username=:newname, hasControl=:control, hasAdmin=:admin WHERE userID=:userID ");

void showError(QWidget* parent, const QString& text)
{
    MessageBox::information(parent, QStringLiteral("Error"), text);
}

// A right reads as an unsigned number; only 0 (or NULL) and 1 have a text,
// anything else leaves the cell empty.
QString rightText(const QVariant& stored)
{
    if (stored.isNull())
        return falseText;
    bool ok = false;
    const uint value = stored.toString().toUInt(&ok);
    if (!ok)
        return QString();
    if (value == 0)
        return falseText;
    if (value == 1)
        return trueText;
    return QString();
}

// The name goes between single quotes in the statement text; doubling its
// quotes keeps it one literal, so O'Brien deletes O'Brien and nothing else.
QString deleteUserStatement(const QString& name)
{
    return QStringLiteral("DELETE FROM users WHERE username='") + Statements::quoted(name) + QLatin1Char('\'');
}

// A fresh query on the default connection in place of the old one; the old
// one's result set, and the transaction that keeps its snapshot, go with it.
void replaceQuery(QSqlQuery*& query)
{
    QSqlQuery fresh(QSqlDatabase::database());
    if (query)
        *query = std::move(fresh);
    else
        query = new QSqlQuery(std::move(fresh));
}

}

void QuizNewt::loadScores()
{
    replaceQuery(scoresQuery);
    // Rows are read once, in order: not caching them saves about a third of
    // the time a long list takes.
    scoresQuery->setForwardOnly(true);
    if (!scoresQuery->exec(listScoresSql)) {
        showError(this, QStringLiteral("Unable to load scores!"));
        return;
    }
    twScoreList->clear();
    QList<QTreeWidgetItem*> items;
    while (scoresQuery->next()) {
        items.append(new QTreeWidgetItem(
            QStringList{scoresQuery->value(0).toString(), scoresQuery->value(1).toString()}));
    }
    twScoreList->addTopLevelItems(items);
}

void QuizNewt::resetScores()
{
    replaceQuery(scoresQuery);
    if (!scoresQuery->exec(resetScoresSql)) {
        showError(this, QStringLiteral("Unable to reset scores!"));
        return;
    }
    loadScores();
}

void QuizNewt::updateScore()
{
    replaceQuery(scoresQuery);
    const bool prepared = scoresQuery->prepare(updateScoreSql);
    scoresQuery->bindValue(QStringLiteral(":newscore"), sbScore->value());
    scoresQuery->bindValue(QStringLiteral(":username"), lblUsername->text());
    if (!prepared || !scoresQuery->exec()) {
        showError(this, QStringLiteral("Unable to update score!"));
        return;
    }
    loadScores();
    lblUsername->setText(selectUserLabel);
    sbScore->setValue(0);
}

void QuizNewt::scoreItemDoubleClicked(QTreeWidgetItem* item, int /*column*/)
{
    if (!item)
        return;
    bool ok = false;
    const uint score = item->text(1).toUInt(&ok);
    // The spin box clamps to its own range; only keep the number inside int.
    sbScore->setValue(ok ? static_cast<int>(qMin<uint>(score, INT_MAX)) : 0);
    lblUsername->setText(item->text(0));
}

void QuizNewt::loadUsers()
{
    twUsers->clear();
    // After clear() the query holds no result, so its mode may change here.
    usersQuery->clear();
    usersQuery->setForwardOnly(true);
    usersQuery->exec(listUsersSql);
    if (!usersQuery->isActive())
        return;
    QList<QTreeWidgetItem*> items;
    while (usersQuery->next()) {
        items.append(new QTreeWidgetItem(QStringList{usersQuery->value(0).toString(),
                                                     rightText(usersQuery->value(1)),
                                                     rightText(usersQuery->value(2))}));
    }
    // The sorting view places each row itself.
    twUsers->addTopLevelItems(items);
    pbUserAdd->setEnabled(false);
    pbUserDelete->setEnabled(false);
    pbUserUpdate->setEnabled(false);
}

void QuizNewt::addUser()
{
    const int control = cbControl->currentText() == trueText ? 1 : 0;
    const int admin = cbAdmin->currentText() == trueText ? 1 : 0;
    const bool prepared = usersQuery->prepare(addUserSql);
    usersQuery->bindValue(QStringLiteral(":username"), leUsername->text());
    usersQuery->bindValue(QStringLiteral(":score"), 0);
    usersQuery->bindValue(QStringLiteral(":control"), control);
    usersQuery->bindValue(QStringLiteral(":admin"), admin);
    if (!prepared || !usersQuery->exec()) {
        showError(this, QStringLiteral("Unable to add user!"));
        return;
    }
    // The sorting view places the new row itself; the list is not read back.
    twUsers->addTopLevelItem(new QTreeWidgetItem(
        QStringList{leUsername->text(), cbControl->currentText(), cbAdmin->currentText()}));
    leUsername->clear();
    pbUserAdd->setEnabled(false);
    pbUserUpdate->setEnabled(false);
    pbUserDelete->setEnabled(false);
}

void QuizNewt::updateUser()
{
    // The buttons only allow this after a double-click made a row current.
    QTreeWidgetItem* current = twUsers->currentItem();
    if (!current)
        return;

    // The listed name finds the member, so a rename keeps the same row.
    if (!usersQuery->prepare(findUserSql))
        return;
    usersQuery->bindValue(QStringLiteral(":username"), current->text(0));
    if (!usersQuery->exec() || !usersQuery->next())
        return;
    const qint64 userId = usersQuery->value(0).toUInt();

    const bool prepared = usersQuery->prepare(changeUserSql);
    usersQuery->bindValue(QStringLiteral(":newname"), leUsername->text());
    usersQuery->bindValue(QStringLiteral(":userID"), userId);
    usersQuery->bindValue(QStringLiteral(":control"), cbControl->currentText() == falseText ? 0 : 1);
    usersQuery->bindValue(QStringLiteral(":admin"), cbAdmin->currentText() == falseText ? 0 : 1);
    if (!prepared || !usersQuery->exec()) {
        showError(this, QStringLiteral("Unable to update user!"));
        return;
    }
    leUsername->clear();
    twUsers->clear();
    loadUsers();
}

void QuizNewt::deleteUser()
{
    if (!usersQuery->exec(deleteUserStatement(leUsername->text()))) {
        showError(this, QStringLiteral("Unable to delete user!"));
        return;
    }
    // The list row goes by position, not by name, and the list is not reloaded.
    delete twUsers->currentItem();
    pbUserAdd->setEnabled(false);
    pbUserDelete->setEnabled(false);
    pbUserUpdate->setEnabled(false);
    leUsername->clear();
}

void QuizNewt::userItemDoubleClicked(QTreeWidgetItem* item, int /*column*/)
{
    if (!item)
        return;
    leUsername->setText(item->text(0));
    // No match (an empty cell) leaves the box with no current item.
    cbControl->setCurrentIndex(cbControl->findText(item->text(1), Qt::MatchExactly | Qt::MatchCaseSensitive));
    cbAdmin->setCurrentIndex(cbAdmin->findText(item->text(2), Qt::MatchExactly | Qt::MatchCaseSensitive));
    pbUserUpdate->setEnabled(true);
    pbUserDelete->setEnabled(true);
}

void QuizNewt::userTextEdited(const QString& /*text*/)
{
    pbUserAdd->setEnabled(true);
}
