#ifndef DLGTRIVIAIMPORT_H
#define DLGTRIVIAIMPORT_H

#include <QDialog>
#include <QList>
#include <QSqlDatabase>
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

    // True while a load or an import runs; the window refuses other work and
    // will not close until it ends.
    bool isBusy() const { return busy; }

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
    void importItems(const QList<QTreeWidgetItem*>& items);
    void closeSources();

    // The question file source (dlgtriviaimport_text.cpp). Every row of the
    // source view carries its line (Qt::UserRole of column 0); a file's rows
    // also the answers they left out (Qt::UserRole + 1). The file is read a
    // part at a time, the window and the game going on meanwhile.
    void loadTextFile(const QString& path);
    void showTextRows(const QString& entry);
    QString textEntry(const QString& category) const;
    void addTextSkips(Import::Report* report) const;

    MdbSource mdbDatabase;
    QSqlDatabase fdbDatabase;
    bool busy = false;
    QuestionFile::PackedRows textRows;
    // The file's lines that could not be read.
    Import::Report textSkipped;
    QString textFileName;
    // The source list entry whose file rows are in the source view, or empty.
    QString textShown;
    // What the rows in the source view came from: the radio buttons may have
    // been switched since.
    Import::SourceKind shownKind = Import::SourceKind::TriviaBot;
    QString shownFile;
};

#endif
