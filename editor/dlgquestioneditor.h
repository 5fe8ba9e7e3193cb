#ifndef DLGQUESTIONEDITOR_H
#define DLGQUESTIONEDITOR_H

#include <QDialog>
#include <QString>

#include "ui_dlgquestioneditor.h"

class QSqlError;
class QTreeWidgetItem;

// The question editor: categories and the questions and answers of the
// selected category. Built for one modal run and deleted after it.
class dlgQuestionEditor : public QDialog, public Ui::dlgQuestionEditor
{
    Q_OBJECT

public:
    explicit dlgQuestionEditor(QWidget* parent = nullptr);
    ~dlgQuestionEditor() override;

protected:
    // Keeps the category box's selection when typing in it ends.
    bool eventFilter(QObject* watched, QEvent* event) override;

Q_SIGNALS:
    // A category was renamed or deleted; a running game must check its own.
    void categoryModified();

private Q_SLOTS:
    void loadCategories();
    void addCategory();
    void updateCategory();
    void deleteCategory();
    void categoryChanged(int index);
    void loadContent();
    void addContent();
    void updateContent();
    void deleteContent();
    void itemDoubleClicked(QTreeWidgetItem* item, int column);
    void textChanged(const QString& text);
    void showImport();
    void slotAccept();
    void showHealth();
    void showDetails();
    // The current row's accepted answers beside the answer field.
    void showAccepted(QTreeWidgetItem* item);

private:
    // The category's row and questions, in one transaction; its item leaves
    // the box.
    void removeCategory(qint64 catId, const QString& name);
    // Selects the item at index (none for -1) and shows its name in the box
    // and its questions in the list, whatever the box held before.
    void selectCategory(int index);
    // After a question was stored or removed: empty fields, the three buttons
    // off, the focus in the question field and the changed row (if any)
    // selected.
    void finishEdit(QTreeWidgetItem* changed);
    // After a category action: the focus in the category box, its text
    // selected for the next name.
    void finishCategoryAction();
    // The content ID of a listed row, found by its texts and the listed
    // category's name; false when the statement fails or finds nothing.
    bool findListed(const QTreeWidgetItem* item, qint64* contentId, QSqlError* error = nullptr);
    // The list holds the category's questions in pages: the next page when
    // the view is scrolled near the end of what is listed.
    void fetchContentIfNeeded();
    bool fetchContent();
    // A click on a column's header of an unfinished list: the rest is
    // listed first, then the view sorts.
    void sortListedBy(int column);
    // A failure the engine reported: the lead text, then what it means in
    // plain words, the engine's own text under the details.
    void warnFailure(const QString& title, const QString& lead, const QSqlError& error);

    // Name, as stored, of the category whose questions are listed; the old
    // name while a rename runs.
    QString selectedCategory;
    // Import source remembered between two imports of one editor.
    QString importFile;
    // The row last double-clicked; its texts identify the row to change.
    QTreeWidgetItem* editedItem = nullptr;
    // The listed category's ID, the last key listed and the newest key when
    // the list was opened (rows added later are listed as they are added);
    // listComplete once the last page is in.
    qint64 listedCatId = 0;
    qint64 listedAfter = 0;
    qint64 listedUpTo = 0;
    bool listComplete = true;
    bool fetching = false;
};

#endif
