#ifndef CACHEDDATABASE_H
#define CACHEDDATABASE_H

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QStandardPaths>
#include <QString>

#include <cstdio>
#include <functional>

#include "db/database.h"
#include "tests/common/testdatabase.h"

// A benchmark's database in ~/.cache/quiznewt-bench/NAME, filled once and kept
// between runs; filled anew when `stamp` differs from the one it was built
// with. It is built under another name and moved into place, so a run cut
// short never leaves half a database to be taken for a whole one. With
// asyncWrites the throwaway file is written without a sync per page, which
// makes a big build minutes shorter.
inline QString cachedBenchDatabase(const QString& name, const QByteArray& stamp,
                                   const std::function<bool(QSqlDatabase, QString*)>& fill, QString* error,
                                   bool asyncWrites = false)
{
    const QString dir =
        QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + QStringLiteral("/quiznewt-bench/") + name;
    const QString path = dir + QLatin1Char('/') + Database::fileName;
    QFile built(dir + QStringLiteral("/built-on"));
    const QByteArray builtWith = built.open(QIODevice::ReadOnly) ? built.readAll() : QByteArray();
    built.close();
    if (QFile::exists(path) && builtWith == stamp)
        return path;
    QDir().mkpath(dir);
    QFile::remove(path);
    const QString building = path + QStringLiteral(".building");
    QFile::remove(building);
    if (!Database::create(building, error))
        return {};
    if (asyncWrites && runTool(QStringLiteral("gfix"), {"-write", "async", "-user", "SYSDBA", building}) != 0)
        std::fprintf(stderr, "gfix could not turn forced writes off; the build is slower\n");
    bool ok = false;
    {
        QSqlDatabase db = Database::open(building, QStringLiteral("build"), error);
        ok = db.isOpen() && fill(db, error);
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("build"));
    if (!ok || !QFile::rename(building, path))
        return {};
    if (built.open(QIODevice::WriteOnly))
        built.write(stamp);
    return path;
}

#endif
