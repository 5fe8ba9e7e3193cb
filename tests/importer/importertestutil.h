#ifndef IMPORTERTESTUTIL_H
#define IMPORTERTESTUTIL_H

#include <QFile>
#include <QListWidget>

// Helpers shared by the importer's tests and benches.
namespace ImporterTest {

inline QString fixture(const QString& name)
{
    return QStringLiteral(QUIZNEWT_TEST_DATA "/") + name;
}

inline QListWidgetItem* item(const QListWidget* list, const QString& text)
{
    const QList<QListWidgetItem*> found = list->findItems(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    return found.isEmpty() ? nullptr : found.first();
}

}

#endif
