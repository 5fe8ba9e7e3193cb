#include "db/database.h"
#include "db/statements.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTextStream>

#include <ibase.h>
#include <unistd.h>

namespace Database {

void prepareEngine()
{
    // The engine's default lock directory, /tmp/firebird, may belong to another
    // user; then every open fails. Give each user a directory of their own.
    if (qEnvironmentVariableIsSet("FIREBIRD_LOCK"))
        return;
    const QString dir = QDir::tempPath() + QStringLiteral("/quiznewt-firebird-%1").arg(getuid());
    QDir().mkpath(dir);
    QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("FIREBIRD_LOCK", QFile::encodeName(dir));
}

QStringList schemaStatements()
{
    QFile file(QStringLiteral(":/db/schema.sql"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    QStringList statements;
    QString current;
    QTextStream in(&file);
    while (!in.atEnd()) {
        const QString line = in.readLine();
        const QString trimmed = line.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith(QLatin1String("--")))
            continue;
        current += line + QLatin1Char('\n');
        if (trimmed.endsWith(QLatin1Char(';'))) {
            current = current.trimmed();
            current.chop(1);
            statements << current;
            current.clear();
        }
    }
    return statements;
}

static QString statusText(const ISC_STATUS* status)
{
    QStringList parts;
    char buffer[512];
    const ISC_STATUS* vector = status;
    while (fb_interpret(buffer, sizeof buffer, &vector) > 0)
        parts << QString::fromLocal8Bit(buffer);
    return parts.join(QStringLiteral(": "));
}

bool create(const QString& filePath, QString* error)
{
    const QFileInfo info(filePath);
    if (info.exists()) {
        *error = QStringLiteral("%1 already exists; it was left unchanged.").arg(filePath);
        return false;
    }
    const QFileInfo dir(info.absolutePath());
    if (!dir.isDir() || !dir.isWritable()) {
        *error = QStringLiteral("Cannot create %1: the directory %2 is missing or not writable.")
                     .arg(filePath, info.absolutePath());
        return false;
    }

    prepareEngine();
    // A quote in the path would end the literal early; Firebird doubles them.
    QByteArray path = QFile::encodeName(info.absoluteFilePath());
    path.replace('\'', "''");
    const QByteArray sql = "CREATE DATABASE '" + path + "' USER '" + userName.toUtf8().toUpper()
                           + "' PASSWORD '" + password.toUtf8()
                           + "' PAGE_SIZE 8192 DEFAULT CHARACTER SET UTF8";
    ISC_STATUS_ARRAY status;
    isc_db_handle db = 0;
    isc_tr_handle tr = 0;
    if (isc_dsql_execute_immediate(status, &db, &tr, 0, sql.constData(), SQL_DIALECT_V6, nullptr)) {
        QString reason = statusText(status);
        if (status[1] == isc_unavailable)
            reason += QStringLiteral(" (is the Firebird engine, package firebird3.0-server-core, installed?)");
        *error = QStringLiteral("Cannot create %1: %2").arg(filePath, reason);
        return false;
    }
    isc_detach_database(status, &db);

    const QString connection = QStringLiteral("quiznewt-create-%1").arg(quintptr(&info));
    bool ok = true;
    {
        QSqlDatabase created = open(info.absoluteFilePath(), connection, error);
        ok = created.isOpen();
        if (ok) {
            QSqlQuery query(created);
            for (const QString& statement : schemaStatements()) {
                if (!query.exec(statement)) {
                    *error = QStringLiteral("Cannot create the schema in %1: %2")
                                 .arg(filePath, query.lastError().text());
                    ok = false;
                    break;
                }
            }
        }
        created.close();
    }
    QSqlDatabase::removeDatabase(connection);
    if (!ok)
        QFile::remove(info.absoluteFilePath());
    return ok;
}

QSqlDatabase open(const QString& filePath, const QString& connectionName, QString* error)
{
    prepareEngine();
    QSqlDatabase db = QSqlDatabase::addDatabase(driverName, connectionName);
    if (!db.isValid()) {
        *error = db.lastError().driverText();
        return db;
    }
    db.setDatabaseName(filePath);
    db.setUserName(userName);
    db.setPassword(password);
    if (!db.open())
        *error = db.lastError().databaseText();
    return db;
}

int loadStarterQuestions(QSqlDatabase db, QString* error)
{
    QFile file(QStringLiteral(":/db/starter_questions.tsv"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        *error = QStringLiteral("The starter questions are missing from this build.");
        return -1;
    }
    if (!db.transaction()) {
        *error = db.lastError().text();
        return -1;
    }
    QSqlQuery addCategory(db);
    addCategory.prepare(QStringLiteral(
        "INSERT INTO category (catName, catID) VALUES (:catName, GEN_ID(AUTO_INC, 1) ) RETURNING catID"));
    QSqlQuery addContent(db);
    addContent.prepare(Statements::addContent);
    QSqlQuery addLink(db);
    addLink.prepare(Statements::addLink);

    QHash<QString, qint64> categories;
    int stored = 0;
    int lineNumber = 0;
    QTextStream in(&file);
    auto fail = [&](const QString& why) {
        db.rollback();
        *error = QStringLiteral("Starter questions, line %1: %2").arg(lineNumber).arg(why);
        return -1;
    };
    while (!in.atEnd()) {
        const QString line = in.readLine();
        ++lineNumber;
        if (line.trimmed().isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const QStringList fields = line.split(QLatin1Char('\t'));
        if (fields.size() != 3)
            return fail(QStringLiteral("expected category, question and answer separated by tabs"));
        const QString& name = fields[0];
        if (!categories.contains(name)) {
            addCategory.bindValue(QStringLiteral(":catName"), name);
            if (!addCategory.exec() || !addCategory.next())
                return fail(addCategory.lastError().text());
            categories.insert(name, addCategory.value(0).toLongLong());
        }
        addContent.bindValue(QStringLiteral(":question"), fields[1]);
        addContent.bindValue(QStringLiteral(":answer"), fields[2]);
        if (!addContent.exec() || !addContent.next())
            return fail(addContent.lastError().text());
        addLink.bindValue(QStringLiteral(":catID"), categories.value(name));
        addLink.bindValue(QStringLiteral(":contentID"), addContent.value(0).toLongLong());
        if (!addLink.exec())
            return fail(addLink.lastError().text());
        ++stored;
    }
    addCategory.finish();
    addContent.finish();
    if (!db.commit()) {
        *error = db.lastError().text();
        return -1;
    }
    return stored;
}

}
