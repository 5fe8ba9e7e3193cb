#ifndef DATABASE_H
#define DATABASE_H

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

namespace Database {

inline const QString fileName = QStringLiteral("quiznewt.fdb");
inline const QString driverName = QStringLiteral("QIBASE");
inline const QString userName = QStringLiteral("sysdba");
inline const QString password = QStringLiteral("wqpd418");

// Sets up what the embedded engine needs from the environment (a lock
// directory of this user's own). Call before the first connection.
void prepareEngine();

// The schema's statements, in order.
QStringList schemaStatements();

// Creates a new database file with the schema. Never touches an existing
// file. On failure returns false and sets *error to one readable sentence.
bool create(const QString& filePath, QString* error);

// Opens a QIBASE connection on filePath with the program's credentials.
QSqlDatabase open(const QString& filePath, const QString& connectionName, QString* error);

// Loads the bundled starter questions into an open database, all or nothing.
// Returns the number of questions stored, or -1 with *error set.
int loadStarterQuestions(QSqlDatabase db, QString* error);

}

#endif
