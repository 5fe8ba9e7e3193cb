#ifndef DLGTRIVIAIMPORT_P_H
#define DLGTRIVIAIMPORT_P_H

#include <QList>
#include <QSqlError>
#include <QTreeWidget>
#include <QTreeWidgetItem>

#include <functional>

#include "db/engineerror.h"
#include "gui/messagebox.h"
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

// "N questions", for the count labels.
inline QString questions(qsizetype count)
{
    return count == 1 ? QStringLiteral("1 question") : QStringLiteral("%1 questions").arg(count);
}

// A failure the engine reported: the lead text, then what it means in plain
// words with the engine's own text under the details; the engine's text
// itself where it means nothing known.
inline void warnEngineError(QWidget* parent, const QString& lead, const QSqlError& error)
{
    const EngineError why = describeEngineError(error);
    MessageBox::warning(parent, QStringLiteral("Error"), why.after(lead), why.details());
}

class BusyScope
{
public:
    BusyScope(bool& flag, std::function<void()> ended) : flag(flag), ended(std::move(ended)) { flag = true; }
    ~BusyScope()
    {
        flag = false;
        ended();
    }

private:
    bool& flag;
    std::function<void()> ended;
};

}

#endif
