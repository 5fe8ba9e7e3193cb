#include "importer/dlgtriviaimport.h"

#include <QApplication>
#include <QBrush>
#include <QDir>
#include <QElapsedTimer>
#include <QProgressDialog>
#include <QSqlError>
#include <QSqlQuery>
#include <QTreeWidgetItem>

#include <climits>

#include "app/messagebox.h"
#include "db/database.h"
#include "db/statements.h"
#include "importer/filedialog.h"

namespace {

const QString mdbConnection = QStringLiteral("MDB");
const QString fdbConnection = QStringLiteral("FDB");

const QString fdbCountSql = QStringLiteral(
    "SELECT COUNT(*) FROM content c INNER JOIN category_content cc ON c.contentID=cc.contentID "
    "INNER JOIN category cat ON cc.catID=cat.catID WHERE cat.catname='");
const QString fdbSelectSql = QStringLiteral(
    "SELECT c.question, c.answer FROM content c INNER JOIN category_content cc ON c.contentID=cc.contentID "
    "INNER JOIN category cat ON cc.catID=cat.catID WHERE cat.catName='");
const QString undoContentSql = QStringLiteral("DELETE FROM content WHERE contentID=:contentID");

// How long the window may go without handling events during a load or import.
const int eventIntervalMs = 25;

QTreeWidgetItem* makeRow(const SourceRow& row)
{
    return new QTreeWidgetItem(QStringList{row.question, row.answer});
}

// With sorting on, every single insertion would schedule a re-sort of the
// whole view; add the rows in one go and sort once.
void appendRows(QTreeWidget* tree, const QList<QTreeWidgetItem*>& items)
{
    const bool sorting = tree->isSortingEnabled();
    tree->setSortingEnabled(false);
    tree->addTopLevelItems(items);
    tree->setSortingEnabled(sorting);
}

class BusyScope
{
public:
    explicit BusyScope(bool& flag) : flag(flag) { flag = true; }
    ~BusyScope() { flag = false; }

private:
    bool& flag;
};

}

dlgTriviaImport::dlgTriviaImport(QWidget* parent)
    : QDialog(parent)
    , mdbDatabase(mdbConnection)
{
    setupUi(this);
    resize(size().expandedTo(minimumSizeHint()));
    setWindowFlags(Qt::Window);

    connect(lwSourceTables, &QListWidget::itemDoubleClicked, this, &dlgTriviaImport::sourceItemDoubleClicked);
    connect(lwDestTables, &QListWidget::itemDoubleClicked, this, &dlgTriviaImport::destItemDoubleClicked);
    connect(pbImportAll, &QPushButton::clicked, this, &dlgTriviaImport::importAll);
    connect(pbImportSelected, &QPushButton::clicked, this, &dlgTriviaImport::importSelected);
    connect(pbBrowse, &QPushButton::clicked, this, &dlgTriviaImport::fileBrowse);

    loadDestTables();
    twSourceContent->setColumnWidth(0, 400);
    twDestContent->setColumnWidth(0, 400);
    rbTriviaBot->setChecked(true);
}

dlgTriviaImport::~dlgTriviaImport()
{
    closeSources();
}

void dlgTriviaImport::setSourceFile(const QString& path)
{
    if (path.isEmpty())
        return;
    leFilename->setText(path);
    loadSourceTables(path);
}

QString dlgTriviaImport::sourceFile() const
{
    return leFilename->text();
}

void dlgTriviaImport::done(int result)
{
    // A load or an import would be cut off halfway, its source closed under it.
    if (busy) {
        QApplication::beep();
        return;
    }
    QDialog::done(result);
}

bool dlgTriviaImport::refuseWhileBusy()
{
    // Events are handled while a load or an import runs; a second one started
    // from there would pull the rows or the connection from under the first.
    if (!busy)
        return false;
    QApplication::beep();
    return true;
}

void dlgTriviaImport::closeSources()
{
    mdbDatabase.close();
    if (fdbDatabase.isValid())
        fdbDatabase.close();
    // The handle must go before the name, or Qt warns that it is still in use.
    fdbDatabase = QSqlDatabase();
    QSqlDatabase::removeDatabase(fdbConnection);
}

