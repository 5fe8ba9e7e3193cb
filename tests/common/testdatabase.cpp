#include "tests/common/testdatabase.h"

#include <QSettings>
#include <QSqlError>
#include <QSqlQuery>
#include <QFile>
#include <QProcess>
#include <QVariant>

#include "db/contentstore.h"
#include "db/database.h"
#include "db/playerstore.h"
#include "db/questionwriter.h"

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
    connection().close();
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

qint64 TestDatabase::addCategory(const QString& name)
{
    QSqlQuery query(connection());
    const qint64 catId = ContentStore(query).addCategoryReturningId(name);
    if (catId < 0)
        qFatal("seeding failed: %s", qPrintable(query.lastError().text()));
    return catId;
}

// Questions go in as the program stores them: the writer inside one
// transaction. The last one's ID.
static qint64 writeQuestions(QSqlDatabase db, qint64 catId, const QList<std::pair<QString, QString>>& questions)
{
    qint64 contentId = -1;
    if (!db.transaction())
        qFatal("seeding failed: %s", qPrintable(db.lastError().text()));
    {
        QuestionWriter writer(db);
        for (const auto& [question, answer] : questions) {
            const QuestionWriter::Result result = writer.add(catId, question, answer);
            if (result.outcome != QuestionWriter::Outcome::Stored)
                qFatal("seeding failed: %s", qPrintable(result.error.text()));
            contentId = result.contentId;
        }
    }
    if (!db.commit())
        qFatal("seeding failed: %s", qPrintable(db.lastError().text()));
    return contentId;
}

qint64 TestDatabase::addQuestion(qint64 catId, const QString& question, const QString& answer)
{
    return writeQuestions(connection(), catId, {{question, answer}});
}

void TestDatabase::addQuestions(qint64 catId, int count, const QString& prefix)
{
    QList<std::pair<QString, QString>> questions;
    for (int i = 0; i < count; ++i)
        questions.append({QStringLiteral("%1 %2").arg(prefix).arg(i), QStringLiteral("Answer %1").arg(i)});
    writeQuestions(connection(), catId, questions);
}

qint64 TestDatabase::addUser(const QString& name, int score, int control, int admin)
{
    QSqlQuery query(connection());
    PlayerStore users(query);
    // Test members have names of their own, so the name finds the new row.
    const qint64 userId = users.addUser(name, score, control, admin) ? users.findUser(name) : -1;
    if (userId < 0)
        qFatal("seeding failed: %s", qPrintable(query.lastError().text()));
    return userId;
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
    return QSqlQuery(connection()).exec(sql);
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

int runTool(const QString& program, const QStringList& arguments, QString* output)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return -1;
    if (output)
        *output = QString::fromUtf8(process.readAll());
    return process.exitCode();
}
