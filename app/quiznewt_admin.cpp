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

#include "db/playerstore.h"
#include "gui/messagebox.h"

namespace {

const QString selectUserLabel = QStringLiteral("<select user>");
const QString trueText = QStringLiteral("true");
const QString falseText = QStringLiteral("false");

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
    QList<QTreeWidgetItem*> items;
    const auto addRow = [&items](const QString& name, const QString& score) {
        items.append(new QTreeWidgetItem(QStringList{name, score}));
    };
    if (!PlayerStore(*scoresQuery).listScores(addRow)) {
        showError(this, QStringLiteral("Unable to load scores!"));
        return;
    }
    twScoreList->clear();
    twScoreList->addTopLevelItems(items);
}

void QuizNewt::resetScores()
{
    replaceQuery(scoresQuery);
    if (!PlayerStore(*scoresQuery).resetScores()) {
        showError(this, QStringLiteral("Unable to reset scores!"));
        return;
    }
    loadScores();
}

void QuizNewt::updateScore()
{
    replaceQuery(scoresQuery);
    if (!PlayerStore(*scoresQuery).updateScore(lblUsername->text(), sbScore->value())) {
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
    QList<QTreeWidgetItem*> items;
    const auto addRow = [&items](const QString& name, const QVariant& control, const QVariant& admin) {
        items.append(new QTreeWidgetItem(QStringList{name, rightText(control), rightText(admin)}));
    };
    if (!PlayerStore(*usersQuery).listUsers(addRow))
        return;
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
    if (!PlayerStore(*usersQuery).addUser(leUsername->text(), 0, control, admin)) {
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
    PlayerStore users(*usersQuery);
    const qint64 userId = users.findUser(current->text(0));
    if (userId < 0)
        return;

    const int control = cbControl->currentText() == falseText ? 0 : 1;
    const int admin = cbAdmin->currentText() == falseText ? 0 : 1;
    if (!users.changeUser(userId, leUsername->text(), control, admin)) {
        showError(this, QStringLiteral("Unable to update user!"));
        return;
    }
    leUsername->clear();
    twUsers->clear();
    loadUsers();
}

void QuizNewt::deleteUser()
{
    // The name is quoted into the statement, so O'Brien deletes O'Brien and
    // nothing else.
    if (!PlayerStore(*usersQuery).deleteUser(leUsername->text())) {
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