void dlgTriviaImport::fileBrowse()
{
    if (refuseWhileBusy())
        return;
    const bool triviaBot = rbTriviaBot->isChecked();
    const QString name = FileDialog::getOpenFileName(
        this,
        triviaBot ? QStringLiteral("Open MDB File") : QStringLiteral("Open QuizNewt File"),
        QDir::currentPath(),
        triviaBot ? QStringLiteral("MDB Files (*.mdb)") : QStringLiteral("FDB Files (*.fdb)"));
    if (name.isEmpty())
        return;
    leFilename->setText(name);
    loadSourceTables(name);
}

void dlgTriviaImport::loadSourceTables(QString path)
{
    if (refuseWhileBusy())
        return;
    BusyScope scope(busy);
    lwSourceTables->clear();

    if (rbTriviaBot->isChecked()) {
        const auto keepAlive = [](qint64, qint64) { QCoreApplication::processEvents(); };
        if (!mdbDatabase.open(path, keepAlive)) {
            MessageBox::information(this, QStringLiteral("Info"),
                                    QStringLiteral("Unable to open QuizNewt ODBC database"));
            return;
        }
        lwSourceTables->addItems(mdbDatabase.tables());
        return;
    }

    // Opening a source of the same kind replaces the one before.
    if (fdbDatabase.isValid())
        fdbDatabase.close();
    fdbDatabase = QSqlDatabase();
    QSqlDatabase::removeDatabase(fdbConnection);
    QString error;
    fdbDatabase = Database::open(path, fdbConnection, &error);
    if (!fdbDatabase.isOpen()) {
        MessageBox::information(this, QStringLiteral("Info"), QStringLiteral("Unable to open QuizNewt FDB database"));
        return;
    }
    QSqlQuery query(fdbDatabase);
    if (!query.exec(Statements::listCategories))
        return;
    while (query.next())
        lwSourceTables->addItem(query.value(0).toString());
}

bool dlgTriviaImport::readFdbRows(const QString& category, QList<SourceRow>* rows, QString* error,
                                  const MdbSource::Progress& progress)
{
    if (!fdbDatabase.isOpen()) {
        *error = QStringLiteral("No QuizNewt file is open; choose one with Browse.");
        return false;
    }
    qint64 total = 0;
    {
        QSqlQuery count(fdbDatabase);
        if (count.exec(fdbCountSql + Statements::quoted(category) + QLatin1Char('\'')) && count.next())
            total = count.value(0).toLongLong();
    }
    progress(0, total);

    QSqlQuery select(fdbDatabase);
    select.setForwardOnly(true);
    if (!select.exec(fdbSelectSql + Statements::quoted(category) + QLatin1Char('\''))) {
        *error = select.lastError().databaseText();
        return false;
    }
    QElapsedTimer sinceEvents;
    sinceEvents.start();
    while (select.next()) {
        rows->append({select.value(0).toString(), select.value(1).toString()});
        if (sinceEvents.elapsed() >= eventIntervalMs) {
            progress(rows->size(), total);
            sinceEvents.restart();
        }
    }
    if (select.lastError().isValid()) {
        *error = select.lastError().databaseText();
        rows->clear();
        return false;
    }
    return true;
}

void dlgTriviaImport::sourceItemDoubleClicked(QListWidgetItem* item)
{
    if (!item || refuseWhileBusy())
        return;
    BusyScope scope(busy);
    const QString name = item->text();
    twSourceContent->clear();
    const bool triviaBot = rbTriviaBot->isChecked();

    // Cancel is offered but the load always runs to the end.
    QProgressDialog progress(QStringLiteral("Loading Content..."), QStringLiteral("Cancel"), 0, 0, this);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(1000);
    progress.setAutoReset(false);
    progress.setAutoClose(false);
    const auto report = [&progress](qint64 received, qint64 total) {
        const int maximum = int(qMin<qint64>(total, INT_MAX));
        if (progress.maximum() != maximum)
            progress.setMaximum(maximum);
        progress.setValue(int(qMin<qint64>(received, maximum)));
        QCoreApplication::processEvents();
    };

    QList<SourceRow> rows;
    QString error;
    bool ok;
    if (triviaBot) {
        ok = mdbDatabase.readTable(name, &rows, report);
        error = mdbDatabase.lastError();
    } else {
        ok = readFdbRows(name, &rows, &error, report);
    }
    if (!ok) {
        progress.close();
        MessageBox::warning(this, QStringLiteral("Error"),
                            (triviaBot ? QStringLiteral("MDB Error: ") : QStringLiteral("FDB Error: ")) + error);
        return;
    }

    QList<QTreeWidgetItem*> items;
    items.reserve(rows.size());
    for (const SourceRow& row : rows)
        items << makeRow(row);
    appendRows(twSourceContent, items);
    progress.setValue(progress.maximum());
}

