// The question editor's questions and answers: the list of the selected
// category and its Add, Update and Delete.

#include "editor/dlgquestioneditor.h"

#include <QApplication>
#include <QHeaderView>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTreeWidgetItem>

#include "db/contentstore.h"
#include "db/healthstore.h"
#include "db/questionwriter.h"
#include "editor/dlgquestiondetails.h"
#include "gui/messagebox.h"

namespace {

const QString errorTitle = QStringLiteral("Error");

// Rows listed at a time: more than a screen shows, few enough to list at once.
constexpr int contentPage = 1000;
// A row's content ID as listed, beside its texts. The row is still found by
// its texts; the key only lets the lookup go straight to the row, where a
// search by text would read every question of a long category.
constexpr int keyRole = Qt::UserRole;

bool listedKey(const QTreeWidgetItem* item, const QString& category, qint64* contentId)
{
    const QVariant key = item->data(0, keyRole);
    if (!key.isValid())
        return false;
    QSqlQuery lookup;
    if (!ContentStore(lookup).isListedContent(key.toLongLong(), item->text(0), item->text(1), category))
        return false;
    *contentId = key.toLongLong();
    return true;
}

}

void dlgQuestionEditor::loadContent()
{
    twContent->clear();
    // The row last double-clicked is gone with the old list.
    editedItem = nullptr;
    pbUpdate->setEnabled(false);
    pbDelete->setEnabled(false);

    listedCatId = 0;
    listedAfter = 0;
    listedUpTo = 0;
    listComplete = true;
    {
        QSqlQuery query;
        query.setForwardOnly(true);
        ContentStore store(query);
        // A name typed but never added, or a failed statement, lists nothing.
        if (store.findCategory(cbCategory->currentText(), &listedCatId) == ContentStore::Lookup::Found) {
            listedUpTo = store.newestKey();
            listComplete = false;
        }
    }
    // Rows come in key order; the view sorts them once all are in. A list
    // of one page is sorted at once, as the operator last chose.
    twContent->setSortingEnabled(false);
    if (!listComplete)
        fetchContent();
    if (listComplete)
        twContent->setSortingEnabled(true);
    else
        twContent->header()->setSectionsClickable(true);
}

bool dlgQuestionEditor::fetchContent()
{
    QList<QTreeWidgetItem*> rows;
    qint64 last = listedAfter;
    int returned = 0;
    bool read = false;
    {
        QSqlQuery query;
        query.setForwardOnly(true);
        const auto addRow = [&](qint64 contentId, const QString& question, const QString& answer) {
            ++returned;
            // A question linked to the category twice is listed once.
            if (contentId == last)
                return;
            last = contentId;
            rows.append(new QTreeWidgetItem(QStringList{question, answer}));
            rows.last()->setData(0, keyRole, contentId);
        };
        read = ContentStore(query).listContentPage(listedCatId, listedAfter, listedUpTo, contentPage, addRow);
    }
    // A sorted view places each inserted row on its own, which is quadratic;
    // one batch and one sort are not.
    const bool sorted = twContent->isSortingEnabled();
    twContent->setSortingEnabled(false);
    twContent->addTopLevelItems(rows);
    twContent->setSortingEnabled(sorted);
    listedAfter = last;
    // A failed page ends the list where it is; no message, as for the first.
    listComplete = !read || returned < contentPage;
    return read;
}

void dlgQuestionEditor::fetchContentIfNeeded()
{
    if (listComplete || fetching)
        return;
    const QScrollBar* bar = twContent->verticalScrollBar();
    if (bar->value() < bar->maximum() - bar->pageStep())
        return;
    fetching = true;
    fetchContent();
    fetching = false;
}

