// The importer window's import: the source view's rows into the chosen
// category, in batches, with the progress bar.

#include "importer/dlgtriviaimport.h"

#include <QBrush>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSqlError>
#include <QSqlQuery>

#include "db/contentstore.h"
#include "db/questionwriter.h"
#include "gui/messagebox.h"
#include "importer/dlgtriviaimport_p.h"

using namespace ImportWindow;

void dlgTriviaImport::importAll()
{
    if (refuseWhileBusy())
        return;
    const int count = twSourceContent->topLevelItemCount();
    if (count == 0) {
        MessageBox::information(this, QStringLiteral("No Content"),
                                QStringLiteral("Please double-click a source category to load importable content.\n"));
        return;
    }
    QList<SourceRow> rows;
    QList<int> lines;
    rows.reserve(count);
    for (int i = 0; i < count; ++i) {
        const QTreeWidgetItem* item = twSourceContent->topLevelItem(i);
        rows.append({item->text(0), item->text(1)});
        lines.append(item->data(0, Qt::UserRole).toInt());
    }
    importRows(rows, lines);
}

void dlgTriviaImport::importSelected()
{
    if (refuseWhileBusy())
        return;
    if (twSourceContent->topLevelItemCount() == 0) {
        MessageBox::information(this, QStringLiteral("No Content"),
                                QStringLiteral("Please double-click a source category to load importable content.\n"));
        return;
    }
    const QList<QTreeWidgetItem*> selected = twSourceContent->selectedItems();
    if (selected.isEmpty()) {
        MessageBox::information(
            this, QStringLiteral("No Content"),
            QStringLiteral("Please select the content items you wish to import by ctrl-clicking them.\n"));
        return;
    }
    QList<SourceRow> rows;
    QList<int> lines;
    rows.reserve(selected.size());
    for (const QTreeWidgetItem* item : selected) {
        rows.append({item->text(0), item->text(1)});
        lines.append(item->data(0, Qt::UserRole).toInt());
    }
    importRows(rows, lines);
}

void dlgTriviaImport::importRows(QList<SourceRow> rows, QList<int> lines)
{
    const QListWidgetItem* destination = lwDestTables->currentItem();
    if (!destination) {
        MessageBox::information(
            this, QStringLiteral("Info"),
            QStringLiteral("Please click the QuizNewt category to import into in the list below, then import again.\n"));
        return;
    }
    const QString name = destination->text();
    QSqlDatabase db = QSqlDatabase::database();
    qint64 catId = -1;
    bool found = false;
    {
        QSqlQuery lookup(db);
        found = ContentStore(lookup).findCategory(name, &catId) == ContentStore::Lookup::Found;
    }
    if (!found) {
        MessageBox::warning(this, QStringLiteral("Error"),
                            QStringLiteral("The category \"%1\" is not in the QuizNewt database; nothing was imported.\n")
                                .arg(name));
        return;
    }

    // A file's rows are checked against the category before any is stored.
    QList<QuestionFile::Skip> skipped;
    if (!textShown.isEmpty() && !dropStoredTextRows(db, name, &rows, &lines, &skipped))
        return;

    BusyScope scope(busy);
    refusedRows.clear();
    twDestContent->clear();
    // The bar counts against every source row, also for a selection.
    const int sourceCount = twSourceContent->topLevelItemCount();
    progressBar->setMinimum(0);
    progressBar->setMaximum(sourceCount);

    // Sorted once at the end rather than after every batch.
    const bool sorting = twDestContent->isSortingEnabled();
    twDestContent->setSortingEnabled(false);
    QString failure;
    int next = 0;
    while (next < rows.size() && failure.isEmpty()) {
        failure = storeBatch(db, catId, rows, &next);
        // Only between batches: a statement of the game run from here would
        // otherwise join the open transaction.
        QCoreApplication::processEvents();
    }
    twDestContent->setSortingEnabled(sorting);
    if (!failure.isEmpty()) {
        MessageBox::warning(this, QStringLiteral("Error"),
                            QStringLiteral("The import stopped; the questions shown in green were stored.\n")
                                + failure);
        return;
    }
    progressBar->setValue(sourceCount);
    if (!textShown.isEmpty()) {
        for (const auto& [index, reason] : std::as_const(refusedRows))
            skipped.append({lines.at(index), QStringLiteral("refused by the database: ") + reason, QString()});
        reportTextImport(int(rows.size() - refusedRows.size()), lines, skipped);
        return;
    }
    MessageBox::information(this, QStringLiteral("Import Done"), QStringLiteral("Content import was successful!"));
}

// Stores rows from *next on in one transaction, until the batch is full or it
// is time to handle events again, and shows them. A question is stored with
// its link or not at all. Returns why the batch failed, or an empty string.
QString dlgTriviaImport::storeBatch(QSqlDatabase db, qint64 catId, const QList<SourceRow>& rows, int* next)
{
    if (!db.transaction())
        return db.lastError().text();
    QList<QTreeWidgetItem*> stored;
    QString failure;
    {
        // Prepared inside the transaction, so made afresh for each one.
        QuestionWriter writer(db);
        if (writer.prepareError().isValid())
            failure = writer.prepareError().databaseText();

        const int end = qMin(*next + importBatchSize, int(rows.size()));
        QElapsedTimer elapsed;
        elapsed.start();
        while (failure.isEmpty() && *next < end && elapsed.elapsed() < eventIntervalMs) {
            const SourceRow& row = rows.at(*next);
            ++*next;
            progressBar->setValue(*next);
            const QuestionWriter::Result result = writer.add(catId, row.question, row.answer);
            // A refused row (too long, say) is skipped and the transaction
            // goes on.
            if (result.outcome == QuestionWriter::Outcome::Refused) {
                refusedRows.append({*next - 1, result.error.databaseText()});
                continue;
            }
            if (result.outcome == QuestionWriter::Outcome::Failed) {
                failure = result.error.databaseText();
                break;
            }
            QTreeWidgetItem* item = makeRow(row);
            item->setBackground(0, QBrush(Qt::green));
            item->setBackground(1, QBrush(Qt::green));
            stored << item;
        }
    }
    if (failure.isEmpty() && db.commit()) {
        twDestContent->addTopLevelItems(stored);
        return {};
    }
    if (failure.isEmpty())
        failure = db.lastError().text();
    db.rollback();
    qDeleteAll(stored);
    return failure;
}
