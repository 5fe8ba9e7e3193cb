#ifndef DLGQUESTIONEDITOR_H
#define DLGQUESTIONEDITOR_H

#include <QDialog>
#include <QString>

#include "ui_dlgquestioneditor.h"

class QTreeWidgetItem;

// The question editor: categories and the questions and answers of the
// selected category. Built for one modal run and deleted after it.
class dlgQuestionEditor : public QDialog, public Ui::dlgQuestionEditor
{
    Q_OBJECT

public:
    explicit dlgQuestionEditor(QWidget* parent = nullptr);

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

private:
    // The category's row and questions, in one transaction; its item leaves
    // the box.
    void removeCategory(qint64 catId, const QString& name);
    // Selects the item at index (none for -1) and shows its name in the box
    // and its questions in the list, whatever the box held before.
    void selectCategory(int index);
    // After a question was stored or removed: empty fields, the three buttons
    // off, and the focus on next.
    void finishEdit(QWidget* next);

    // Name, as stored, of the category whose questions are listed; the old
    // name while a rename runs.
    QString selectedCategory;
    // Import source remembered between two imports of one editor.
    QString importFile;
    // The row last double-clicked; its texts identify the row to change.
    QTreeWidgetItem* editedItem = nullptr;
};

#endif
