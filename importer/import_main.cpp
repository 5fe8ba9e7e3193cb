// quiznewt-import: question files, TriviaBot files and other QuizNewt
// databases into the database that the settings name, without a display.
// Every file is read and planned, and every category found, before anything
// is stored: a refused run stores nothing.

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QTextStream>

#include "db/database.h"
#include "settings/settings.h"
#include "importer/importpipeline.h"
#include "importer/rowsource.h"

namespace {

enum Exit { Ran = 0, Refused = 1, BadUsage = 2 };

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

struct File {
    QList<Import::Row> rows; // as read, until planned
    QList<Import::Planned> planned;
    Import::Report report;
};

void print(const Import::Report& report)
{
    out() << report.summary() << Qt::endl;
    for (const QString& line : report.details())
        out() << "  " << line << Qt::endl;
}

int importFiles(QSqlDatabase db, QList<File>& files, const Options& options)
{
    Import::Pipeline pipeline(db, Import::Pipeline::Duplicates::Skip);
    if (!pipeline.begin())
        return fail(pipeline.error());
    if (!options.category.isEmpty())
        pipeline.intoCategory(options.category);
    for (File& file : files) {
        if (!pipeline.plan(std::move(file.rows), &file.report, &file.planned))
            return fail(pipeline.error());
    }
    const QStringList missing = pipeline.missingCategories();
    if (!missing.isEmpty() && !options.create)
        return fail(QStringLiteral("no category \"%1\" in the database; add --create-category to create it")
                        .arg(missing.join(QLatin1String("\", \""))));

    if (options.dryRun) {
        for (File& file : files) {
            file.report.imported = int(file.planned.size());
            for (const Import::Planned& planned : std::as_const(file.planned)) {
                if (!planned.row.leftOut.isEmpty())
                    file.report.leftOut << planned.row;
            }
            print(file.report);
        }
        out() << "Dry run: nothing was stored." << Qt::endl;
        return Ran;
    }
    if (!pipeline.createCategories())
        return fail(pipeline.error());
    for (File& file : files) {
        if (!pipeline.store(file.planned, &file.report, Import::toolBatches))
            return fail(QStringLiteral("%1: the import stopped after %2 stored questions: %3")
                            .arg(file.report.source)
                            .arg(file.report.imported)
                            .arg(pipeline.error()));
        print(file.report);
    }
    return Ran;
}

}

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    Settings::setIdentity();

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Imports question files (question*answer, question|answer or tab-separated lines, labelled blocks, YAML, "
        "CSV) into QuizNewt's database. A TriviaBot file (Access, *.mdb) gives each table as a category, another "
        "QuizNewt database (*.fdb) each of its categories."));
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
        const std::unique_ptr<Import::RowSource> source =
            Import::openSource(name, Import::kindOf(name), connectionName + QStringLiteral("-source"));
        File file;
        file.report.source = name;
        file.report.kind = source->kind();
        if (!Import::readAll(*source, &file.rows, &file.report.skipped))
            return fail(QStringLiteral("%1: %2").arg(name, source->error()));
        files.append(std::move(file));
    }

    const Database::Location location = Database::locationFromSettings();
    const QString path = location.connectString();
    if (!location.problem.isEmpty())
        return fail(QStringLiteral("no database: %1 (see quiznewt-setup).").arg(location.problem));
    if (!location.isServer() && !QFileInfo(path).isFile())
        return fail(QStringLiteral("no database at %1.").arg(path));

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
