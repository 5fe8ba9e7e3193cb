// quiznewt-import: question files, TriviaBot files and other QuizNewt
// databases into the database that the settings name, without a display.
// Every file is read and planned, and every category found, before anything
// is stored: a refused run stores nothing. Only the rows to store are held
// meanwhile, packed.

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QStringDecoder>
#include <QTextStream>

#include "db/database.h"
#include "settings/settings.h"
#include "importer/importpipeline.h"
#include "importer/packedrows.h"
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

struct File {
    // The rows to store, from the plan until they are stored; the tag is the
    // pipeline's number for the category.
    QuestionFile::PackedRows planned;
    Import::Report report;
};

void print(const Import::Report& report)
{
    out() << report.summary() << '\n';
    for (const QString& line : report.details())
        out() << "  " << line << '\n';
    out().flush();
}

// The file a part at a time, each part planned as it comes: only the rows to
// store are kept, packed.
bool readAndPlan(Import::Pipeline& pipeline, File* file, const QuestionFile::Options& options, QString* error)
{
    const QString& name = file->report.source;
    const std::unique_ptr<Import::RowSource> source =
        Import::openSource(name, Import::kindOf(name), connectionName + QStringLiteral("-source"), options);
    file->report.kind = source->kind();
    QList<Import::Row> rows;
    QList<Import::Skip> skips;
    QList<Import::Planned> planned;
    while (source->next(chunkRows, &rows, &skips)) {
        file->report.skip(skips);
        skips.clear();
        if (!pipeline.plan(std::move(rows), &file->report, &planned)) {
            *error = pipeline.error();
            return false;
        }
        rows.clear();
        for (const Import::Planned& row : std::as_const(planned))
            file->planned.append(row.row, row.category);
        planned.clear();
    }
    if (!source->error().isEmpty()) {
        *error = QStringLiteral("%1: %2").arg(name, source->error());
        return false;
    }
    file->report.ignored = source->ignored();
    return true;
}

QList<Import::Planned> unpack(const QuestionFile::PackedRows& rows, qsizetype from, qsizetype count)
{
    QList<Import::Planned> planned;
    const qsizetype end = qMin(rows.size(), from + count);
    planned.reserve(end - from);
    for (qsizetype i = from; i < end; ++i) {
        int category = -1;
        Import::Row row = rows.at(i, &category);
        planned.append({std::move(row), category});
    }
    return planned;
}

int importFiles(QSqlDatabase db, const QStringList& names, const Options& options)
{
    Import::Pipeline pipeline(db, Import::Pipeline::Duplicates::Skip);
    if (!pipeline.begin())
        return fail(pipeline.error());
    if (!options.category.isEmpty())
        pipeline.intoCategory(options.category);
    QList<File> files(names.size());
    for (qsizetype i = 0; i < names.size(); ++i) {
        files[i].report.source = names.at(i);
        QString error;
        if (!readAndPlan(pipeline, &files[i], options.reading, &error))
            return fail(error);
    }
    const QStringList missing = pipeline.missingCategories();
    if (!missing.isEmpty() && !options.create)
        return fail(QStringLiteral("no category \"%1\" in the database; add --create-category to create it")
                        .arg(missing.join(QLatin1String("\", \""))));

    if (options.dryRun) {
        for (File& file : files) {
            file.report.imported = int(file.planned.size());
            for (qsizetype i = 0; i < file.planned.size(); ++i)
                file.report.accepted += int(file.planned.at(i).accepted.size());
            print(file.report);
        }
        out() << "Dry run: nothing was stored." << Qt::endl;
        return Ran;
    }
    if (!pipeline.createCategories())
        return fail(pipeline.error());
    for (File& file : files) {
        for (qsizetype from = 0; from < file.planned.size(); from += chunkRows) {
            if (!pipeline.store(unpack(file.planned, from, chunkRows), &file.report, Import::toolBatches))
                return fail(QStringLiteral("%1: the import stopped after %2 stored questions: %3")
                                .arg(file.report.source)
                                .arg(file.report.imported)
                                .arg(pipeline.error()));
        }
        file.planned.clear();
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
