// The importer window's import: the source view's rows through the import
// pipeline into the chosen category, with the progress bar.

#include "importer/dlgtriviaimport.h"

#include <QBrush>
#include <QCoreApplication>
#include <QSqlError>
#include <QSqlQuery>

#include "db/contentstore.h"
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
    QList<QTreeWidgetItem*> items;
    items.reserve(count);
    for (int i = 0; i < count; ++i)
        items << twSourceContent->topLevelItem(i);
    importItems(items);
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
    importItems(selected);
}

void dlgTriviaImport::importItems(const QList<QTreeWidgetItem*>& items)
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
    {
        QSqlQuery lookup(db);
        switch (ContentStore(lookup).findCategory(name, &catId)) {
        case ContentStore::Lookup::Found:
            break;
        case ContentStore::Lookup::Missing:
            MessageBox::warning(
                this, QStringLiteral("Error"),
                QStringLiteral("The category \"%1\" is not in the QuizNewt database; nothing was imported.\n").arg(name));
            return;
        case ContentStore::Lookup::Failed:
            warnEngineError(this, QStringLiteral("Nothing was imported. "), lookup.lastError());
            return;
        }
    }

    // Copies from the database kinds are all stored, as a copy of a category
    // is expected to be; a file's repeats are its author's slips.
    const bool textFile = shownKind == Import::SourceKind::QuestionFile;
    Import::Pipeline pipeline(db, textFile ? Import::Pipeline::Duplicates::Skip : Import::Pipeline::Duplicates::Keep);
    Import::Report report;
    report.source = shownFile;
    report.kind = shownKind;
    pipeline.intoCategory(name, catId);

    if (!pipeline.begin()) {
        warnEngineError(this, QStringLiteral("Nothing was imported. "), pipeline.engineError());
        return;
    }

    BusyScope scope(busy, [this] { workEnded(); });
    running = &pipeline;
    pbCancel->setEnabled(true);
    twDestContent->clear();
    const QString into = QStringLiteral(" into \"%1\"").arg(name);
    lblDestCount->setText(QStringLiteral("0 imported") + into);
    // The bar counts against every source row, also for a selection.
    const int sourceCount = twSourceContent->topLevelItemCount();
    progressBar->setMinimum(0);
    progressBar->setMaximum(sourceCount);

    // The rows of the view are taken, checked and stored a batch at a time:
    // a long import shows progress from the start, and neither the rows nor
    // the plan are ever held whole.
    const qsizetype batch = Import::windowBatches.maxRows;
    QList<Import::Planned> planned;
    qsizetype next = 0;
    // Planned rows already stored and let go, for the bar.
    qsizetype dropped = 0;

    Import::StoreHooks hooks;
    hooks.beforeRow = [&](qsizetype done) { progressBar->setValue(int(dropped + done) + 1); };
    hooks.committed = [&](const QList<Import::Row>& stored) {
        QList<QTreeWidgetItem*> shown;
        shown.reserve(stored.size());
        for (const Import::Row& row : stored) {
            QTreeWidgetItem* item = makeRow({row.question, row.answer}, 0);
            item->setBackground(0, QBrush(Qt::green));
            item->setBackground(1, QBrush(Qt::green));
            shown << item;
        }
        twDestContent->addTopLevelItems(shown);
        lblDestCount->setText(QString::number(report.imported) + QStringLiteral(" imported") + into);
    };

    // Sorted once at the end rather than after every batch.
    const bool sorting = twDestContent->isSortingEnabled();
    twDestContent->setSortingEnabled(false);
    bool stored = true;
    qsizetype from = 0;
    // Cancel and Close are seen between batches, and a stop comes only there.
    while (stored && !pipeline.isStopped() && (from < items.size() || next < planned.size())) {
        if (next == planned.size()) {
            dropped += planned.size();
            planned.clear();
            next = 0;
        }
        for (; stored && from < items.size() && planned.size() - next < batch; from += batch) {
            QList<Import::Row> rows;
            const qsizetype end = qMin(items.size(), from + batch);
            rows.reserve(end - from);
            for (qsizetype i = from; i < end; ++i) {
                const QTreeWidgetItem* item = items.at(i);
                rows.append({item->data(0, Qt::UserRole).toInt(), QString(), item->text(0), item->text(1),
                             item->data(0, Qt::UserRole + 1).toStringList(),
                             item->data(0, Qt::UserRole + 2).toString()});
            }
            stored = pipeline.plan(std::move(rows), &report, &planned);
        }
        if (stored && next < planned.size())
            stored = pipeline.storeBatch(planned, &next, &report, Import::windowBatches, hooks);
        // Only between batches: a statement of the game run from here would
        // otherwise join the open transaction.
        QCoreApplication::processEvents();
    }
    running = nullptr;
    pbCancel->setEnabled(false);
    twDestContent->setSortingEnabled(sorting);
    if (!stored) {
        warnEngineError(this,
                        QStringLiteral("The import stopped after storing %1, shown in green. ")
                            .arg(questions(report.imported)),
                        pipeline.engineError().isValid() ? pipeline.engineError() : QSqlError(pipeline.error()));
        return;
    }
    // The rows never planned, and those planned but not stored.
    const qsizetype left = qMax<qsizetype>(0, items.size() - from) + planned.size() - next;
    if (left > 0) {
        report.cancel(int(left));
        lblDestCount->setText(lblDestCount->text() + QStringLiteral("; cancelled"));
    } else {
        progressBar->setValue(sourceCount);
    }
    if (textFile)
        addTextSkips(&report);
    MessageBox::report(this, QStringLiteral("Import Done"), report.summary(), report.details().join(QLatin1Char('\n')));
}
