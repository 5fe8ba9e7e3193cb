// The question editor's questions and answers: the list of the selected
// category and its Add, Update and Delete.

#include "editor/dlgquestioneditor.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTreeWidgetItem>

#include "db/contentstore.h"
#include "db/questionwriter.h"
#include "gui/messagebox.h"

namespace {

const QString errorTitle = QStringLiteral("Error");

}

void dlgQuestionEditor::loadContent()
{
    twContent->clear();
    // The row last double-clicked is gone with the old list.
    editedItem = nullptr;
    pbUpdate->setEnabled(false);
    pbDelete->setEnabled(false);

    QList<QTreeWidgetItem*> rows;
    {
        QSqlQuery query;
        query.setForwardOnly(true);
        const auto addRow = [&rows](const QString& question, const QString& answer) {
            rows.append(new QTreeWidgetItem(QStringList{question, answer}));
        };
        ContentStore(query).listContent(cbCategory->currentText(), addRow);
    }
    // A sorted view places each inserted row on its own, which is quadratic;
    // one batch and one sort are not.
    const bool sorted = twContent->isSortingEnabled();
    twContent->setSortingEnabled(false);
    twContent->addTopLevelItems(rows);
    twContent->setSortingEnabled(sorted);
}

void dlgQuestionEditor::itemDoubleClicked(QTreeWidgetItem* item, int)
{
    if (!item)
        return;
    editedItem = item;
    leQuestion->setText(item->text(0));
    leAnswer->setText(item->text(1));
    // Setting the question enabled Add; an unchanged copy is not a new question.
    pbAdd->setEnabled(false);
    pbUpdate->setEnabled(true);
    pbDelete->setEnabled(true);
}

void dlgQuestionEditor::textChanged(const QString&)
{
    pbAdd->setEnabled(true);
}

void dlgQuestionEditor::addContent()
{
    const QString question = leQuestion->text();
    const QString answer = leAnswer->text();
    if (question.isEmpty() || answer.isEmpty()) {
        MessageBox::warning(this, errorTitle, QStringLiteral("Please fill in both a Question & Answer!"));
        return;
    }

    const QString category = cbCategory->currentText();
    QSqlDatabase db = QSqlDatabase::database();
    const QString addFailed = QStringLiteral("Unable to add content to DB!");
    // The question and its link are stored together or not at all. Queries
    // are prepared after transaction() so that they run inside it.
    if (!db.transaction()) {
        MessageBox::warning(this, errorTitle, addFailed);
        return;
    }
    bool noCategory = false;
    bool stored = false;
    {
        QSqlQuery lookup(db);
        qint64 catId = 0;
        const ContentStore::Lookup found = ContentStore(lookup).findCategory(category, &catId);
        noCategory = found == ContentStore::Lookup::Missing;
        if (found == ContentStore::Lookup::Found) {
            QuestionWriter writer(db);
            stored = writer.add(catId, question, answer).outcome == QuestionWriter::Outcome::Stored;
        }
    }
    if (stored)
        stored = db.commit();
    if (!stored) {
        db.rollback();
        if (noCategory)
            MessageBox::warning(this, errorTitle,
                                QStringLiteral("There is no category named '") + category
                                    + QStringLiteral("'! Add the category first."));
        else
            MessageBox::warning(this, errorTitle, addFailed);
        return;
    }

    new QTreeWidgetItem(twContent, QStringList{question, answer});
    // Ready for the next question.
    finishEdit(leQuestion);
}

void dlgQuestionEditor::updateContent()
{
    if (leQuestion->text().isEmpty() || leAnswer->text().isEmpty()) {
        MessageBox::warning(this, QStringLiteral("Warning"), QStringLiteral("Please fill in both fields!"));
        return;
    }
    const QString updateFailed = QStringLiteral("Unable to update content in DB!");
    if (!editedItem) {
        MessageBox::warning(this, errorTitle, updateFailed);
        return;
    }

    qint64 contentId = 0;
    {
        // The row is found by its texts as listed, not as edited.
        QSqlQuery lookup;
        if (!ContentStore(lookup).findContentForUpdate(editedItem->text(0), editedItem->text(1),
                                                       cbCategory->currentText(), &contentId)) {
            MessageBox::warning(this, errorTitle, updateFailed);
            return;
        }
    }

    const QString newQuestion = leQuestion->text();
    const QString newAnswer = leAnswer->text();
    QSqlQuery update;
    if (!ContentStore(update).updateContent(contentId, newQuestion, newAnswer)) {
        MessageBox::warning(this, errorTitle, updateFailed);
        return;
    }

    editedItem->setText(0, newQuestion);
    editedItem->setText(1, newAnswer);
    twContent->setCurrentItem(editedItem);
    finishEdit(twContent);
}

void dlgQuestionEditor::deleteContent()
{
    if (leQuestion->text().isEmpty() && leAnswer->text().isEmpty()) {
        MessageBox::warning(this, QStringLiteral("Warning"), QStringLiteral("Please select an item to delete!"));
        return;
    }
    const QString notFound = QStringLiteral("Unable to delete content!");
    if (!editedItem) {
        MessageBox::warning(this, QStringLiteral("Info"), notFound);
        return;
    }

    qint64 contentId = 0;
    {
        QSqlQuery lookup;
        if (!ContentStore(lookup).findContentForDelete(cbCategory->currentText(), editedItem->text(0),
                                                       editedItem->text(1), &contentId)) {
            MessageBox::warning(this, QStringLiteral("Info"), notFound);
            return;
        }
    }

    // The question and its links go together.
    QSqlDatabase db = QSqlDatabase::database();
    bool deleted = db.transaction();
    if (deleted) {
        {
            QSqlQuery deletion(db);
            deleted = ContentStore(deletion).deleteQuestion(contentId);
        }
        if (deleted)
            deleted = db.commit();
        if (!deleted)
            db.rollback();
    }
    if (!deleted) {
        MessageBox::warning(this, QStringLiteral("Warning"), QStringLiteral("Could not delete item!"));
        return;
    }

    delete editedItem;
    editedItem = nullptr;
    finishEdit(twContent);
}

void dlgQuestionEditor::finishEdit(QWidget* next)
{
    // First: a button that goes off while it has the focus hands it on along
    // the tab order to the category box, its text selected, and the next
    // keystrokes would replace the category's name.
    next->setFocus();
    leQuestion->clear();
    leAnswer->clear();
    pbAdd->setEnabled(false);
    pbUpdate->setEnabled(false);
    pbDelete->setEnabled(false);
}
