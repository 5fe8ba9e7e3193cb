#ifndef DATABASE_H
#define DATABASE_H

#include <QByteArray>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>

#include "settings/settings.h"

class QSqlDriver;

namespace Database {

inline const QString fileName = QStringLiteral("quiznewt.fdb");
inline const QString driverName = QStringLiteral("QIBASE");
// The program's own credentials, the Database group's defaults.
inline const QString userName = Settings::Database().user;
inline const QString password = Settings::Database().password;

// Sets up the embedded engine through the environment, before the first
// connection: FIREBIRD_LOCK (unless set) names a lock directory of this
// user's own, /tmp/quiznewt-firebird-UID (~/.quiznewt-firebird when another
// user owns that), and FIREBIRD (unless set) its subdirectory "root", whose
// firebird.conf runs the engine as SuperClassic, so several processes can
// open one file. Every process on a file must share its lock directory;
// child processes inherit both variables.
void prepareEngine();

// Where the program's database is: a file opened by the embedded engine,
// or a path on a Firebird server.
struct Location {
    QString server; // empty: embedded
    int port = 3050;
    QString path; // the file, or the database's path on the server
    QString user = userName;
    QString password = Database::password;
    // Why the settings name no usable database, such as "InstallDir is not
    // set"; open() and create() refuse with it.
    QString problem;

    bool isServer() const { return !server.isEmpty(); }
    // What fbclient attaches to: "host/port:path" or the file's path.
    QString connectString() const;
    // The same with "service_mgr" for the path: the backup service.
    QString serviceManager() const;
};

// The database every connection of the program uses: the optional settings
// group "Database" (Server, Port, Path, User, Password) when Server is set,
// else the file in "InstallDir". Importer sources are not this. A setting
// that cannot be used is named in Location::problem.
Location locationFromSettings();
Location locationFromSettings(const QSettings& settings);
// The same from values the caller has: problem says only that InstallDir is
// not set; the values' own problems are the caller's.
Location locationFrom(const Settings::Install& install, const Settings::Database& database);

// The schema's statements, in order; with a section name, those from the
// line "-- [name]" on.
QStringList schemaStatements(const QString& section = QString());

// Creates a new database file with the schema. Never touches an existing
// file. On failure returns false and sets *error to one readable sentence.
bool create(const QString& filePath, QString* error);
// The same on a server, where the server refuses an existing file.
bool create(const Location& location, QString* error);

// Opens a QIBASE connection on filePath with the program's credentials.
QSqlDatabase open(const QString& filePath, const QString& connectionName, QString* error);
QSqlDatabase open(const Location& location, const QString& connectionName, QString* error);

// Brings a database made by an earlier QuizNewt up to the schema: the
// check that category names differ in more than case, and the tables of
// play data (accepted answers, statistics, reports). Cheap when
// nothing is missing; when another process holds the table it is left for
// the next start. Only for the program's own database, never a source
// that is only read.
void upgrade(const QSqlDatabase& db);

// Writes a backup of the database, a consistent snapshot however busy it
// is, with Firebird's gbak (package firebird3.0-utils); a server's database
// is backed up into a file here. False with *error set on failure.
bool backup(const Location& location, const QString& backupFile, QString* error);
// Restores a backup into a new database; never replaces an existing file.
bool restore(const QString& backupFile, const Location& location, QString* error);

// Runs one statement that returns at most one row, in a short read-committed
// transaction of its own on the driver's connection that reserves the named
// tables for protected write, so writers to them take turns across
// processes. A lock wait ends after a second; it and an update conflict are
// retried a few times, never waited out. Parameters are "?" in order, bound
// as text; *row gets the values of the row (integers and text), if there is
// one. False, with *error set, when the statement failed.
bool runReserving(const QSqlDriver* driver, const QByteArray& statement, const QList<QByteArray>& tables,
                  const QStringList& parameters, QVariantList* row, QString* error);

// Loads the bundled starter questions into an open database, all or nothing.
// Returns the number of questions stored, or -1 with *error set.
int loadStarterQuestions(QSqlDatabase db, QString* error);

// A new database with the schema and the starter questions, as an installer
// makes it. Returns the number of questions stored, or -1 with *error set;
// a file is never left half made.
int createWithStarterQuestions(const Location& location, QString* error);

// Where a database goes when the user names no place: ~/.local/share/QuizNewt.
QString defaultInstallDir();

}

#endif
