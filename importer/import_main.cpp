// quiznewt-import: question files, TriviaBot files and other QuizNewt
// databases into the database that the settings name, without a display.
// Every file is read twice, a part at a time, so that its size does not
// matter: the first pass finds every category and every fault that refuses
// the run, so a refused run stores nothing; the second plans and stores.

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QStringDecoder>
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
    QuestionFile::Options reading;
};

// Rows read, planned and stored at a time.
constexpr int chunkRows = 10000;

void print(const Import::Report& report)
{
    out() << report.summary() << '\n';
    for (const QString& line : report.details())
        out() << "  " << line << '\n';
    out().flush();
}

std::unique_ptr<Import::RowSource> open(const QString& name, const QuestionFile::Options& options)
{
    return Import::openSource(name, Import::kindOf(name), connectionName + QStringLiteral("-source"), options);
}

// The first pass: the file read through, its categories found.
bool survey(Import::Pipeline& pipeline, const QString& name, const QuestionFile::Options& options, QString* error)
{
    const std::unique_ptr<Import::RowSource> source = open(name, options);
    QList<Import::Row> rows;
    QList<Import::Skip> skips;
    while (source->next(chunkRows, &rows, &skips)) {
        skips.clear();
        if (!pipeline.survey(std::move(rows))) {
            *error = pipeline.error();
            return false;
        }
        rows.clear();
    }
    if (!source->error().isEmpty()) {
        *error = QStringLiteral("%1: %2").arg(name, source->error());
        return false;
    }
    return true;
}

// The second pass: each part planned, then stored unless dryRun.
bool importFile(Import::Pipeline& pipeline, Import::Report* report, const QuestionFile::Options& options,
                bool dryRun, QString* error)
{
    const std::unique_ptr<Import::RowSource> source = open(report->source, options);
    report->kind = source->kind();
    QList<Import::Row> rows;
    QList<Import::Skip> skips;
    QList<Import::Planned> planned;
    while (source->next(chunkRows, &rows, &skips)) {
        report->skip(skips);
        skips.clear();
        if (!pipeline.plan(std::move(rows), report, &planned)) {
            *error = QStringLiteral("%1: %2").arg(report->source, pipeline.error());
            return false;
        }
        rows.clear();
        if (dryRun) {
            report->imported += int(planned.size());
            for (const Import::Planned& row : std::as_const(planned))
                report->accepted += int(row.row.accepted.size());
        } else if (!pipeline.store(planned, report, Import::toolBatches)) {
            *error = QStringLiteral("%1: the import stopped after %2 stored questions: %3")
                         .arg(report->source)
                         .arg(report->imported)
                         .arg(pipeline.error());
            return false;
        }
        planned.clear();
    }
    // A file that changed since the first pass.
    if (!source->error().isEmpty()) {
        *error = QStringLiteral("%1: %2 (after %3 stored questions)")
                     .arg(report->source, source->error())
                     .arg(report->imported);
        return false;
    }
    report->ignored = source->ignored();
    return true;
}