void dlgQuestionEditor::sortListedBy(int column)
{
    if (twContent->isSortingEnabled())
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    fetching = true;
    while (!listComplete)
        fetchContent();
    fetching = false;
    QApplication::restoreOverrideCursor();
    QHeaderView* header = twContent->header();
    header->setSortIndicator(column, header->sortIndicatorSection() == column ? header->sortIndicatorOrder()
                                                                               : Qt::AscendingOrder);
    twContent->setSortingEnabled(true);
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
        (question.isEmpty() ? leQuestion : leAnswer)->setFocus();
        return;
    }

    const QString category = cbCategory->currentText();
    QSqlDatabase db = QSqlDatabase::database();
    // The question and its link are stored together or not at all. Queries
    // are prepared after transaction() so that they run inside it.
    QSqlError error;
    ContentStore::Lookup found = ContentStore::Lookup::Failed;
    bool stored = false;
    qint64 contentId = -1;
    if (!db.transaction()) {
        error = db.lastError();
    } else {
        {
            QSqlQuery lookup(db);
            qint64 catId = 0;
            found = ContentStore(lookup).findCategory(category, &catId);
            error = lookup.lastError();
            if (found == ContentStore::Lookup::Found) {
                QuestionWriter writer(db);
                const QuestionWriter::Result result = writer.add(catId, question, answer);
                stored = result.outcome == QuestionWriter::Outcome::Stored;
                error = result.error;
                contentId = result.contentId;
            }
        }
        if (stored && !db.commit()) {
            stored = false;
            error = db.lastError();
        }
        if (!stored)
            db.rollback();
    }
    if (!stored && found == ContentStore::Lookup::Missing) {
        MessageBox::warning(this, errorTitle,
                            QStringLiteral("There is no category named '") + category
                                + QStringLiteral("'! Add the category first."));
        finishCategoryAction();
        return;
    }
    if (!stored) {
        warnFailure(errorTitle, QStringLiteral("Unable to add content to DB!"), error);
        leQuestion->setFocus();
        return;
    }

    // Ready for the next question.
    auto* added = new QTreeWidgetItem(twContent, QStringList{question, answer});
    added->setData(0, keyRole, contentId);
    finishEdit(added);
}

void dlgQuestionEditor::updateContent()
{
    if (leQuestion->text().isEmpty() || leAnswer->text().isEmpty()) {
        MessageBox::warning(this, QStringLiteral("Warning"), QStringLiteral("Please fill in both fields!"));
        (leQuestion->text().isEmpty() ? leQuestion : leAnswer)->setFocus();
        return;
    }
    const QString updateFailed = QStringLiteral("Unable to update content in DB!");
    // Someone else changed or deleted the question since it was listed.
    const QString gone = updateFailed + QStringLiteral(" The question is no longer in the database as listed.");
    leQuestion->setFocus();
    if (!editedItem) {
        MessageBox::warning(this, errorTitle, updateFailed);
        return;
    }

    qint64 contentId = 0;
    {
        // The row is found by its texts as listed, not as edited.
        QSqlQuery lookup;
        if (!listedKey(editedItem, cbCategory->currentText(), &contentId)
            && !ContentStore(lookup).findContentForUpdate(editedItem->text(0), editedItem->text(1),
                                                          cbCategory->currentText(), &contentId)) {
            if (lookup.lastError().isValid())
                warnFailure(errorTitle, updateFailed, lookup.lastError());
            else
                MessageBox::warning(this, errorTitle, gone);
            return;
        }
    }

    const QString newQuestion = leQuestion->text();
    const QString newAnswer = leAnswer->text();
    QSqlQuery update;
    if (!ContentStore(update).updateContent(contentId, newQuestion, newAnswer)) {
        if (update.lastError().isValid())
            warnFailure(errorTitle, updateFailed, update.lastError());
        else
            MessageBox::warning(this, errorTitle, gone);
        return;
    }

    editedItem->setText(0, newQuestion);
    editedItem->setText(1, newAnswer);
    finishEdit(editedItem);
}

