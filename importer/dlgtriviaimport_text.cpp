// The importer window's third kind of source: a question file. It is read
// and checked when opened; its rows are shown in file order, under the
// file's categories or, without any, under the file's name.

#include "importer/dlgtriviaimport.h"

#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>

#include "db/contentstore.h"
#include "gui/messagebox.h"

using QuestionFile::Row;
using QuestionFile::Skip;

QString dlgTriviaImport::textEntry(const QString& category) const
{
    return category.isEmpty() ? textFileName : category;
}

void dlgTriviaImport::loadTextFile(const QString& path)
{
    // The rows on view belong to the file being replaced.
    if (!textShown.isEmpty()) {
        twSourceContent->clear();
        textShown.clear();
    }
    textFileName = QFileInfo(path).fileName();
    textFile = QuestionFile::read(path);
    if (!textFile.ok()) {
        MessageBox::warning(this, QStringLiteral("Error"),
                            QStringLiteral("Unable to read the question file %1: %2").arg(textFileName, textFile.error));
        textFile = QuestionFile::Contents();
        return;
    }
    QuestionFile::Limits limits;
    {
        QSqlQuery query{QSqlDatabase::database()};
        ContentStore(query).contentColumnSizes(&limits.question, &limits.answer);
    }
    QuestionFile::check(&textFile, limits);

    QStringList entries;
    QSet<QString> listed;
    for (const Row& row : std::as_const(textFile.rows)) {
        const QString entry = textEntry(row.category);
        if (!listed.contains(entry)) {
            listed.insert(entry);
            entries << entry;
        }
    }
    if (entries.isEmpty())
        entries << textFileName;
    lwSourceTables->addItems(entries);
}

void dlgTriviaImport::showTextRows(const QString& entry)
{
    twSourceContent->setSortingEnabled(false);
    QList<QTreeWidgetItem*> items;
    for (const Row& row : std::as_const(textFile.rows)) {
        if (textEntry(row.category) != entry)
            continue;
        auto* item = new QTreeWidgetItem(QStringList{row.question, row.answer});
        item->setData(0, Qt::UserRole, row.line);
        items << item;
    }
    twSourceContent->addTopLevelItems(items);
    textShown = entry;
}

bool dlgTriviaImport::dropStoredTextRows(QSqlDatabase db, const QString& category, QList<SourceRow>* rows,
                                         QList<int>* lines, QList<Skip>* skipped)
{
    QSet<QString> stored;
    QSqlQuery query(db);
    query.setForwardOnly(true);
    const auto addKey = [&stored](const QString& question, const QString& answer) {
        stored.insert(QuestionFile::duplicateKey(question, answer));
    };
    if (!ContentStore(query).listContent(category, addKey)) {
        MessageBox::warning(this, QStringLiteral("Error"),
                            QStringLiteral("Unable to read the category \"%1\"; nothing was imported.\n%2")
                                .arg(category, query.lastError().text()));
        return false;
    }
    QList<SourceRow> kept;
    QList<int> keptLines;
    for (qsizetype i = 0; i < rows->size(); ++i) {
        const SourceRow& row = rows->at(i);
        if (stored.contains(QuestionFile::duplicateKey(row.question, row.answer))) {
            skipped->append({lines->at(i), QStringLiteral("already in category \"%1\"").arg(category), QString()});
            continue;
        }
        kept << row;
        keptLines << lines->at(i);
    }
    *rows = kept;
    *lines = keptLines;
    return true;
}

// The counts, then the file's skipped lines of the shown entry and the
// imported rows that left answers out, one a line, under "Show Details...".
void dlgTriviaImport::reportTextImport(int imported, const QList<int>& lines, QList<Skip> skipped)
{
    for (const Skip& skip : std::as_const(textFile.skipped)) {
        if (skip.category.isEmpty() || textEntry(skip.category) == textShown)
            skipped << skip;
    }
    QSet<int> skippedLines;
    for (const Skip& skip : std::as_const(skipped))
        skippedLines.insert(skip.line);
    const QSet<int> importedLines(lines.begin(), lines.end());
    QList<Row> leftOut;
    for (const Row& row : std::as_const(textFile.rows)) {
        if (!row.leftOut.isEmpty() && importedLines.contains(row.line) && !skippedLines.contains(row.line))
            leftOut << row;
    }
    MessageBox::report(this, QStringLiteral("Import Done"),
                       QuestionFile::summary(textFileName, imported, int(skipped.size())),
                       QuestionFile::details(skipped, leftOut).join(QLatin1Char('\n')));
}
