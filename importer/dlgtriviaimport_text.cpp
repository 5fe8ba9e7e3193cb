// The importer window's third kind of source: a question file. It is read
// when opened; its rows are shown in file order, under the file's categories
// or, without any, under the file's name, and checked when imported.

#include "importer/dlgtriviaimport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSet>

#include "gui/messagebox.h"
#include "importer/dlgtriviaimport_p.h"
#include "importer/rowsource.h"

namespace {

// The source view holds a tree item for every row on view, and the window
// the file's rows, packed; larger files and categories are for
// quiznewt-import, which holds neither.
constexpr qsizetype maxFileRows = 1000000;
constexpr qsizetype maxViewRows = 100000;

}

QString dlgTriviaImport::textEntry(const QString& category) const
{
    return category.isEmpty() ? textFileName : category;
}

QuestionFile::Options dlgTriviaImport::textOptions() const
{
    QuestionFile::Options options;
    options.alternatives = chkAlternatives->isChecked();
    const QString encoding = cbEncoding->currentText().trimmed();
    if (cbEncoding->currentIndex() != 0 || encoding != cbEncoding->itemText(0))
        options.encoding = encoding;
    return options;
}

void dlgTriviaImport::loadTextFile(const QString& path)
{
    textFileName = QFileInfo(path).fileName();
    const std::unique_ptr<Import::RowSource> source =
        Import::openSource(path, Import::SourceKind::QuestionFile, QString(), textOptions());

    QStringList entries;
    QSet<QString> listed;
    QList<Import::Row> rows;
    QList<Import::Skip> skips;
    QString error;
    QElapsedTimer sinceEvents;
    sinceEvents.start();
    while (error.isEmpty() && source->next(ImportWindow::rowsAtATime, &rows, &skips)) {
        textSkipped.skip(skips);
        skips.clear();
        for (const Import::Row& row : std::as_const(rows)) {
            const QString entry = textEntry(row.category);
            if (!listed.contains(entry)) {
                listed.insert(entry);
                entries << entry;
            }
            textRows.append(row);
        }
        rows.clear();
        if (textRows.size() > maxFileRows)
            error = QStringLiteral("it holds more than %1 questions, more than this window takes; import it with "
                                   "quiznewt-import")
                        .arg(maxFileRows);
        // A large file takes a while: the window and the game go on meanwhile.
        if (sinceEvents.elapsed() >= ImportWindow::eventIntervalMs) {
            QCoreApplication::processEvents();
            sinceEvents.restart();
        }
    }
    if (error.isEmpty())
        error = source->error();
    textSkipped.ignored = source->ignored();
    if (!error.isEmpty()) {
        MessageBox::warning(this, QStringLiteral("Error"),
                            QStringLiteral("Unable to read the question file %1: %2").arg(textFileName, error));
        textRows.clear();
        textSkipped = Import::Report();
        return;
    }
    if (entries.isEmpty())
        entries << textFileName;
    lwSourceTables->addItems(entries);
}

void dlgTriviaImport::showTextRows(const QString& entry)
{
    twSourceContent->setSortingEnabled(false);
    QList<Import::Row> rows;
    for (qsizetype i = 0; i < textRows.size() && rows.size() <= maxViewRows; ++i) {
        Import::Row row = textRows.at(i);
        if (textEntry(row.category) == entry)
            rows.append(std::move(row));
    }
    if (rows.size() > maxViewRows) {
        MessageBox::warning(this, QStringLiteral("Error"),
                            QStringLiteral("\"%1\" holds more than %2 questions, more than this window shows; import "
                                           "%3 with quiznewt-import.")
                                .arg(entry)
                                .arg(maxViewRows)
                                .arg(textFileName));
        return;
    }
    QList<QTreeWidgetItem*> items;
    items.reserve(rows.size());
    for (const Import::Row& row : std::as_const(rows)) {
        auto* item = new QTreeWidgetItem(QStringList{row.question, row.answer});
        item->setData(0, Qt::UserRole, row.line);
        if (!row.accepted.isEmpty())
            item->setData(0, Qt::UserRole + 1, row.accepted);
        if (!row.note.isEmpty())
            item->setData(0, Qt::UserRole + 2, row.note);
        items << item;
    }
    textShown = entry;
    shownKind = Import::SourceKind::QuestionFile;
    shownFile = textFileName;
    twSourceContent->addTopLevelItems(items);
    showSourceCount();
}

// The lines of the file that could not be read, as far as they belong to the
// entry on view; those past the report's list count for every entry.
void dlgTriviaImport::addTextSkips(Import::Report* report) const
{
    for (const Import::Skip& skip : textSkipped.skipped) {
        if (skip.category.isEmpty() || textEntry(skip.category) == textShown)
            report->skip(skip);
    }
    report->skipUnlisted(textSkipped.unlisted);
    // The keys are counted for the whole file, not by category.
    if (lwSourceTables->count() == 1)
        report->ignored = textSkipped.ignored;
}
