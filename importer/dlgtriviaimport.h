#ifndef DLGTRIVIAIMPORT_H
#define DLGTRIVIAIMPORT_H

#include <QDialog>
#include <QList>
#include <QSqlDatabase>
#include <QSqlError>
#include <QString>

#include "importer/importpipeline.h"
#include "importer/mdbsource.h"
#include "importer/packedrows.h"
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

    // True while a load or an import runs; the window refuses other work
    // meanwhile.
    bool isBusy() const { return busy; }

    // Every way of closing (Close, the frame, Escape) comes through here.
    // While an import runs it asks whether to stop it; the window closes
    // once the import, or a load, has ended.
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
    void cancelImport();
    void showSourceCount();
    void textOptionsChanged();

private:
    bool refuseWhileBusy();
    // After a load or an import: the close asked for meanwhile, if any.
    void workEnded();
    bool readFdbRows(const QString& category, QList<SourceRow>* rows, QSqlError* error,
                     const MdbSource::Progress& progress);
    // Empties the source view and forgets where its rows came from.
    void clearSourceRows();
    void importItems(const QList<QTreeWidgetItem*>& items);
    void closeSources();

    // The question file source (dlgtriviaimport_text.cpp). Every row of the
    // source view carries its line (Qt::UserRole of column 0); a file's rows
    // also their further answers (Qt::UserRole + 1) and the reader's note
    // (Qt::UserRole + 2). The file is read a
    // part at a time, the window and the game going on meanwhile.
    void loadTextFile(const QString& path);
    // How the check box and the encoding box say to read a question file.
    QuestionFile::Options textOptions() const;
    void showTextRows(const QString& entry);
    QString textEntry(const QString& category) const;
    void addTextSkips(Import::Report* report) const;

    MdbSource mdbDatabase;
    QSqlDatabase fdbDatabase;
    bool busy = false;
    // The import that runs, for Cancel and Close.
    Import::Pipeline* running = nullptr;
    bool closeWhenIdle = false;
    int closeResult = Rejected;
    QuestionFile::PackedRows textRows;
    // The file's lines that could not be read, and the keys it ignored.
    Import::Report textSkipped;
    QString textFileName;
    // The source list entry whose file rows are in the source view, or empty.
    QString textShown;
    // What the source list and the rows in the source view came from: the
    // radio buttons may have been switched since.
    Import::SourceKind listedKind = Import::SourceKind::TriviaBot;
    Import::SourceKind shownKind = Import::SourceKind::TriviaBot;
    QString shownFile;
};

#endif
