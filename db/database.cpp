#include "db/database.h"
#include "db/engine.h"
#include "db/contentstore.h"
#include "db/questionwriter.h"
#include "db/serverprobe.h"
#include "db/statements.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QTextStream>

namespace Database {

QStringList schemaStatements(const QString& section)
{
    QFile file(QStringLiteral(":/db/schema.sql"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    QStringList statements;
    QString current;
    QString terminator = QStringLiteral(";");
    const QLatin1String setTerm("SET TERM ");
    bool taking = section.isEmpty();
    QTextStream in(&file);
    while (!in.atEnd()) {
        const QString line = in.readLine();
        const QString trimmed = line.trimmed();
        // "-- [name]" opens a section that runs to the end of the file.
        if (!section.isEmpty() && trimmed.startsWith(QLatin1String("-- [")))
            taking = taking || trimmed.mid(4).startsWith(section + QLatin1Char(']'));
        if (trimmed.isEmpty() || trimmed.startsWith(QLatin1String("--")))
            continue;
        // "SET TERM ^ ;" is isql's, not the engine's: it only changes the separator.
        if (current.isEmpty() && trimmed.startsWith(setTerm, Qt::CaseInsensitive)) {
            terminator = trimmed.mid(setTerm.size()).section(QLatin1Char(' '), 0, 0);
            continue;
        }
        current += line + QLatin1Char('\n');
        if (trimmed.endsWith(terminator)) {
            current = current.trimmed();
            current.chop(terminator.size());
            if (taking)
                statements << current;
            current.clear();
        }
    }
    return statements;
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
    Location location;
    location.path = info.absoluteFilePath();
    // It was not there before: whatever a failure left is ours.
    const bool ok = create(location, error);
    if (!ok)
        QFile::remove(location.path);
    return ok;
}

namespace {

// Opens the connection as it is, tables or not.
QSqlDatabase attach(const Location& location, const QString& connectionName, QString* error)
{
    prepareEngine();
    QSqlDatabase db = QSqlDatabase::addDatabase(driverName, connectionName);
    if (!db.isValid()) {
        *error = db.lastError().driverText();
        return db;
    }
    if (!location.problem.isEmpty()) {
        *error = location.problem;
        return db;
    }
    // A server that takes the connection and never answers would hold the
    // driver's open() for ever.
    if (location.isServer() && askServer(location, serverAnswerMs, error) != ServerAnswer::Attached)
        return db;
    db.setDatabaseName(location.path);
    if (location.isServer()) {
        db.setHostName(location.server);
        db.setPort(location.port);
    }
    db.setUserName(location.user);
    db.setPassword(location.password);
    if (!db.open())
        *error = db.lastError().databaseText();
    return db;
}

}

bool create(const Location& location, QString* error)
{
    if (!location.problem.isEmpty()) {
        *error = location.problem;
        return false;
    }
    prepareEngine();
    const QString where = location.connectString();
    // The attach a silent server would never answer; one that answers
    // refuses it here, as the database does not exist yet.
    if (location.isServer() && askServer(location, serverAnswerMs, error) == ServerAnswer::Silent) {
        *error = QStringLiteral("Cannot create %1: %2").arg(where, *error);
        return false;
    }
    const QByteArray sql = Statements::createDatabase(QFile::encodeName(where), location.user.toUtf8().toUpper(),
                                                      location.password.toUtf8());
    ISC_STATUS_ARRAY status;
    isc_db_handle db = 0;
    isc_tr_handle tr = 0;
    if (isc_dsql_execute_immediate(status, &db, &tr, 0, sql.constData(), SQL_DIALECT_V6, nullptr)) {
        QString reason = statusText(status);
        if (status[1] == isc_unavailable && !location.isServer())
            reason += QStringLiteral(" (is the Firebird engine, package firebird3.0-server-core, installed?)");
        *error = QStringLiteral("Cannot create %1: %2").arg(where, reason);
        return false;
    }
    isc_detach_database(status, &db);

    const QString connection = QStringLiteral("quiznewt-create-%1").arg(quintptr(&location));
    bool ok = true;
    {
        QSqlDatabase created = attach(location, connection, error);
        ok = created.isOpen();
        if (ok) {
            QSqlQuery query(created);
            for (const QString& statement : schemaStatements()) {
                if (!query.exec(statement)) {
                    *error = QStringLiteral("Cannot create the schema in %1: %2")
                                 .arg(where, query.lastError().text());
                    ok = false;
                    break;
                }
            }
        }
        created.close();
    }
    QSqlDatabase::removeDatabase(connection);
    return ok;
}

void upgrade(const QSqlDatabase& db)
{
    QVariantList row;
    QString ignored;
    if (runReserving(db.driver(), Statements::categoryCheckMissing, {}, {}, &row, &ignored) && !row.isEmpty()) {
        for (const QString& statement : schemaStatements()) {
            if (statement.contains(QLatin1String("category_exists"), Qt::CaseInsensitive)
                && !runReserving(db.driver(), statement.toUtf8(), {}, {}, &row, &ignored))
                return;
        }
    }
    if (!runReserving(db.driver(), Statements::playTablesMissing, {}, {}, &row, &ignored) || row.isEmpty())
        return;
    // Another process may be adding the same tables: a table that exists by
    // now is passed over, and everything else still runs.
    for (const QString& statement : schemaStatements(QStringLiteral("play"))) {
        if (!runReserving(db.driver(), statement.toUtf8(), {}, {}, &row, &ignored))
            qWarning("QuizNewt: upgrading the database: %s", qPrintable(ignored));
    }
}

QSqlDatabase open(const QString& filePath, const QString& connectionName, QString* error)
{
    Location location;
    location.path = filePath;
    return open(location, connectionName, error);
}

QSqlDatabase open(const Location& location, const QString& connectionName, QString* error)
{
    QSqlDatabase db = attach(location, connectionName, error);
    if (!db.isOpen())
        return db;
    // A file that opens is not yet a database of ours (a crash may have left
    // one half made, or it belongs to another program).
    QSqlQuery query(db);
    if (!query.exec(Statements::countOwnTables) || !query.next() || query.value(0).toInt() != Statements::ownTables) {
        *error = QStringLiteral("%1 is not a QuizNewt database: it lacks the tables content, category, "
                                "category_content and users")
                     .arg(location.connectString());
        query.finish();
        db.close();
    }
    return db;
}

namespace {

// The driver's statements wait for a lock without end; these give up after
// a second, and a conflict is tried again this many times in all.
const int lockTimeoutSeconds = 1;
const int attempts = 3;

// Another transaction changed or holds a row this one needs: worth another go.
bool isConflict(const ISC_STATUS* status)
{
    switch (status[1]) {
    case isc_deadlock:
    case isc_update_conflict:
    case isc_lock_conflict:
    case isc_lock_timeout:
        return true;
    default:
        return false;
    }
}

int statementType(isc_stmt_handle* stmt)
{
    const char item = isc_info_sql_stmt_type;
    char buffer[16] = {};
    ISC_STATUS_ARRAY status;
    if (isc_dsql_sql_info(status, stmt, 1, &item, sizeof buffer, buffer) || buffer[0] != item)
        return 0;
    const short length = short(isc_vax_integer(buffer + 1, 2));
    return int(isc_vax_integer(buffer + 3, length));
}

QByteArray reservingTpb(const QList<QByteArray>& tables)
{
    QByteArray tpb;
    tpb += char(isc_tpb_version3);
    tpb += char(isc_tpb_write);
    tpb += char(isc_tpb_read_committed);
    tpb += char(isc_tpb_rec_version);
    tpb += char(isc_tpb_wait);
    tpb += char(isc_tpb_lock_timeout);
    tpb += char(4);
    for (int shift = 0; shift < 32; shift += 8)
        tpb += char((lockTimeoutSeconds >> shift) & 0xff);
    for (const QByteArray& table : tables) {
        tpb += char(isc_tpb_lock_write);
        tpb += char(table.size());
        tpb += table;
        tpb += char(isc_tpb_protected);
    }
    return tpb;
}

// An XSQLDA with room for n values and the buffers they point to.
class Sqlda
{
public:
    explicit Sqlda(int n) : storage(XSQLDA_LENGTH(qMax(n, 1)), 0)
    {
        get()->version = SQLDA_VERSION1;
        get()->sqln = short(qMax(n, 1));
    }
    XSQLDA* get() { return reinterpret_cast<XSQLDA*>(storage.data()); }
    // Buffers for what describe filled in, read back by value().
    void allocate()
    {
        XSQLDA* da = get();
        buffers.resize(da->sqld);
        indicators.resize(da->sqld);
        for (int i = 0; i < da->sqld; ++i) {
            buffers[i].resize(da->sqlvar[i].sqllen + sizeof(short));
            da->sqlvar[i].sqldata = buffers[i].data();
            da->sqlvar[i].sqlind = &indicators[i];
        }
    }
    // Text in, whatever the parameter's type: the engine converts it.
    void bindText(int i, const QByteArray& text, bool isNull)
    {
        XSQLVAR& var = get()->sqlvar[i];
        const int type = var.sqltype & ~1;
        var.sqlsubtype = type == SQL_TEXT || type == SQL_VARYING ? var.sqlsubtype : 0;
        var.sqltype = SQL_TEXT | 1;
        buffers[i] = text;
        var.sqllen = short(text.size());
        var.sqldata = buffers[i].data();
        indicators[i] = isNull ? -1 : 0;
    }
    QVariant value(int i)
    {
        const XSQLVAR& var = get()->sqlvar[i];
        if ((var.sqltype & 1) && *var.sqlind < 0)
            return {};
        switch (var.sqltype & ~1) {
        case SQL_SHORT:
            return qlonglong(*reinterpret_cast<const short*>(var.sqldata));
        case SQL_LONG:
            return qlonglong(*reinterpret_cast<const ISC_LONG*>(var.sqldata));
        case SQL_INT64:
            return qlonglong(*reinterpret_cast<const ISC_INT64*>(var.sqldata));
        case SQL_TEXT:
            return QString::fromUtf8(var.sqldata, var.sqllen);
        case SQL_VARYING:
            return QString::fromUtf8(var.sqldata + sizeof(short), *reinterpret_cast<const short*>(var.sqldata));
        default:
            return {};
        }
    }

private:
    QByteArray storage;
    QList<QByteArray> buffers;
    QList<short> indicators;
};

}

bool runReserving(const QSqlDriver* driver, const QByteArray& statement, const QList<QByteArray>& tables,
                  const QStringList& parameters, QVariantList* row, QString* error)
{
    const QVariant handle = driver && driver->isOpen() ? driver->handle() : QVariant();
    if (handle.metaType() != QMetaType::fromType<isc_db_handle>()) {
        *error = QStringLiteral("The database is not open.");
        return false;
    }
    isc_db_handle attachment = *static_cast<const isc_db_handle*>(handle.constData());
    const QByteArray tpb = reservingTpb(tables);
    ISC_STATUS_ARRAY status = {};
    isc_stmt_handle stmt = 0;
    Sqlda in(int(parameters.size()));
    Sqlda out(8);
    bool prepared = false;
    bool selects = false;
    bool hasRow = false;
    bool done = false;
    for (int attempt = 1; attempt <= attempts && !done; ++attempt) {
        isc_tr_handle tr = 0;
        bool ok = !isc_start_transaction(status, &tr, 1, &attachment, short(tpb.size()), tpb.constData());
        if (ok && !prepared) {
            ok = !isc_dsql_allocate_statement(status, &attachment, &stmt)
                && !isc_dsql_prepare(status, &tr, &stmt, 0, statement.constData(), SQL_DIALECT_V6, out.get())
                && !isc_dsql_describe_bind(status, &stmt, 1, in.get());
            if (ok && (out.get()->sqld > out.get()->sqln || in.get()->sqld != parameters.size())) {
                *error = QStringLiteral("The statement does not fit its parameters.");
                isc_rollback_transaction(status, &tr);
                break;
            }
            if (ok) {
                prepared = true;
                selects = statementType(&stmt) == isc_info_sql_stmt_select;
                in.allocate();
                out.allocate();
                for (int i = 0; i < parameters.size(); ++i)
                    in.bindText(i, parameters.at(i).toUtf8(), parameters.at(i).isNull());
            }
        }
        if (ok && selects) {
            // A selectable block hands its row over by a fetch.
            ok = !isc_dsql_execute(status, &tr, &stmt, 1, in.get());
            const ISC_STATUS fetched = ok ? isc_dsql_fetch(status, &stmt, 1, out.get()) : 0;
            ok = ok && (fetched == 0 || fetched == 100);
            hasRow = fetched == 0;
            ok = ok && !isc_dsql_free_statement(status, &stmt, DSQL_close);
        } else if (ok) {
            ok = !isc_dsql_execute2(status, &tr, &stmt, 1, in.get(), out.get()->sqld ? out.get() : nullptr);
            hasRow = out.get()->sqld > 0;
        }
        ok = ok && !isc_commit_transaction(status, &tr);
        if (ok) {
            done = true;
            break;
        }
        const bool conflict = isConflict(status);
        *error = statusText(status);
        ISC_STATUS_ARRAY ignored;
        if (selects)
            isc_dsql_free_statement(ignored, &stmt, DSQL_close);
        if (tr)
            isc_rollback_transaction(ignored, &tr);
        if (!conflict)
            break;
    }
    if (stmt) {
        ISC_STATUS_ARRAY ignored;
        isc_dsql_free_statement(ignored, &stmt, DSQL_drop);
    }
    if (!done)
        return false;
    row->clear();
    for (int i = 0; hasRow && i < out.get()->sqld; ++i)
        row->append(out.value(i));
    return true;
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

    int stored = 0;
    int lineNumber = 0;
    bool failed = false;
    QString why;
    const auto fail = [&](const QString& reason) {
        failed = true;
        why = reason;
    };
    {
        // The statements end with this block, before the commit.
        QSqlQuery categoryQuery(db);
        ContentStore categories(categoryQuery);
        QuestionWriter writer(db);
        QHash<QString, qint64> catIds;
        QTextStream in(&file);
        while (!in.atEnd()) {
            const QString line = in.readLine();
            ++lineNumber;
            if (line.trimmed().isEmpty() || line.startsWith(QLatin1Char('#')))
                continue;
            const QStringList fields = line.split(QLatin1Char('\t'));
            if (fields.size() != 3) {
                fail(QStringLiteral("expected category, question and answer separated by tabs"));
                break;
            }
            const QString& name = fields[0];
            if (!catIds.contains(name)) {
                const qint64 catId = categories.addCategoryReturningId(name);
                if (catId < 0) {
                    fail(categoryQuery.lastError().text());
                    break;
                }
                catIds.insert(name, catId);
            }
            const QuestionWriter::Result result = writer.add(catIds.value(name), fields[1], fields[2]);
            if (result.outcome != QuestionWriter::Outcome::Stored) {
                fail(result.error.text());
                break;
            }
            ++stored;
        }
    }
    if (failed) {
        db.rollback();
        *error = QStringLiteral("Starter questions, line %1: %2").arg(lineNumber).arg(why);
        return -1;
    }
    if (!db.commit()) {
        *error = db.lastError().text();
        return -1;
    }
    return stored;
}

}
