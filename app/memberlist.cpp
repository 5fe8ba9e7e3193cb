#include "app/memberlist.h"

#include <QHeaderView>
#include <QTreeWidget>

#include <algorithm>
#include <numeric>

bool nameBefore(const QString& a, const QString& b)
{
    const int folded = QString::compare(a, b, Qt::CaseInsensitive);
    return folded != 0 ? folded < 0 : QString::compare(a, b, Qt::CaseSensitive) < 0;
}

QList<int> nameOrder(const QStringList& names)
{
    // Folded once per name instead of at every comparison; the same order.
    QStringList folded;
    folded.reserve(names.size());
    for (const QString& name : names)
        folded << name.toCaseFolded();
    QList<int> order(names.size());
    std::iota(order.begin(), order.end(), 0);
    // One comparison of the folded names per step, not two.
    std::sort(order.begin(), order.end(), [&](int a, int b) {
        const int byFolded = QString::compare(folded[a], folded[b]);
        return byFolded != 0 ? byFolded < 0 : names[a] < names[b];
    });
    return order;
}

MemberItem::MemberItem(const QStringList& texts)
    : QTreeWidgetItem(texts, Type), folded(texts.value(0).toCaseFolded())
{
}

void MemberItem::setData(int column, int role, const QVariant& value)
{
    QTreeWidgetItem::setData(column, role, value);
    if (column == 0 && (role == Qt::DisplayRole || role == Qt::EditRole))
        folded = text(0).toCaseFolded();
}

bool MemberItem::operator<(const QTreeWidgetItem& other) const
{
    const int column = treeWidget() ? treeWidget()->sortColumn() : 0;
    if (column > 0) {
        const int byColumn = QString::compare(text(column), other.text(column), Qt::CaseInsensitive);
        if (byColumn != 0)
            return byColumn < 0;
    }
    if (other.type() != Type)
        return nameBefore(text(0), other.text(0));
    // The order of nameOrder: folded names, then the names as they are.
    const int byFolded = QString::compare(folded, static_cast<const MemberItem&>(other).folded);
    return byFolded != 0 ? byFolded < 0 : text(0) < other.text(0);
}

bool listsNames(const QTreeWidget* list, const QStringList& names, const QList<int>& order)
{
    if (list->topLevelItemCount() != order.size())
        return false;
    for (int row = 0; row < order.size(); ++row) {
        if (list->topLevelItem(row)->text(0) != names[order[row]])
            return false;
    }
    return true;
}

bool passesFilter(const QString& name, const QString& filter)
{
    return name.contains(filter, Qt::CaseInsensitive);
}

int filterMembers(QTreeWidget* list, const QString& filter)
{
    const QString text = filter.trimmed();
    const QModelIndex root;
    int shown = 0;
    for (int row = 0, rows = list->topLevelItemCount(); row < rows; ++row) {
        const bool pass = passesFilter(list->topLevelItem(row)->text(0), text);
        // Hiding costs the view a persistent index per row; only changes pay it.
        if (list->isRowHidden(row, root) == pass)
            list->setRowHidden(row, root, !pass);
        shown += pass;
    }
    return shown;
}

void scrollToName(QTreeWidget* list, const QString& name)
{
    const QList<QTreeWidgetItem*> found = list->findItems(name, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (!found.isEmpty())
        list->scrollToItem(found.first());
}

void fitColumns(QTreeWidget* list, const QStringList& widestSamples)
{
    QHeaderView* header = list->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(0, QHeaderView::Stretch);
    // Cell text is drawn inside the style's item margins on both sides.
    const int margins = 2 * (list->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list) + 1) + 8;
    for (int column = 1; column < list->columnCount(); ++column) {
        int width = header->sectionSizeHint(column);
        for (const QString& sample : widestSamples)
            width = qMax(width, list->fontMetrics().horizontalAdvance(sample) + margins);
        header->setSectionResizeMode(column, QHeaderView::Interactive);
        header->resizeSection(column, width);
    }
}
