#ifndef ADMINWINDOW_H
#define ADMINWINDOW_H

// A main window on a fresh real database, driven through its widgets.

#include <QTest>

#include "app/messagebox.h"
#include "app/quiznewt.h"
#include "tests/common/recordingroomlink.h"
#include "tests/common/testdatabase.h"

struct AdminWindow
{
    TestDatabase db;
    RecordingRoomLink* link = nullptr;
    std::unique_ptr<QuizNewt> window;

    bool open()
    {
        db.makeInstallDir();
        link = new RecordingRoomLink;
        window = std::make_unique<QuizNewt>(link);
        window->startPauseMs = 0;
        window->show();
        return QTest::qWaitForWindowExposed(window.get());
    }

    // Double-clicks the row whose first column is name.
    void doubleClick(QTreeWidget* tree, const QString& name)
    {
        const QList<QTreeWidgetItem*> found = tree->findItems(name, Qt::MatchExactly | Qt::MatchCaseSensitive);
        QVERIFY(!found.isEmpty());
        tree->scrollToItem(found.first());
        const QPoint centre = tree->visualItemRect(found.first()).center();
        // A real double-click follows a press and release on the same row.
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier, centre);
        QTest::mouseDClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier, centre);
    }

    // Every row's texts, columns joined by "|", sorted.
    static QStringList rows(QTreeWidget* tree)
    {
        QStringList result;
        for (int i = 0; i < tree->topLevelItemCount(); ++i) {
            QStringList cells;
            for (int c = 0; c < tree->columnCount(); ++c)
                cells << tree->topLevelItem(i)->text(c);
            result << cells.join(QLatin1Char('|'));
        }
        result.sort();
        return result;
    }
};

#endif
