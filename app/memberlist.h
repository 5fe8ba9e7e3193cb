#ifndef MEMBERLIST_H
#define MEMBERLIST_H

// The Scores and Users lists: members A to Z without regard to case, as the
// room sees names, a filter that narrows the list while one types, and
// columns that leave the names the room.

#include <QList>
#include <QString>
#include <QStringList>
#include <QTreeWidgetItem>

class QTreeWidget;

// A to Z without regard to case; names that differ only in case (made
// before such names were refused) still keep one fixed order.
bool nameBefore(const QString& a, const QString& b);

// The positions of names in nameBefore order, for a list that does not
// sort itself; on long lists much faster than sorting by nameBefore.
QList<int> nameOrder(const QStringList& names);

// A list row that a sorting view orders by nameBefore on its first column,
// and by the sort column's text first when another column is chosen.
class MemberItem : public QTreeWidgetItem
{
public:
    static constexpr int Type = QTreeWidgetItem::UserType + 1;
    explicit MemberItem(const QStringList& texts);
    bool operator<(const QTreeWidgetItem& other) const override;
    void setData(int column, int role, const QVariant& value) override;

private:
    // The name folded once: a sort of a long list compares names about
    // twenty times each.
    QString folded;
};

// Whether the list's rows, top to bottom, name names[order[0]],
// names[order[1]], ... and no more.
bool listsNames(const QTreeWidget* list, const QStringList& names, const QList<int>& order);

// Whether a name is shown under the filter text: it contains the text
// without regard to case; an empty filter shows everyone.
bool passesFilter(const QString& name, const QString& filter);
// Hides the rows that do not pass and shows the others; the number shown.
int filterMembers(QTreeWidget* list, const QString& filter);
// Scrolls the row of exactly this name into sight, when there is one.
void scrollToName(QTreeWidget* list, const QString& name);

// Each column after the first gets the width of its header or of the widest
// sample text, whichever is wider; the first, the names, stretches over the
// rest of the list.
void fitColumns(QTreeWidget* list, const QStringList& widestSamples);

#endif
