#ifndef IMPORTERTESTUTIL_H
#define IMPORTERTESTUTIL_H

#include <QListWidget>
#include <QTreeWidget>

// Helpers shared by the importer's tests and benches.
namespace ImporterTest {

inline QString fixture(const QString& relative)
{
    return QStringLiteral(QUIZNEWT_SHARED_DIR "/fixtures/") + relative;
}

inline QListWidgetItem* item(const QListWidget* list, const QString& text)
{
    const QList<QListWidgetItem*> found = list->findItems(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    return found.isEmpty() ? nullptr : found.first();
}

// "question|answer" for each row, in the order of the view.
inline QStringList rows(const QTreeWidget* tree)
{
    QStringList result;
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        result << tree->topLevelItem(i)->text(0) + QLatin1Char('|') + tree->topLevelItem(i)->text(1);
    return result;
}

}

#endif
