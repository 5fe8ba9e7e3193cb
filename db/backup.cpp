#include "db/database.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>

#include <signal.h>
#include <sys/prctl.h>

#include "db/safefile.h"

namespace Database {

namespace {

// gbak says something within this time once the database answers, and
// with -verbint at least every few thousand rows after that. A server that
// says nothing is given up soon; the embedded engine takes some seconds to
// free the locks of a gbak that was killed, so a backup of the file right
// after a crashed one is given time to start.
constexpr int serverAnswerMs = 8 * 1000;
constexpr int fileAnswerMs = 30 * 1000;
constexpr int stallMs = 60 * 1000;

QString gbakMessage(const QByteArray& output)
{
    QStringList lines;
    QStringList errors;
    for (const QString& line : QString::fromLocal8Bit(output).split(QLatin1Char('\n'))) {
        QString text = line.trimmed();
        const bool isError = text.contains(QLatin1String("ERROR:"));
        text.remove(QRegularExpression(QStringLiteral("^(gbak:)?\\s*(ERROR:)?\\s*")));
        if (text.isEmpty())
            continue;
        lines << text;
        if (isError)
            errors << text;
    }
    // Progress lines say nothing about what went wrong.
    return (errors.isEmpty() ? lines.mid(qMax(0, int(lines.size()) - 2)) : errors).join(QStringLiteral(": "));
}

// Runs gbak in this process's engine environment. Not the embedded service
// manager: in SuperClassic its process crashes on exit whenever another
// process has the database open (Firebird 3.0.11), gbak's direct mode does not.
// gbak gets no input (on a cut-off backup it asks for the next volume and
// would wait for ever), dies with this process, and is stopped when it
// stalls.
bool runGbak(const Location& location, QStringList arguments, QString* error)
{
    const int answerMs = location.isServer() ? serverAnswerMs : fileAnswerMs;
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
    process.setStandardInputFile(QProcess::nullDevice());
    process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    arguments.prepend(QStringLiteral("5000"));
    arguments.prepend(QStringLiteral("-verbint"));
    process.start(gbak, arguments);
    if (!process.waitForStarted()) {
        *error = process.errorString();
        return false;
    }

    QByteArray output;
    QElapsedTimer quiet;
    quiet.start();
    bool heard = false;
    while (!process.waitForFinished(200)) {
        const QByteArray more = process.readAll();
        if (!more.isEmpty()) {
            output += more;
            heard = true;
            quiet.restart();
        }
        if (quiet.elapsed() > (heard ? stallMs : answerMs)) {
            process.kill();
            process.waitForFinished();
            *error = heard ? QStringLiteral("gbak made no progress for %1 s and was stopped.").arg(stallMs / 1000)
                           : QStringLiteral("the database did not answer within %1 s.").arg(answerMs / 1000);
            return false;
        }
    }
    output += process.readAll();
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        const QString message = gbakMessage(output);
        *error = message.isEmpty() ? process.errorString() : message;
        return false;
    }
    return true;
}

// A restored file is only kept when it holds a whole database of ours: the
// tables open, and no question or link lost its other half. A backup of an
// older database comes back with today's tables.
bool checkRestored(const Location& location, QString* error)
{
    const QString connection = QStringLiteral("quiznewt-restore-check");
    bool ok = false;
    {
        QSqlDatabase db = open(location, connection, error);
        if (db.isOpen()) {
            QSqlQuery query(db);
            ok = query.exec(QStringLiteral(
                     "SELECT (SELECT COUNT(*) FROM content c WHERE NOT EXISTS (SELECT 1 FROM category_content cc "
                     "WHERE cc.contentID=c.contentID)) + (SELECT COUNT(*) FROM category_content cc WHERE NOT EXISTS "
                     "(SELECT 1 FROM content c WHERE c.contentID=cc.contentID)), (SELECT COUNT(*) FROM users) "
                     "FROM rdb$database"))
                && query.next();
            if (!ok)
                *error = QStringLiteral("it holds no QuizNewt database (%1)").arg(query.lastError().databaseText());
            else if (query.value(0).toLongLong() != 0) {
                ok = false;
                *error = QStringLiteral("it is damaged: %1 questions or links lost their other half")
                             .arg(query.value(0).toLongLong());
            }
            query.finish();
            if (ok)
                upgrade(db);
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
    return ok;
}

}

bool backup(const Location& location, const QString& backupFile, QString* error)
{
    // A server is read through the network; the file is written here, under
    // a name of its own until gbak is done, so the last good backup stays
    // whole whatever happens meanwhile.
    const QString target = QFileInfo(backupFile).absoluteFilePath();
    const QString temporary = SafeFile::temporaryFor(target);
    if (runGbak(location, {QStringLiteral("-b"), location.connectString(), temporary}, error)
        && SafeFile::replace(temporary, target, error))
        return true;
    QFile::remove(temporary);
    *error = QStringLiteral("Cannot back up %1 to %2: %3").arg(location.connectString(), target, *error);
    return false;
}

bool restore(const QString& backupFile, const Location& location, QString* error)
{
    const QString source = QFileInfo(backupFile).absoluteFilePath();
    if (location.isServer()) {
        // -c creates and never replaces: the server refuses an existing file.
        if (runGbak(location, {QStringLiteral("-c"), source, location.connectString()}, error)
            && checkRestored(location, error))
            return true;
        *error = QStringLiteral("Cannot restore %1 into %2: %3").arg(source, location.connectString(), *error);
        return false;
    }

    const QString target = QFileInfo(location.path).absoluteFilePath();
    if (QFileInfo::exists(target)) {
        *error = QStringLiteral("%1 already exists; it was left unchanged.").arg(target);
        return false;
    }
    Location restored = location;
    restored.path = SafeFile::temporaryFor(target);
    if (runGbak(restored, {QStringLiteral("-c"), source, restored.connectString()}, error)
        && checkRestored(restored, error) && SafeFile::moveIntoPlace(restored.path, target, error))
        return true;
    QFile::remove(restored.path);
    *error = QStringLiteral("Cannot restore %1 into %2: %3").arg(source, target, *error);
    return false;
}

}
