#ifndef ADMINWINDOW_H
#define ADMINWINDOW_H

// A main window on a fresh real database, driven through its widgets.

#include <QPushButton>
#include <QSqlDatabase>
#include <QStringList>
#include <QTest>
#include <QTreeWidget>

#include <memory>

#include "app/messagebox.h"
#include "app/quiznewt.h"
#include "tests/common/recordingroomlink.h"
#include "tests/common/testdatabase.h"

struct AdminWindow
{
    TestDatabase db;
    RecordingRoomLink* link = nullptr;
    std::unique_ptr<QuizNewt> window;

    // Opens the window on db; false when the database or window is unusable.
    bool open()
    {
        if (!db.isValid())
            return false;
        db.makeInstallDir();
        link = new RecordingRoomLink;
        window = std::make_unique<QuizNewt>(link);
        window->startPauseMs = 0;
        window->show();
        return QTest::qWaitForWindowExposed(window.get());
    }

    void click(QAbstractButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

    void doubleClick(QTreeWidget* tree, QTreeWidgetItem* item)
    {
        tree->scrollToItem(item);
        const QPoint centre = tree->visualItemRect(item).center();
        // QTest sends only the double-click event; a real one follows a
        // press and release on the same row.
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier, centre);
        QTest::mouseDClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier, centre);
    }

    void singleClick(QTreeWidget* tree, QTreeWidgetItem* item)
    {
        tree->scrollToItem(item);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier, tree->visualItemRect(item).center());
    }

    // The row whose first column is name, or null.
    static QTreeWidgetItem* row(QTreeWidget* tree, const QString& name)
    {
        const QList<QTreeWidgetItem*> found = tree->findItems(name, Qt::MatchExactly | Qt::MatchCaseSensitive, 0);
        return found.isEmpty() ? nullptr : found.first();
    }

    // Every row's texts, columns joined by "|", in list order.
    static QStringList rows(QTreeWidget* tree)
    {
        QStringList result;
        for (int i = 0; i < tree->topLevelItemCount(); ++i) {
            QStringList cells;
            for (int c = 0; c < tree->columnCount(); ++c)
                cells << tree->topLevelItem(i)->text(c);
            result << cells.join(QLatin1Char('|'));
        }
        return result;
    }

    // Takes the window's database away: the connection is closed and any
    // attempt to reopen it finds no file.
    void loseDatabase()
    {
        QSqlDatabase conn = QSqlDatabase::database(QSqlDatabase::defaultConnection, false);
        conn.close();
        conn.setDatabaseName(db.dir() + QStringLiteral("/gone/quiznewt.fdb"));
    }
};

#endif
