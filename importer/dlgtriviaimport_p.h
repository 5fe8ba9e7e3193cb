#ifndef DLGTRIVIAIMPORT_P_H
#define DLGTRIVIAIMPORT_P_H

#include <QList>
#include <QTreeWidget>
#include <QTreeWidgetItem>

#include "importer/mdbsource.h"

// What the importer window's files share.
namespace ImportWindow {

// How long the window may go without handling events during a load or import.
inline const int eventIntervalMs = 25;
// Rows read from a file between looks at that clock.
inline const int rowsAtATime = 1000;

// A source row carries its line, or its place in the table, for the report.
inline QTreeWidgetItem* makeRow(const SourceRow& row, int line)
{
    auto* item = new QTreeWidgetItem(QStringList{row.question, row.answer});
    if (line > 0)
        item->setData(0, Qt::UserRole, line);
    return item;
}

// With sorting on, every single insertion would schedule a re-sort of the
// whole view; add the rows in one go and sort once.
inline void appendRows(QTreeWidget* tree, const QList<QTreeWidgetItem*>& items)
{
    const bool sorting = tree->isSortingEnabled();
    tree->setSortingEnabled(false);
    tree->addTopLevelItems(items);
    tree->setSortingEnabled(sorting);
}

class BusyScope
{
public:
    explicit BusyScope(bool& flag) : flag(flag) { flag = true; }
    ~BusyScope() { flag = false; }

private:
    bool& flag;
};

}

#endif
