#include "db/database.h"
#include "db/safefile.h"

#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace Database {

QString defaultInstallDir()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/QuizNewt");
}

int createWithStarterQuestions(const Location& location, QString* error)
{
    // A file is made under a name of its own and renamed into place once it
    // holds the schema and the questions: a crash meanwhile leaves no
    // half-made database that would be taken for a set-up one.
    Location made = location;
    if (!location.isServer()) {
        if (QFileInfo::exists(location.path)) {
            *error = QStringLiteral("%1 already exists; it was left unchanged.").arg(location.path);
            return -1;
        }
        made.path = SafeFile::temporaryFor(QFileInfo(location.path).absoluteFilePath());
    }
    const bool created = made.isServer() ? create(made, error) : create(made.path, error);
    if (!created) {
        error->replace(made.path, location.path);
        return -1;
    }
    const QString connection = QStringLiteral("quiznewt-setup-%1").arg(quintptr(&location));
    int stored = -1;
    {
        QSqlDatabase db = open(made, connection, error);
        if (db.isOpen())
            stored = loadStarterQuestions(db, error);
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
    if (made.isServer())
        return stored;
    if (stored < 0 || !SafeFile::moveIntoPlace(made.path, location.path, error)) {
        QFile::remove(made.path);
        return -1;
    }
    return stored;
}

}
