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
    BusyScope scope(busy);
    lwSourceTables->clear();
    if (rbTextFile->isChecked()) {
        loadTextFile(path);
        return;
    }

    if (rbTriviaBot->isChecked()) {
        const auto keepAlive = [](qint64, qint64) { QCoreApplication::processEvents(); };
        if (!mdbDatabase.open(path, keepAlive)) {
            MessageBox::report(this, QStringLiteral("Info"), QStringLiteral("Unable to open QuizNewt ODBC database"),
                               openFailure(path, mdbDatabase.lastError()));
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
    textShown.clear();
    if (rbTextFile->isChecked()) {
        showTextRows(name);
        return;
    }
    twSourceContent->setSortingEnabled(true);
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
        items << makeRow(row, int(items.size()) + 1);
    appendRows(twSourceContent, items);
    shownKind = triviaBot ? Import::SourceKind::TriviaBot : Import::SourceKind::QuizNewt;
    shownFile = QFileInfo(triviaBot ? mdbDatabase.filePath() : fdbDatabase.databaseName()).fileName();
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
    if (!ContentStore(query).listContent(item->text(), addRow))
        return;
    appendRows(twDestContent, items);
}

void dlgTriviaImport::on_pbClose_clicked()
{
    if (busy)
        return;
    closeSources();
    accept();
}
