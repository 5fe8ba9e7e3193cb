#ifndef IMPORTERTESTUTIL_H
#define IMPORTERTESTUTIL_H

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QListWidget>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <algorithm>

// Helpers shared by the importer's tests and benches.
namespace ImporterTest {

inline QString sharedPath(const QString& relative)
{
    return QStringLiteral(QUIZNEWT_SHARED_DIR "/") + relative;
}

inline QString fixture(const QString& relative)
{
    return sharedPath(QStringLiteral("fixtures/") + relative);
}

// Writes an Access file from a mkmdb JSON description; empty on failure.
inline QString makeMdb(const QTemporaryDir& dir, const QString& name, const QJsonObject& description)
{
    const QString json = dir.filePath(name + QStringLiteral(".json"));
    const QString mdb = dir.filePath(name + QStringLiteral(".mdb"));
    QFile out(json);
    if (!out.open(QIODevice::WriteOnly))
        return {};
    out.write(QJsonDocument(description).toJson());
    out.close();
    const int status = QProcess::execute(QStringLiteral("python3"),
                                         {sharedPath(QStringLiteral("tools/mkmdb.py")), json, mdb});
    return status == 0 ? mdb : QString();
}

inline QStringList items(const QListWidget* list)
{
    QStringList names;
    for (int i = 0; i < list->count(); ++i)
        names << list->item(i)->text();
    return names;
}

inline QListWidgetItem* item(const QListWidget* list, const QString& text)
{
    for (int i = 0; i < list->count(); ++i) {
        if (list->item(i)->text() == text)
            return list->item(i);
    }
    return nullptr;
}

// "question|answer" for each row, in the order of the view.
inline QStringList rows(const QTreeWidget* tree)
{
    QStringList result;
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        result << tree->topLevelItem(i)->text(0) + QLatin1Char('|') + tree->topLevelItem(i)->text(1);
    return result;
}

inline QStringList sorted(QStringList list)
{
    std::sort(list.begin(), list.end());
    return list;
}

}

#endif