int importFiles(QSqlDatabase db, const QStringList& names, const Options& options)
{
    Import::Pipeline pipeline(db, Import::Pipeline::Duplicates::Skip);
    if (!pipeline.begin())
        return fail(pipeline.error());
    if (!options.category.isEmpty())
        pipeline.intoCategory(options.category);
    for (const QString& name : names) {
        QString error;
        if (!survey(pipeline, name, options.reading, &error))
            return fail(error);
    }
    const QStringList missing = pipeline.missingCategories();
    if (!missing.isEmpty() && !options.create)
        return fail(QStringLiteral("no category \"%1\" in the database; add --create-category to create it")
                        .arg(missing.join(QLatin1String("\", \""))));
    if (!options.dryRun && !pipeline.createCategories())
        return fail(pipeline.error());
    for (const QString& name : names) {
        Import::Report report;
        report.source = name;
        QString error;
        if (!importFile(pipeline, &report, options.reading, options.dryRun, &error))
            return fail(error);
        print(report);
    }
    if (options.dryRun)
        out() << "Dry run: nothing was stored." << Qt::endl;
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
        "CSV, #Q blocks with choices, a trivia web service's JSON) into QuizNewt's database. Every playable answer "
        "a file gives is kept: the first as the answer, the others as accepted answers. A TriviaBot file (Access, "
        "*.mdb) gives each table as a category, another QuizNewt database (*.fdb) each of its categories."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help."));
    const QCommandLineOption category(QStringLiteral("category"),
        QStringLiteral("Import every row into this category instead of the ones the file names."),
        QStringLiteral("NAME"));
    const QCommandLineOption create(QStringLiteral("create-category"),
        QStringLiteral("Create a category that does not exist yet."));
    const QCommandLineOption dryRun(QStringLiteral("dry-run"),
        QStringLiteral("Read and check everything, report, and store nothing."));
    const QCommandLineOption alternatives(QStringLiteral("alternatives"),
        QStringLiteral("Read question*answer*answer lines with the first separator ending the question, also when "
                       "the question does not end in \"?\"."));
    const QCommandLineOption encoding(QStringLiteral("encoding"),
        QStringLiteral("Read question files in this encoding (KOI8-R, ISO-8859-2, ...) instead of by their byte "
                       "order mark, UTF-8 or Windows-1252."),
        QStringLiteral("NAME"));
    const QCommandLineOption questionColumn(QStringLiteral("question-column"),
        QStringLiteral("The CSV header's name of the question column."), QStringLiteral("NAME"));
    const QCommandLineOption answerColumn(QStringLiteral("answer-column"),
        QStringLiteral("The CSV header's name of the answer column."), QStringLiteral("NAME"));
    const QCommandLineOption categoryColumn(QStringLiteral("category-column"),
        QStringLiteral("The CSV header's name of the category column."), QStringLiteral("NAME"));
    parser.addOptions({help, category, create, dryRun, alternatives, encoding, questionColumn, answerColumn,
                       categoryColumn});
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("Question files to import."),
                                 QStringLiteral("FILE..."));
    const auto usage = [](const QString& message) {
        QTextStream(stderr) << "quiznewt-import: " << message << Qt::endl
                            << "Usage: quiznewt-import [--category NAME] [--create-category] [--dry-run] "
                               "[--alternatives] [--encoding NAME] [--question-column NAME] [--answer-column NAME] "
                               "[--category-column NAME] FILE..."
                            << Qt::endl;
        return BadUsage;
    };
    if (!parser.parse(app.arguments()))
        return usage(parser.errorText());
    if (parser.isSet(help)) {
        out() << parser.helpText();
        return Ran;
    }
    const Options options{parser.value(category).trimmed(), parser.isSet(create), parser.isSet(dryRun),
                          {parser.value(encoding).trimmed(), parser.isSet(alternatives),
                           parser.value(questionColumn).trimmed(), parser.value(answerColumn).trimmed(),
                           parser.value(categoryColumn).trimmed()}};
    if (parser.isSet(category) && options.category.isEmpty())
        return usage(QStringLiteral("--category needs a name."));
    for (const QCommandLineOption* named : {&encoding, &questionColumn, &answerColumn, &categoryColumn}) {
        if (parser.isSet(*named) && parser.value(*named).trimmed().isEmpty())
            return usage(QStringLiteral("--%1 needs a name.").arg(named->names().constFirst()));
    }
    if (parser.isSet(encoding) && !QStringDecoder(options.reading.encoding.toLatin1().constData()).isValid()
        && options.reading.encoding.compare(QLatin1String("cp1252"), Qt::CaseInsensitive) != 0)
        return usage(QStringLiteral("unknown encoding \"%1\".").arg(options.reading.encoding));
    if (parser.positionalArguments().isEmpty())
        return usage(QStringLiteral("give at least one file."));

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
        exitCode = db.isOpen() ? importFiles(db, parser.positionalArguments(), options)
                               : fail(QStringLiteral("cannot open %1: %2").arg(path, error));
        db.close();
    }
    QSqlDatabase::removeDatabase(connectionName);
    return exitCode;
}
