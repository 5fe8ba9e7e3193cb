#include "db/database.h"

#include <QFile>
#include <QStandardPaths>

namespace Database {

QString defaultInstallDir()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/QuizNewt");
}

int createWithStarterQuestions(const Location& location, QString* error)
{
    const bool created = location.isServer() ? create(location, error) : create(location.path, error);
    if (!created)
        return -1;
    const QString connection = QStringLiteral("quiznewt-setup-%1").arg(quintptr(&location));
    int stored = -1;
    {
        QSqlDatabase db = open(location, connection, error);
        if (db.isOpen())
            stored = loadStarterQuestions(db, error);
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
    // A file without its questions would be taken for a set-up database.
    if (stored < 0 && !location.isServer())
        QFile::remove(location.path);
    return stored;
}

}