void dlgQuestionEditor::deleteContent()
{
    leQuestion->setFocus();
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
        if (!listedKey(editedItem, cbCategory->currentText(), &contentId)
            && !ContentStore(lookup).findContentForDelete(cbCategory->currentText(), editedItem->text(0),
                                                          editedItem->text(1), &contentId)) {
            if (lookup.lastError().isValid())
                warnFailure(QStringLiteral("Info"), notFound, lookup.lastError());
            else
                MessageBox::warning(this, QStringLiteral("Info"), notFound);
            return;
        }
    }

    // The question and its links go together.
    QSqlDatabase db = QSqlDatabase::database();
    QSqlError error;
    bool deleted = db.transaction();
    if (deleted) {
        {
            QSqlQuery deletion(db);
            deleted = ContentStore(deletion).deleteQuestion(contentId);
            error = deletion.lastError();
        }
        if (deleted && !db.commit()) {
            deleted = false;
            error = db.lastError();
        }
        if (!deleted)
            db.rollback();
    } else {
        error = db.lastError();
    }
    if (!deleted) {
        warnFailure(QStringLiteral("Warning"), QStringLiteral("Could not delete item!"), error);
        return;
    }

    delete editedItem;
    editedItem = nullptr;
    finishEdit(nullptr);
}

void dlgQuestionEditor::finishEdit(QTreeWidgetItem* changed)
{
    // First: a button that goes off while it has the focus hands it on along
    // the tab order to the category box, its text selected, and the next
    // keystrokes would replace the category's name.
    leQuestion->setFocus();
    leQuestion->clear();
    leAnswer->clear();
    pbAdd->setEnabled(false);
    pbUpdate->setEnabled(false);
    pbDelete->setEnabled(false);
    if (changed) {
        twContent->setCurrentItem(changed);
        twContent->scrollToItem(changed);
    } else {
        twContent->clearSelection();
    }
}

bool dlgQuestionEditor::findListed(const QTreeWidgetItem* item, qint64* contentId, QSqlError* error)
{
    if (!item)
        return false;
    // By the key it was listed with first: the texts walk the whole category.
    if (listedKey(item, selectedCategory, contentId))
        return true;
    QSqlQuery lookup;
    const bool found = ContentStore(lookup).findContentForUpdate(item->text(0), item->text(1), selectedCategory,
                                                                  contentId);
    if (error)
        *error = lookup.lastError();
    return found;
}

void dlgQuestionEditor::showAccepted(QTreeWidgetItem* item)
{
    lwAccepted->clear();
    pbDetails->setEnabled(item != nullptr);
    // A glance only: a failure here shows as an empty list, Details... tells it.
    qint64 contentId = 0;
    QStringList answers;
    if (findListed(item, &contentId) && HealthStore().acceptedAnswers(int(contentId), &answers))
        lwAccepted->addItems(answers);
}

void dlgQuestionEditor::showDetails()
{
    QTreeWidgetItem* item = twContent->currentItem();
    if (!item)
        return;
    const QString lead = QStringLiteral("Unable to open the question!");
    qint64 contentId = 0;
    QSqlError error;
    if (!findListed(item, &contentId, &error)) {
        if (error.isValid())
            warnFailure(errorTitle, lead, error);
        else
            MessageBox::warning(this, errorTitle, lead + QStringLiteral(" It is no longer in the database as listed."));
        return;
    }
    dlgQuestionDetails details(int(contentId), this);
    if (!details.load())
        return;
    details.exec();
    if (details.textsChanged()) {
        // Fields that still show the row's old texts follow it; Add stays as it was.
        if (item == editedItem && leQuestion->text() == item->text(0) && leAnswer->text() == item->text(1)) {
            const QSignalBlocker quiet(leQuestion);
            leQuestion->setText(details.question());
            leAnswer->setText(details.answer());
        }
        item->setText(0, details.question());
        item->setText(1, details.answer());
        twContent->scrollToItem(item);
    }
    showAccepted(item);
}
