#include "db/database.h"

#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QStandardPaths>

namespace Database {

namespace {

// Runs gbak in this process's engine environment. Not the embedded service
// manager: in SuperClassic its process crashes on exit whenever another
// process has the database open (Firebird 3.0.11), gbak's direct mode does not.
bool runGbak(const Location& location, const QStringList& arguments, QString* error)
{
    prepareEngine();
    QString gbak = QStandardPaths::findExecutable(QStringLiteral("gbak"));
    if (gbak.isEmpty())
        gbak = QStandardPaths::findExecutable(QStringLiteral("gbak"), {QStringLiteral("/usr/bin")});
    if (gbak.isEmpty()) {
        *error = QStringLiteral("gbak is missing (package firebird3.0-utils).");
        return false;
    }
    QProcess process;
    // Credentials through the environment: the command line is public.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("ISC_USER"), location.user);
    environment.insert(QStringLiteral("ISC_PASSWORD"), location.password);
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(gbak, arguments);
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        QStringList lines;
        for (const QString& line : QString::fromLocal8Bit(process.readAll()).split(QLatin1Char('\n'))) {
            QString text = line.trimmed();
            text.remove(QRegularExpression(QStringLiteral("^gbak:\\s*(ERROR:)?\\s*")));
            if (!text.isEmpty())
                lines << text;
        }
        *error = lines.isEmpty() ? process.errorString() : lines.join(QStringLiteral(": "));
        return false;
    }
    return true;
}

}

bool backup(const Location& location, const QString& backupFile, QString* error)
{
    // A server is read through the network; the file is written here.
    const QString target = QFileInfo(backupFile).absoluteFilePath();
    if (runGbak(location, {QStringLiteral("-b"), location.connectString(), target}, error))
        return true;
    *error = QStringLiteral("Cannot back up %1 to %2: %3").arg(location.connectString(), target, *error);
    return false;
}

bool restore(const QString& backupFile, const Location& location, QString* error)
{
    Location target = location;
    if (!location.isServer()) {
        target.path = QFileInfo(location.path).absoluteFilePath();
        if (QFileInfo::exists(target.path)) {
            *error = QStringLiteral("%1 already exists; it was left unchanged.").arg(target.path);
            return false;
        }
    }
    const QString source = QFileInfo(backupFile).absoluteFilePath();
    // -c creates and never replaces: a server refuses an existing file too.
    if (runGbak(target, {QStringLiteral("-c"), source, target.connectString()}, error))
        return true;
    *error = QStringLiteral("Cannot restore %1 into %2: %3").arg(source, target.connectString(), *error);
    return false;
}

}
