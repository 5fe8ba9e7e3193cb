#include "importer/dlgtriviaimport.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProgressDialog>
#include <QSqlError>
#include <QSqlQuery>
#include <QTreeWidgetItem>

#include <climits>

#include "db/contentstore.h"
#include "db/database.h"
#include "gui/controlcolours.h"
#include "gui/filedialog.h"
#include "gui/messagebox.h"
#include "importer/dlgtriviaimport_p.h"
#include "importer/regularfile.h"
#include "importer/rowsource.h"

using namespace ImportWindow;

namespace {

const QString mdbConnection = QStringLiteral("MDB");
const QString fdbConnection = QStringLiteral("FDB");

// The detail of an open that failed: which file, and what the reader or the
// engine said.
QString openFailure(const QString& path, const QString& reason)
{
    return QDir::toNativeSeparators(path) + QStringLiteral(": ") + reason;
}

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
    connect(pbCancel, &QPushButton::clicked, this, &dlgTriviaImport::cancelImport);
    connect(chkAlternatives, &QCheckBox::toggled, this, &dlgTriviaImport::textOptionsChanged);
    connect(cbEncoding, &QComboBox::activated, this, &dlgTriviaImport::textOptionsChanged);
    // However the source view's rows come and go, its count follows.
    const QAbstractItemModel* sourceModel = twSourceContent->model();
    connect(sourceModel, &QAbstractItemModel::rowsInserted, this, &dlgTriviaImport::showSourceCount);
    connect(sourceModel, &QAbstractItemModel::rowsRemoved, this, &dlgTriviaImport::showSourceCount);
    connect(sourceModel, &QAbstractItemModel::modelReset, this, &dlgTriviaImport::showSourceCount);
    connect(twSourceContent, &QTreeWidget::itemSelectionChanged, this, &dlgTriviaImport::showSourceCount);

    loadDestTables();
    twSourceContent->setColumnWidth(0, 400);
    twDestContent->setColumnWidth(0, 400);
    // A sorted view starts with the header's indicator, which points down.
    twSourceContent->sortByColumn(0, Qt::AscendingOrder);
    twDestContent->sortByColumn(0, Qt::AscendingOrder);
    keepArrowsVisible(this);
    rbTriviaBot->setChecked(true);
}

dlgTriviaImport::~dlgTriviaImport()
{
    // The source view's model announces its end, when the base's destructor
    // deletes it, to showSourceCount of a window whose members are gone.
    disconnect(twSourceContent->model(), nullptr, this, nullptr);
    disconnect(twSourceContent, nullptr, this, nullptr);
    closeSources();
}

void dlgTriviaImport::setSourceFile(const QString& path)
{
    if (path.isEmpty())
        return;
    // The file the editor remembers may be of any kind; it is opened as what
    // it is, not as whichever kind happens to be selected.
    switch (Import::kindOf(path)) {
    case Import::SourceKind::TriviaBot:
        rbTriviaBot->setChecked(true);
        break;
    case Import::SourceKind::QuizNewt:
        rbQuizNewt->setChecked(true);
        break;
    case Import::SourceKind::QuestionFile:
        rbTextFile->setChecked(true);
        break;
    }
    leFilename->setText(path);
    loadSourceTables(path);
}

// A question file on the list is read again the new way.
void dlgTriviaImport::textOptionsChanged()
{
    if (busy || listedKind != Import::SourceKind::QuestionFile || !rbTextFile->isChecked()
        || leFilename->text().isEmpty() || lwSourceTables->count() == 0)
        return;
    loadSourceTables(leFilename->text());
}

QString dlgTriviaImport::sourceFile() const
{
    return leFilename->text();
}

void dlgTriviaImport::done(int result)
{
    if (!busy) {
        QDialog::done(result);
        return;
    }
    // Closing now would cut a load or an import off halfway, its source
    // closed under it. An import stops after the batch in flight, which is
    // stored whole; a load cannot be stopped and ends first.
    if (closeWhenIdle)
        return;
    if (running) {
        const QString text = QStringLiteral("An import is running. Stop it and close the window?\n"
                                            "The questions stored so far stay; the report says how many.");
        if (MessageBox::question(this, QStringLiteral("Import Running"), text) != QMessageBox::Yes)
            return;
        cancelImport();
    }
    closeWhenIdle = true;
    closeResult = result;
}

void dlgTriviaImport::workEnded()
{
    if (!closeWhenIdle)
        return;
    closeWhenIdle = false;
    done(closeResult);
}

void dlgTriviaImport::cancelImport()
{
    if (running)
        running->stop();
    pbCancel->setEnabled(false);
}

void dlgTriviaImport::showSourceCount()
{
    const int count = twSourceContent->topLevelItemCount();
    QString text;
    if (count > 0 || !shownFile.isEmpty())
        text = questions(count);
    const qsizetype selected = count > 0 ? twSourceContent->selectionModel()->selectedRows().size() : 0;
    if (selected > 0)
        text += QStringLiteral(", %1 selected").arg(selected);
    lblSourceCount->setText(text);
}

