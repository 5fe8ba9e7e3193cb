#include "editor/dlgquestioneditor.h"

dlgQuestionEditor::dlgQuestionEditor(QWidget* parent)
    : QDialog(parent)
{
    setupUi(this);
}

void dlgQuestionEditor::loadCategories() {}
void dlgQuestionEditor::addCategory() {}
void dlgQuestionEditor::updateCategory() {}
void dlgQuestionEditor::deleteCategory() {}
void dlgQuestionEditor::categoryChanged(int) {}
void dlgQuestionEditor::loadContent() {}
void dlgQuestionEditor::addContent() {}
void dlgQuestionEditor::updateContent() {}
void dlgQuestionEditor::deleteContent() {}
void dlgQuestionEditor::itemDoubleClicked(QTreeWidgetItem*, int) {}
void dlgQuestionEditor::textChanged(const QString&) {}
void dlgQuestionEditor::slotAccept() { accept(); }
