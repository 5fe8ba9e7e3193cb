// quiznewt-import: question files and TriviaBot files into the database that
// the settings name, without a display. Every file is read and checked, and
// every category found, before anything is stored: a refused run stores
// nothing.

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QSettings>
#include <QSqlError>
#include <QSqlQuery>
#include <QTextStream>

#include "db/contentstore.h"
#include "db/database.h"
#include "db/questionwriter.h"
#include "importer/mdbsource.h"
#include "importer/questionfile.h"

using QuestionFile::Row;
using QuestionFile::Skip;

namespace {

enum Exit { Ran = 0, Refused = 1, BadUsage = 2 };

// A transaction for each second of storing: a crash loses at most that
// second's rows, and a question is stored with its link or not at all. The
// window commits every 250 rows to stay responsive; here that would cost
// more than the rows themselves, as each commit writes its pages to disk
// synchronously.
constexpr qint64 batchMs = 1000;

const QString connectionName = QStringLiteral("quiznewt-import");

QTextStream& out()
{
    static QTextStream stream(stdout);
    return stream;
}

int fail(const QString& message)
{
    QTextStream(stderr) << "quiznewt-import: " << message << Qt::endl;
    return Refused;
}

struct Options {
    QString category; // empty: the ones the files name
    bool create = false;
    bool dryRun = false;
};

struct Category {
    QString name; // as stored, once found
    qint64 catId = -1;
    bool missing = false;
    QSet<QString> keys; // duplicateKey() of its questions
};

// Categories by name, compared ignoring case as the game compares them.
struct Categories {
    QList<Category> list;
    QHash<QString, int> byName;