void dlgTriviaImport::clearSourceRows()
{
    textShown.clear();
    shownFile.clear();
    twSourceContent->clear();
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
    const QString name = rbTextFile->isChecked()
        ? FileDialog::getOpenFileName(this, QStringLiteral("Open Question File"), QDir::currentPath(),
                                      QStringLiteral("Question Files (*.txt *.tsv *.csv *.yaml *.yml);;All Files (*)"))
        : FileDialog::getOpenFileName(
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
    BusyScope scope(busy, [this] { workEnded(); });
    lwSourceTables->clear();
    // Rows on view are only ever those of a category in the list: an import
    // must never copy rows of a source that is no longer shown.
    clearSourceRows();
    textRows.clear();
    textSkipped = Import::Report();
    if (rbTextFile->isChecked()) {
        listedKind = Import::SourceKind::QuestionFile;
        loadTextFile(path);
        return;
    }

    if (rbTriviaBot->isChecked()) {
        listedKind = Import::SourceKind::TriviaBot;
        const auto keepAlive = [](qint64, qint64) { QCoreApplication::processEvents(); };
        if (!mdbDatabase.open(path, keepAlive)) {
            MessageBox::report(this, QStringLiteral("Info"), QStringLiteral("Unable to open QuizNewt ODBC database"),
                               openFailure(path, mdbDatabase.lastError()));
            return;
        }
        lwSourceTables->addItems(mdbDatabase.tables());
        return;
    }

    listedKind = Import::SourceKind::QuizNewt;
    // Opening a source of the same kind replaces the one before.
    if (fdbDatabase.isValid())
        fdbDatabase.close();
    fdbDatabase = QSqlDatabase();
    QSqlDatabase::removeDatabase(fdbConnection);
    // The engine would wait on a FIFO for ever, and the game with it.
    QString error = RegularFile::problem(path);
    if (error.isEmpty())
        fdbDatabase = Database::open(path, fdbConnection, &error);
    if (!fdbDatabase.isOpen()) {
        MessageBox::report(this, QStringLiteral("Info"), QStringLiteral("Unable to open QuizNewt FDB database"),
                           openFailure(path, error));
        return;
    }
    QSqlQuery query(fdbDatabase);
    QStringList names;
    if (!ContentStore(query).listCategories(&names))
        return;
    for (const QString& name : names)
        lwSourceTables->addItem(name);
}

bool dlgTriviaImport::readFdbRows(const QString& category, QList<SourceRow>* rows, QSqlError* error,
                                  const MdbSource::Progress& progress)
{
    if (!fdbDatabase.isOpen()) {
        *error = QSqlError(QString(), QStringLiteral("No QuizNewt file is open; choose one with Browse."));
        return false;
    }
    qint64 total = 0;
    {
        QSqlQuery count(fdbDatabase);
        total = ContentStore(count).sourceCount(category);
    }
    progress(0, total);

    QSqlQuery select(fdbDatabase);
    select.setForwardOnly(true);
    QElapsedTimer sinceEvents;
    sinceEvents.start();
    const auto addRow = [&](const QString& question, const QString& answer) {
        rows->append({question, answer});
        if (sinceEvents.elapsed() >= eventIntervalMs) {
            progress(rows->size(), total);
            sinceEvents.restart();
        }
    };
    if (!ContentStore(select).listSourceContent(category, addRow)) {
        *error = select.lastError();
        rows->clear();
        return false;
    }
    return true;
}

void dlgTriviaImport::sourceItemDoubleClicked(QListWidgetItem* item)
{
    if (!item || refuseWhileBusy())
        return;
    BusyScope scope(busy, [this] { workEnded(); });
    const QString name = item->text();
    clearSourceRows();
    // The kind of the listed source, whatever the radio buttons say now.
    if (listedKind == Import::SourceKind::QuestionFile) {
        showTextRows(name);
        return;
    }
    twSourceContent->setSortingEnabled(true);
    const bool triviaBot = listedKind == Import::SourceKind::TriviaBot;

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
    if (triviaBot && !mdbDatabase.readTable(name, &rows, report)) {
        progress.close();
        MessageBox::warning(this, QStringLiteral("Error"), QStringLiteral("MDB Error: ") + mdbDatabase.lastError());
        return;
    }
    QSqlError error;
    if (!triviaBot && !readFdbRows(name, &rows, &error, report)) {
        progress.close();
        warnEngineError(this, QStringLiteral("FDB Error: "), error);
        return;
    }

    QList<QTreeWidgetItem*> items;
    items.reserve(rows.size());
    for (const SourceRow& row : rows)
        items << makeRow(row, int(items.size()) + 1);
    shownKind = listedKind;
    shownFile = QFileInfo(triviaBot ? mdbDatabase.filePath() : fdbDatabase.databaseName()).fileName();
    appendRows(twSourceContent, items);
    showSourceCount();
    progress.setValue(progress.maximum());
}

void dlgTriviaImport::loadDestTables()
{
    QSqlQuery query{QSqlDatabase::database()};
    QStringList names;
    if (!ContentStore(query).listCategories(&names))
        return;
    for (const QString& name : names)
        lwDestTables->addItem(name);
}

void dlgTriviaImport::destItemDoubleClicked(QListWidgetItem* item)
{
    if (!item || refuseWhileBusy())
        return;
    twDestContent->clear();
    QSqlQuery query{QSqlDatabase::database()};
    query.setForwardOnly(true);
    QList<QTreeWidgetItem*> items;
    const auto addRow = [&items](const QString& question, const QString& answer) {
        items << makeRow({question, answer}, 0);
    };
    if (!ContentStore(query).listContent(item->text(), addRow)) {
        lblDestCount->clear();
        return;
    }
    appendRows(twDestContent, items);
    lblDestCount->setText(questions(items.size()) + QStringLiteral(" in \"%1\"").arg(item->text()));
}

void dlgTriviaImport::on_pbClose_clicked()
{
    if (busy)
        return;
    closeSources();
    accept();
}
