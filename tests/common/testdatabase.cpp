#include "tests/common/testdatabase.h"

#include <QCoreApplication>
#include <QSettings>
#include <QSqlError>
#include <QSqlQuery>
#include <QFile>
#include <QVariant>

#include "db/database.h"

static int connectionCounter = 0;

TestDatabase::TestDatabase()
{
    connectionName = QStringLiteral("testdb-%1").arg(++connectionCounter);
    if (!tempDir.isValid()) {
        lastError = QStringLiteral("no temporary directory");
        return;
    }
    if (!Database::create(filePath(), &lastError))
        return;
    QSqlDatabase db = Database::open(filePath(), connectionName, &lastError);
    valid = db.isOpen();
}

TestDatabase::~TestDatabase()
{
    {
        QSqlDatabase db = QSqlDatabase::database(connectionName, false);
        if (db.isValid())
            db.close();
    }
    QSqlDatabase::removeDatabase(connectionName);
}

QString TestDatabase::filePath() const
{
    return tempDir.path() + QLatin1Char('/') + Database::fileName;
}

QSqlDatabase TestDatabase::connection() const
{
    return QSqlDatabase::database(connectionName, false);
}

void TestDatabase::makeInstallDir() const
{
    QSettings(QStringLiteral("NewtLiberty"), QStringLiteral("QuizNewt"))
        .setValue(QStringLiteral("InstallDir"), dir());
}

static qint64 insertReturning(QSqlDatabase db, const QString& sql, const QVariantList& values)
{
    QSqlQuery query(db);
    query.prepare(sql);
    for (int i = 0; i < values.size(); ++i)
        query.bindValue(i, values[i]);
    if (!query.exec() || !query.next())
        qFatal("seeding failed: %s", qPrintable(query.lastError().text()));
    return query.value(0).toLongLong();
}

qint64 TestDatabase::addCategory(const QString& name)
{
    return insertReturning(connection(),
        QStringLiteral("INSERT INTO category (catName, catID) VALUES (?, GEN_ID(AUTO_INC, 1)) RETURNING catID"),
        {name});
}

qint64 TestDatabase::addQuestion(qint64 catId, const QString& question, const QString& answer)
{
    const qint64 id = insertReturning(connection(),
        QStringLiteral("INSERT INTO content (contentID, question, answer) VALUES (GEN_ID(AUTO_INC, 1), ?, ?) "
                       "RETURNING contentID"),
        {question, answer});
    QSqlQuery link(connection());
    link.prepare(QStringLiteral("INSERT INTO category_content (catID, contentID) VALUES (?, ?)"));
    link.addBindValue(catId);
    link.addBindValue(id);
    if (!link.exec())
        qFatal("seeding failed: %s", qPrintable(link.lastError().text()));
    return id;
}

void TestDatabase::addQuestions(qint64 catId, int count, const QString& prefix)
{
    QSqlDatabase db = connection();
    db.transaction();
    {
        QSqlQuery content(db);
        content.prepare(QStringLiteral(
            "INSERT INTO content (contentID, question, answer) VALUES (GEN_ID(AUTO_INC, 1), ?, ?) RETURNING contentID"));
        QSqlQuery link(db);
        link.prepare(QStringLiteral("INSERT INTO category_content (catID, contentID) VALUES (?, ?)"));
        for (int i = 0; i < count; ++i) {
            content.bindValue(0, QStringLiteral("%1 %2").arg(prefix).arg(i));
            content.bindValue(1, QStringLiteral("Answer %1").arg(i));
            if (!content.exec() || !content.next())
                qFatal("seeding failed: %s", qPrintable(content.lastError().text()));
            link.bindValue(0, catId);
            link.bindValue(1, content.value(0).toLongLong());
            if (!link.exec())
                qFatal("seeding failed: %s", qPrintable(link.lastError().text()));
        }
    }
    if (!db.commit())
        qFatal("seeding failed: %s", qPrintable(db.lastError().text()));
}

qint64 TestDatabase::addUser(const QString& name, int score, int control, int admin)
{
    return insertReturning(connection(),
        QStringLiteral("INSERT INTO users (username, score, hasControl, hasAdmin, userID) "
                       "VALUES (?, ?, ?, ?, GEN_ID(AUTO_INC, 1)) RETURNING userID"),
        {name, score, control, admin});
}

QStringList TestDatabase::column(const QString& sql) const
{
    QStringList result;
    QSqlQuery query(connection());
    if (!query.exec(sql))
        qFatal("check failed: %s: %s", qPrintable(sql), qPrintable(query.lastError().text()));
    while (query.next())
        result << query.value(0).toString();
    return result;
}

QVariant TestDatabase::value(const QString& sql) const
{
    QSqlQuery query(connection());
    if (!query.exec(sql))
        qFatal("check failed: %s: %s", qPrintable(sql), qPrintable(query.lastError().text()));
    return query.next() ? query.value(0) : QVariant();
}

bool TestDatabase::exec(const QString& sql) const
{
    QSqlQuery query(connection());
    return query.exec(sql);
}

void isolateSettings()
{
    // A configuration directory of this process alone: tests run side by side
    // under ctest, and Qt's shared ~/.qttest would let one test open another's
    // database. QSettings reads the variable on first use, so call this first.
    static QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    QSettings(QStringLiteral("NewtLiberty"), QStringLiteral("QuizNewt")).clear();
}