    int add(const QString& name)
    {
        const auto found = byName.constFind(name.toUpper());
        if (found != byName.constEnd())
            return *found;
        list.append({name, -1, false, {}});
        byName.insert(name.toUpper(), int(list.size() - 1));
        return int(list.size() - 1);
    }
};

struct File {
    QString name;
    QuestionFile::Contents contents;
    QList<int> targets; // the category of each row to store
    QList<Row> leftOut; // rows stored without some of their answers
    int imported = 0;
};

// A TriviaBot file as the importer window lists it: each table a category of
// the table's name, each row a question and its answer. A row's line is its
// place in the file, counted table by table.
QuestionFile::Contents readTriviaBot(const QString& path)
{
    QuestionFile::Contents contents;
    MdbSource source(connectionName);
    if (!source.open(path)) {
        contents.error = source.lastError();
        return contents;
    }
    int line = 0;
    QList<SourceRow> rows;
    for (const QString& table : source.tables()) {
        if (!source.readTable(table, &rows)) {
            contents.rows.clear();
            contents.error = source.lastError();
            return contents;
        }
        for (SourceRow& row : rows)
            contents.rows.append({++line, table, std::move(row.question), std::move(row.answer), {}});
    }
    return contents;
}

// Finds every category, with the questions it holds; a missing one is an
// error unless it may be created.
QString findCategories(QSqlDatabase db, Categories* categories, bool create)
{
    QSqlQuery query(db);
    ContentStore store(query);
    QStringList missing;
    for (Category& category : categories->list) {
        switch (store.findCategoryIgnoringCase(category.name, &category.catId, &category.name)) {
        case Database::Lookup::Failed:
            return QStringLiteral("cannot look up category \"%1\": %2").arg(category.name, query.lastError().text());
        case Database::Lookup::Missing:
            category.missing = true;
            missing << category.name;
            break;
        case Database::Lookup::Found: {
            const auto addKey = [&category](const QString& question, const QString& answer) {
                category.keys.insert(QuestionFile::duplicateKey(question, answer));
            };
            QSqlQuery list(db);
            list.setForwardOnly(true);
            if (!ContentStore(list).listContent(category.name, addKey))
                return QStringLiteral("cannot read category \"%1\": %2").arg(category.name, list.lastError().text());
            break;
        }
        }
    }
    if (!missing.isEmpty() && !create) {
        missing.sort();
        return QStringLiteral("no category \"%1\" in the database; add --create-category to create it")
            .arg(missing.join(QLatin1String("\", \"")));
    }
    return QString();
}

// Gives each row its category and skips the rows without one and those the
// category holds already (or an earlier file gave it).
void planRows(File* file, Categories* categories, const Options& options)
{
    QList<Row> rows;
    for (Row& row : file->contents.rows) {
        const QString name = options.category.isEmpty() ? row.category : options.category;
        if (name.isEmpty()) {
            file->contents.skipped << Skip{row.line, QStringLiteral("no category; name one with --category"), {}};
            continue;
        }
        const int target = categories->add(name);
        Category& category = categories->list[target];
        const QString key = QuestionFile::duplicateKey(row.question, row.answer);
        if (category.keys.contains(key)) {
            file->contents.skipped
                << Skip{row.line, QStringLiteral("already in category \"%1\"").arg(category.name), row.category};
            continue;
        }
        category.keys.insert(key);
        file->targets << target;
        rows << std::move(row);
    }
    file->contents.rows = std::move(rows);
}

QString createCategories(QSqlDatabase db, Categories* categories)
{
    if (!db.transaction())
        return db.lastError().text();
    QString error;
    {
        QSqlQuery query(db);
        ContentStore store(query);
        for (Category& category : categories->list) {
            if (!category.missing)
                continue;
            category.catId = store.addCategoryReturningId(category.name);
            if (category.catId < 0) {
                error = QStringLiteral("cannot create category \"%1\": %2").arg(category.name, query.lastError().text());
                break;
            }
        }
    }
    if (error.isEmpty() && db.commit())
        return QString();
    if (error.isEmpty())
        error = db.lastError().text();
    db.rollback();
    return error;
}

// Stores the file's rows in batches; false with *error when a batch failed:
// that batch stored nothing, the ones before it are kept.
bool store(QSqlDatabase db, const Categories& categories, File* file, QString* error)
{
    const QList<Row>& rows = file->contents.rows;
    for (qsizetype next = 0; next < rows.size();) {
        if (!db.transaction()) {
            *error = db.lastError().text();
            return false;
        }
        QList<Skip> refused;
        QList<Row> stored;
        {
            // Prepared inside the transaction, so made afresh for each one.
            QuestionWriter writer(db);
            QElapsedTimer batch;
            batch.start();
            for (; next < rows.size() && batch.elapsed() < batchMs && error->isEmpty(); ++next) {
                const Row& row = rows.at(next);
                const qint64 catId = categories.list.at(file->targets.at(next)).catId;
                const QuestionWriter::Result result = writer.add(catId, row.question, row.answer);
                if (result.outcome == QuestionWriter::Outcome::Stored)
                    stored << row;
                else if (result.outcome == QuestionWriter::Outcome::Refused)
                    refused << Skip{row.line, QStringLiteral("refused by the database: %1")
                                                  .arg(result.error.databaseText()), row.category};
                else
                    *error = result.error.databaseText();
            }
        }
        if (error->isEmpty() && !db.commit())
            *error = db.lastError().text();
        if (!error->isEmpty()) {
            db.rollback();
            return false;
        }
        file->imported += int(stored.size());
        file->contents.skipped << refused;
        for (Row& row : stored) {
            if (!row.leftOut.isEmpty())
                file->leftOut << std::move(row);
        }
    }
    return true;
}

void report(File* file)
{
    QuestionFile::sortByLine(&file->contents.skipped);
    out() << QuestionFile::summary(file->name, file->imported, int(file->contents.skipped.size())) << Qt::endl;
    for (const QString& line : QuestionFile::details(file->contents.skipped, file->leftOut))
        out() << "  " << line << Qt::endl;
}

int importFiles(QSqlDatabase db, QList<File>& files, const Options& options)
{
    QuestionFile::Limits limits;
    {
        QSqlQuery query(db);
        if (!ContentStore(query).contentColumnSizes(&limits.question, &limits.answer))
            return fail(QStringLiteral("cannot read the column sizes: %1").arg(query.lastError().text()));
    }
    Categories categories;
    for (File& file : files) {
        QuestionFile::check(&file.contents, limits);
        for (const Row& row : std::as_const(file.contents.rows)) {
            if (!row.category.isEmpty() || !options.category.isEmpty())
                categories.add(options.category.isEmpty() ? row.category : options.category);
        }
    }
    QString error = findCategories(db, &categories, options.create);
    if (!error.isEmpty())
        return fail(error);
    for (File& file : files)
        planRows(&file, &categories, options);

    if (options.dryRun) {
        for (File& file : files) {
            file.imported = int(file.contents.rows.size());
            file.leftOut = file.contents.rows;
            report(&file);
        }
        out() << "Dry run: nothing was stored." << Qt::endl;
        return Ran;
    }
    error = createCategories(db, &categories);
    if (!error.isEmpty())
        return fail(error);
    for (File& file : files) {
        if (!store(db, categories, &file, &error))
            return fail(QStringLiteral("%1: the import stopped after %2 stored questions: %3")
                            .arg(file.name)
                            .arg(file.imported)
                            .arg(error));
        report(&file);
    }
    return Ran;
}

}

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("NewtLiberty"));
    QCoreApplication::setApplicationName(QStringLiteral("QuizNewt"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Imports question files (question*answer, question|answer or tab-separated lines, labelled blocks, YAML, "
        "CSV) into QuizNewt's database. A TriviaBot file (Access, *.mdb) gives each table as a category."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help."));
    const QCommandLineOption category(QStringLiteral("category"),
        QStringLiteral("Import every row into this category instead of the ones the file names."),
        QStringLiteral("NAME"));
    const QCommandLineOption create(QStringLiteral("create-category"),
        QStringLiteral("Create a category that does not exist yet."));
    const QCommandLineOption dryRun(QStringLiteral("dry-run"),
        QStringLiteral("Read and check everything, report, and store nothing."));
    parser.addOptions({help, category, create, dryRun});
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("Question files to import."),
                                 QStringLiteral("FILE..."));
    const auto usage = [](const QString& message) {
        QTextStream(stderr) << "quiznewt-import: " << message << Qt::endl
                            << "Usage: quiznewt-import [--category NAME] [--create-category] [--dry-run] FILE..."
                            << Qt::endl;
        return BadUsage;
    };
    if (!parser.parse(app.arguments()))
        return usage(parser.errorText());
    if (parser.isSet(help)) {
        out() << parser.helpText();
        return Ran;
    }
    const Options options{parser.value(category).trimmed(), parser.isSet(create), parser.isSet(dryRun)};
    if (parser.isSet(category) && options.category.isEmpty())
        return usage(QStringLiteral("--category needs a name."));
    if (parser.positionalArguments().isEmpty())
        return usage(QStringLiteral("give at least one file."));

    QList<File> files;
    for (const QString& name : parser.positionalArguments()) {
        files.append({name, MdbSource::isAccessFile(name) ? readTriviaBot(name) : QuestionFile::read(name), {}, {}, 0});
        if (!files.last().contents.ok())
            return fail(QStringLiteral("%1: %2").arg(name, files.last().contents.error));
    }

    const Database::Location location = Database::locationFromSettings(QSettings());
    const QString path = location.connectString();
    if (!location.isServer()) {
        if (QSettings().value(QStringLiteral("InstallDir")).toString().isEmpty())
            return fail(QStringLiteral("no database: the InstallDir setting is not set (see quiznewt-setup)."));
        if (!QFileInfo(path).isFile())
            return fail(QStringLiteral("no database at %1.").arg(path));
    }

    int exitCode = Refused;
    {
        QString error;
        QSqlDatabase db = Database::open(location, connectionName, &error);
        if (db.isOpen())
            Database::upgrade(db);
        exitCode = db.isOpen() ? importFiles(db, files, options)
                               : fail(QStringLiteral("cannot open %1: %2").arg(path, error));
        db.close();
    }
    QSqlDatabase::removeDatabase(connectionName);
    return exitCode;
}
