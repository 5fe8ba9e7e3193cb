#ifndef DLGTRIVIAIMPORT_H
#define DLGTRIVIAIMPORT_H

#include <QDialog>
#include <QList>
#include <QSqlDatabase>
#include <QString>

#include "importer/mdbsource.h"
#include "importer/questionfile.h"
#include "ui_dlgtriviaimport.h"

class QListWidgetItem;
class QTreeWidget;

// The content importer: opens a TriviaBot Access file, another QuizNewt
// database or a question file, shows one of its categories and copies its
// questions into a category of the program's own database. Built for one modal run by the
// question editor and deleted after it.
class dlgTriviaImport : public QDialog, public Ui::dlgTriviaImport
{
    Q_OBJECT

public:
    explicit dlgTriviaImport(QWidget* parent);
    ~dlgTriviaImport() override;

    // Selects the kind of source that path is, by its first bytes or else its
    // extension, and opens it; empty does nothing.
    void setSourceFile(const QString& path);
    QString sourceFile() const;

    // True while a load or an import runs; the window refuses other work and
    // will not close until it ends.
    bool isBusy() const { return busy; }

    // Rows stored per transaction: a crash loses at most the batch in flight.
    static constexpr int importBatchSize = 250;

    // Refuses to close while busy; every way of closing (Close, the frame,
    // Escape) comes through here.
    void done(int result) override;

private Q_SLOTS:
    void destItemDoubleClicked(QListWidgetItem* item);
    void fileBrowse();
    void importAll();
    void importSelected();
    void loadDestTables();
    void loadSourceTables(QString path);
    void sourceItemDoubleClicked(QListWidgetItem* item);
    void on_pbClose_clicked();

private:
    bool refuseWhileBusy();
    bool readFdbRows(const QString& category, QList<SourceRow>* rows, QString* error,
                     const MdbSource::Progress& progress);
    void importRows(QList<SourceRow> rows, QList<int> lines);
    QString storeBatch(QSqlDatabase db, qint64 catId, const QList<SourceRow>& rows, int* next);
    void closeSources();

    // The question file source (dlgtriviaimport_text.cpp). Rows of the file
    // carry their line numbers in the view (Qt::UserRole of column 0).
    void loadTextFile(const QString& path);
    void showTextRows(const QString& entry);
    QString textEntry(const QString& category) const;
    bool dropStoredTextRows(QSqlDatabase db, const QString& category, QList<SourceRow>* rows, QList<int>* lines,
                            QList<QuestionFile::Skip>* skipped);
    void reportTextImport(int imported, const QList<int>& lines, QList<QuestionFile::Skip> skipped);

    MdbSource mdbDatabase;
    QSqlDatabase fdbDatabase;
    bool busy = false;
    QuestionFile::Contents textFile;
    QString textFileName;
    // The source list entry whose file rows are in the source view, or empty.
    QString textShown;
    // Rows of the last import the database turned down: index and reason.
    QList<QPair<int, QString>> refusedRows;
};

#endif