void dlgTriviaImport::loadDestTables()
{
    QSqlQuery query{QSqlDatabase::database()};
    if (!query.exec(Statements::listCategories))
        return;
    while (query.next())
        lwDestTables->addItem(query.value(0).toString());
}

void dlgTriviaImport::destItemDoubleClicked(QListWidgetItem* item)
{
    if (!item || refuseWhileBusy())
        return;
    twDestContent->clear();
    QSqlQuery query{QSqlDatabase::database()};
    query.setForwardOnly(true);
    query.prepare(Statements::listContent);
    query.bindValue(QStringLiteral(":catName"), item->text());
    if (!query.exec())
        return;
    QList<QTreeWidgetItem*> items;
    while (query.next())
        items << makeRow({query.value(0).toString(), query.value(1).toString()});
    appendRows(twDestContent, items);
}

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
    rows.reserve(count);
    for (int i = 0; i < count; ++i) {
        const QTreeWidgetItem* item = twSourceContent->topLevelItem(i);
        rows.append({item->text(0), item->text(1)});
    }
    importRows(rows);
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
    rows.reserve(selected.size());
    for (const QTreeWidgetItem* item : selected)
        rows.append({item->text(0), item->text(1)});
    importRows(rows);
}

void dlgTriviaImport::importRows(const QList<SourceRow>& rows)
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
        if (lookup.exec(Statements::findCategoryPrefix + Statements::quoted(name) + QLatin1Char('\'')) && lookup.next())
            catId = lookup.value(0).toLongLong();
    }
    if (catId < 0) {
        MessageBox::warning(this, QStringLiteral("Error"),
                            QStringLiteral("The category \"%1\" is not in the QuizNewt database; nothing was imported.\n")
                                .arg(name));
        return;
    }

    BusyScope scope(busy);
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
        QSqlQuery insert(db);
        QSqlQuery link(db);
        QSqlQuery undo(db);
        if (!insert.prepare(Statements::addContent))
            failure = insert.lastError().databaseText();
        else if (!link.prepare(Statements::addLink))
            failure = link.lastError().databaseText();
        else if (!undo.prepare(undoContentSql))
            failure = undo.lastError().databaseText();

        const int end = qMin(*next + importBatchSize, int(rows.size()));
        QElapsedTimer elapsed;
        elapsed.start();
        while (failure.isEmpty() && *next < end && elapsed.elapsed() < eventIntervalMs) {
            const SourceRow& row = rows.at(*next);
            ++*next;
            progressBar->setValue(*next);
            insert.bindValue(QStringLiteral(":question"), row.question);
            insert.bindValue(QStringLiteral(":answer"), row.answer);
            // A refused row (too long, say) is skipped; Firebird undoes the
            // failed statement alone and the transaction goes on.
            if (!insert.exec())
                continue;
            if (!insert.next()) {
                failure = insert.lastError().databaseText();
                break;
            }
            const qint64 contentId = insert.value(0).toLongLong();
            link.bindValue(QStringLiteral(":catID"), catId);
            link.bindValue(QStringLiteral(":contentID"), contentId);
            if (link.exec()) {
                QTreeWidgetItem* item = makeRow(row);
                item->setBackground(0, QBrush(Qt::green));
                item->setBackground(1, QBrush(Qt::green));
                stored << item;
                continue;
            }
            undo.bindValue(QStringLiteral(":contentID"), contentId);
            if (!undo.exec())
                failure = undo.lastError().databaseText();
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

void dlgTriviaImport::on_pbClose_clicked()
{
    if (busy)
        return;
    closeSources();
    accept();
}
