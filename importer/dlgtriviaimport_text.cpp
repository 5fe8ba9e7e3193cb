// The importer window's third kind of source: a question file. It is read
// when opened; its rows are shown in file order, under the file's categories
// or, without any, under the file's name, and checked when imported.

#include "importer/dlgtriviaimport.h"

#include <QFileInfo>
#include <QSet>

#include "gui/messagebox.h"
#include "importer/rowsource.h"

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
    textRows.clear();
    textSkipped.clear();
    const std::unique_ptr<Import::RowSource> source =
        Import::openSource(path, Import::SourceKind::QuestionFile, QString());
    if (!Import::readAll(*source, &textRows, &textSkipped)) {
        MessageBox::warning(this, QStringLiteral("Error"),
                            QStringLiteral("Unable to read the question file %1: %2").arg(textFileName, source->error()));
        textRows.clear();
        textSkipped.clear();
        return;
    }

    QStringList entries;
    QSet<QString> listed;
    for (const Import::Row& row : std::as_const(textRows)) {
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
    for (const Import::Row& row : std::as_const(textRows)) {
        if (textEntry(row.category) != entry)
            continue;
        auto* item = new QTreeWidgetItem(QStringList{row.question, row.answer});
        item->setData(0, Qt::UserRole, row.line);
        if (!row.leftOut.isEmpty())
            item->setData(0, Qt::UserRole + 1, row.leftOut);
        items << item;
    }
    twSourceContent->addTopLevelItems(items);
    textShown = entry;
    shownKind = Import::SourceKind::QuestionFile;
    shownFile = textFileName;
}

// The lines of the file that could not be read, as far as they belong to the
// entry on view.
QList<Import::Skip> dlgTriviaImport::textSkips() const
{
    QList<Import::Skip> skips;
    for (const Import::Skip& skip : textSkipped) {
        if (skip.category.isEmpty() || textEntry(skip.category) == textShown)
            skips << skip;
    }
    return skips;
}
