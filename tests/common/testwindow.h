#ifndef TESTWINDOW_H
#define TESTWINDOW_H

// A main window on a fresh real database with a recording room, and helpers
// for the windows' lists.

#include <QTest>
#include <QTreeWidget>

#include <memory>

#include "app/quiznewt.h"
#include "game/game.h"
#include "tests/common/recordingroomlink.h"
#include "tests/common/testdatabase.h"

struct TestWindow
{
    TestDatabase db;
    RecordingRoomLink* link = nullptr;
    std::unique_ptr<QuizNewt> window;

    // Opens the window on db; shown, it waits until it is on screen.
    bool open(bool show = true)
    {
        db.makeInstallDir();
        link = new RecordingRoomLink;
        window = std::make_unique<QuizNewt>(link);
        window->game()->setStartPause(0);
        if (!show)
            return true;
        window->show();
        return QTest::qWaitForWindowExposed(window.get());
    }
};

// Every row's texts, columns joined by "|", in the view's order or sorted.
inline QStringList treeRows(const QTreeWidget* tree, bool sorted = false)
{
    QStringList result;
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
        QStringList cells;
        for (int c = 0; c < tree->columnCount(); ++c)
            cells << tree->topLevelItem(i)->text(c);
        result << cells.join(QLatin1Char('|'));
    }
    if (sorted)
        result.sort();
    return result;
}

// Double-clicks the row whose first column is name, as a mouse would.
inline bool doubleClickRow(QTreeWidget* tree, const QString& name)
{
    const QList<QTreeWidgetItem*> found = tree->findItems(name, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (found.isEmpty())
        return false;
    tree->scrollToItem(found.first());
    const QPoint centre = tree->visualItemRect(found.first()).center();
    // A real double-click follows a press and release on the same row.
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier, centre);
    QTest::mouseDClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier, centre);
    return true;
}

#endif
