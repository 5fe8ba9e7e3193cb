// The Scores and Users pages: the members of the users table, their scores
// and their two rights, edited straight on the default connection.

#include "app/quiznewt.h"

#include <QList>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QTreeWidgetItem>
#include <QVariant>

#include <climits>
#include <utility>

#include "app/memberlist.h"
#include "db/engineerror.h"
#include "db/playerstore.h"
#include "gui/messagebox.h"

namespace {

const QString selectUserLabel = QStringLiteral("<select user>");
const QString trueText = QStringLiteral("true");
const QString falseText = QStringLiteral("false");

// The page's own words first, then what went wrong in plain words; the
// engine's text goes under Details.
void showError(QWidget* parent, const QString& lead, const QSqlError& error)
{
    EngineError described = describeEngineError(error);
    if (described.plain.isEmpty() && !QSqlDatabase::database(QSqlDatabase::defaultConnection, false).isOpen())
        described.plain = QStringLiteral("No database is open.");
    MessageBox::warning(parent, QStringLiteral("Error"), described.plain.isEmpty() ? lead : described.after(lead),
                        described.engine);
}

// A name the room would take for another member's is refused before the
// database is asked.
bool refuseSameName(QWidget* parent, const QString& lead, PlayerStore& users, const QString& name,
                    qint64 exceptUserId, QSqlQuery& query)
{
    QString existing;
    switch (users.sameNameIgnoringCase(name, exceptUserId, &existing)) {
    case Database::Lookup::Missing:
        return false;
    case Database::Lookup::Failed:
        showError(parent, lead, query.lastError());
        return true;
    case Database::Lookup::Found:
        break;
    }
    MessageBox::warning(parent, QStringLiteral("Error"),
                        QStringLiteral("%1 \"%2\" is a member already; the room does not tell names apart by "
                                       "case, so \"%3\" would be the same member.")
                            .arg(lead, existing, name));
    return true;
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
    QStringList names;
    QStringList scores;
    const auto addRow = [&](const QString& name, const QString& score) {
        names << name;
        scores << score;
    };
    if (!PlayerStore(*scoresQuery).listScores(addRow)) {
        showError(this, QStringLiteral("Unable to load scores!"), scoresQuery->lastError());
        return;
    }
    // The list does not sort itself: a click on its header would reorder it.
    const QList<int> order = nameOrder(names);
    if (listsNames(twScoreList, names, order)) {
        // The same members as listed, as on most reloads: their rows stay
        // and take the scores read, which costs a long list far less than
        // making every row again.
        for (int row = 0; row < order.size(); ++row)
            twScoreList->topLevelItem(row)->setText(1, scores[order[row]]);
        filterMembers(twScoreList, leScoreFilter->text());
        return;
    }
    QList<QTreeWidgetItem*> items;
    items.reserve(names.size());
    for (const int row : order)
        items.append(new QTreeWidgetItem(QStringList{names[row], scores[row]}));
    twScoreList->clear();
    twScoreList->addTopLevelItems(items);
    // Rows just added all show.
    if (!leScoreFilter->text().trimmed().isEmpty())
        filterMembers(twScoreList, leScoreFilter->text());
}

void QuizNewt::resetScores()
{
    replaceQuery(scoresQuery);
    if (!PlayerStore(*scoresQuery).resetScores()) {
        showError(this, QStringLiteral("Unable to reset scores!"), scoresQuery->lastError());
        return;
    }
    loadScores();
}

void QuizNewt::updateScore()
{
    replaceQuery(scoresQuery);
    if (!PlayerStore(*scoresQuery).updateScore(lblUsername->text(), sbScore->value())) {
        showError(this, QStringLiteral("Unable to update score!"), scoresQuery->lastError());
        return;
    }
    const QString name = lblUsername->text();
    loadScores();
    lblUsername->setText(selectUserLabel);
    sbScore->setValue(0);
    scrollToName(twScoreList, name);
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
        items.append(new MemberItem(QStringList{name, rightText(control), rightText(admin)}));
    };
    if (!PlayerStore(*usersQuery).listUsers(addRow)) {
        qDeleteAll(items);
        return;
    }
    // The sorting view places each row itself.
    twUsers->addTopLevelItems(items);
    if (!leUserFilter->text().trimmed().isEmpty())
        filterMembers(twUsers, leUserFilter->text());
    pbUserAdd->setEnabled(false);
    pbUserDelete->setEnabled(false);
    pbUserUpdate->setEnabled(false);
}

void QuizNewt::addUser()
{
    const QString name = leUsername->text();
    const QString lead = QStringLiteral("Unable to add user!");
    PlayerStore users(*usersQuery);
    if (refuseSameName(this, lead, users, name, -1, *usersQuery))
        return;
    const int control = cbControl->currentText() == trueText ? 1 : 0;
    const int admin = cbAdmin->currentText() == trueText ? 1 : 0;
    if (!users.addUser(name, 0, control, admin)) {
        showError(this, lead, usersQuery->lastError());
        return;
    }
    // The sorting view places the new row itself; the list is not read back.
    auto* item = new MemberItem(QStringList{name, cbControl->currentText(), cbAdmin->currentText()});
    twUsers->addTopLevelItem(item);
    item->setHidden(!passesFilter(name, leUserFilter->text().trimmed()));
    twUsers->scrollToItem(item);
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
    const QString lead = QStringLiteral("Unable to update user!");
    PlayerStore users(*usersQuery);
    const qint64 userId = users.findUser(current->text(0));
    if (userId < 0) {
        // A member removed meanwhile is no failure; a statement that failed is.
        if (usersQuery->lastError().isValid())
            showError(this, lead, usersQuery->lastError());
        return;
    }
    const QString newName = leUsername->text();
    // A change of case alone renames the member itself.
    if (refuseSameName(this, lead, users, newName, userId, *usersQuery))
        return;

    const int control = cbControl->currentText() == falseText ? 0 : 1;
    const int admin = cbAdmin->currentText() == falseText ? 0 : 1;
    if (!users.changeUser(userId, newName, control, admin)) {
        showError(this, lead, usersQuery->lastError());
        return;
    }
    leUsername->clear();
    twUsers->clear();
    loadUsers();
    scrollToName(twUsers, newName);
}

void QuizNewt::deleteUser()
{
    // The name is quoted into the statement, so O'Brien deletes O'Brien and
    // nothing else.
    if (!PlayerStore(*usersQuery).deleteUser(leUsername->text())) {
        showError(this, QStringLiteral("Unable to delete user!"), usersQuery->lastError());
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

void QuizNewt::setUpMemberLists()
{
    // "false" is the widest right; seven digits hold any score the game reaches.
    fitColumns(twUsers, {falseText});
    fitColumns(twScoreList, {QStringLiteral("0000000")});
    connect(leScoreFilter, &QLineEdit::textChanged, this,
            [this](const QString& text) { filterMembers(twScoreList, text); });
    connect(leUserFilter, &QLineEdit::textChanged, this, [this](const QString& text) { filterMembers(twUsers, text); });
}
