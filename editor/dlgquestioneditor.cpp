#include "editor/dlgquestioneditor.h"

#include <QCoreApplication>
#include <QProgressDialog>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTreeWidgetItem>
#include <QVariant>
#include <QVector>

#include "app/messagebox.h"
#include "db/statements.h"
#include "importer/dlgtriviaimport.h"

namespace {

const QString addCategorySql =
    QStringLiteral("INSERT INTO category (catName, catID) VALUES (:catName, GEN_ID(AUTO_INC, 1) )");
const QString renameCategorySql = QStringLiteral("UPDATE category SET catName=:newname WHERE catName=:oldname");
const QString deleteCategorySql = QStringLiteral("DELETE FROM category WHERE catID=:catID");
const QString countCategoryContentSql =
    QStringLiteral("SELECT COUNT(contentID) FROM category_content WHERE catID=:catID");
const QString listCategoryContentSql = QStringLiteral("SELECT contentID FROM category_content WHERE catID=:catID");
const QString deleteContentSql = QStringLiteral("DELETE FROM content WHERE contentID=:contentID");
const QString deleteLinksSql = QStringLiteral("DELETE FROM category_content WHERE contentID=:contentID");

const QString findContentForUpdateSql = QStringLiteral(
    "SELECT cat.catID, c.contentID FROM category cat LEFT JOIN category_content cc ON cat.catID=cc.catID "
    "LEFT JOIN content c ON cc.contentID=c.contentID WHERE c.question='");
const QString findContentForDeleteSql = QStringLiteral(
    "SELECT c.contentID FROM content c INNER JOIN category_content cc ON c.contentID=cc.contentID "
    "INNER JOIN category cat ON cc.catID=cat.catID WHERE cat.catName='");
const QString updateContentSql = QStringLiteral(
    "UPDATE content SET question=:newquestion, answer=:newanswer WHERE contentID=:contentID");

// The category deletion runs on a connection of its own: its loop lets the
// event loop run, and the game's statements must not land in (or be cut off
// by) the deletion's transaction.
struct DeletionConnection {
    DeletionConnection()
        : db(QSqlDatabase::cloneDatabase(QSqlDatabase::database(), QLatin1String(name)))
    {
    }
    ~DeletionConnection()
    {
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(QLatin1String(name));
    }
    static constexpr const char* name = "quiznewt-category-deletion";
    QSqlDatabase db;
};

const QString errorTitle = QStringLiteral("Error");

QString findCategoryStatement(const QString& name)
{
    return Statements::findCategoryPrefix + Statements::quoted(name) + QLatin1Char('\'');
}

// Rows a successful statement changed; drivers that cannot tell give -1.
bool changedNoRow(const QSqlQuery& query)
{
    return query.numRowsAffected() == 0;
}

}

dlgQuestionEditor::dlgQuestionEditor(QWidget* parent)
    : QDialog(parent)
{
    setupUi(this);
    resize(size().expandedTo(minimumSizeHint()));

    connect(pbAdd, &QPushButton::clicked, this, &dlgQuestionEditor::addContent);
    connect(pbUpdate, &QPushButton::clicked, this, &dlgQuestionEditor::updateContent);
    connect(pbDelete, &QPushButton::clicked, this, &dlgQuestionEditor::deleteContent);
    connect(pbCatAdd, &QPushButton::clicked, this, &dlgQuestionEditor::addCategory);
    connect(pbCatDelete, &QPushButton::clicked, this, &dlgQuestionEditor::deleteCategory);
    connect(pbCatUpdate, &QPushButton::clicked, this, &dlgQuestionEditor::updateCategory);
    connect(twContent, &QTreeWidget::itemDoubleClicked, this, &dlgQuestionEditor::itemDoubleClicked);
    connect(leQuestion, &QLineEdit::textChanged, this, &dlgQuestionEditor::textChanged);
    connect(pbImport, &QPushButton::clicked, this, &dlgQuestionEditor::showImport);

    loadCategories();
    loadContent();
    // Only now, so that the first fill does not reload the list a second time.
    connect(cbCategory, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &dlgQuestionEditor::categoryChanged);

    pbAdd->setEnabled(false);
    pbUpdate->setEnabled(false);
    pbDelete->setEnabled(false);
    twContent->setColumnWidth(0, 375);
}

void dlgQuestionEditor::loadCategories()
{
    QSqlQuery query;
    query.setForwardOnly(true);
    if (!query.exec(Statements::listCategories)) {
        MessageBox::information(this, errorTitle, QStringLiteral("Unable to load categories!"));
    } else {
        cbCategory->clear();
        while (query.next())
            cbCategory->addItem(query.value(0).toString());
    }

    if (!selectedCategory.isEmpty()) {
        const int index = cbCategory->findText(selectedCategory);
        if (index >= 0)
            cbCategory->setCurrentIndex(index);
    } else {
        selectedCategory = cbCategory->currentText();
    }
}

void dlgQuestionEditor::categoryChanged(int)
{
    loadContent();
    selectedCategory = cbCategory->currentText();
}

void dlgQuestionEditor::addCategory()
{
    const QString name = cbCategory->currentText();
    {
        QSqlQuery query;
        query.prepare(addCategorySql);
        query.bindValue(QStringLiteral(":catName"), name);
        if (query.exec())
            cbCategory->addItem(name);
        else
            MessageBox::information(this, errorTitle,
                                    QStringLiteral("Unable to add category! ") + query.lastError().databaseText());
    }
    // After a failure with an unlisted name this selects nothing, which
    // empties the box and the list.
    selectedCategory = name;
    cbCategory->setCurrentIndex(cbCategory->findText(name));
}

void dlgQuestionEditor::updateCategory()
{
    const QString newName = cbCategory->currentText();
    const QString text = QStringLiteral("You are about to update the category '") + newName
        + QStringLiteral("'\nDoing so will also update the category for all questions in \nthis category! Continue?");
    if (MessageBox::question(this, QStringLiteral("About to Update!"), text) != QMessageBox::Yes)
        return;

    QSqlQuery query;
    query.prepare(renameCategorySql);
    query.bindValue(QStringLiteral(":newname"), newName);
    query.bindValue(QStringLiteral(":oldname"), selectedCategory);
    if (query.exec()) {
        selectedCategory = newName;
        cbCategory->setItemText(cbCategory->currentIndex(), newName);
    } else {
        MessageBox::warning(this, errorTitle, QStringLiteral("Unable to update category from DB!"));
    }
    emit categoryModified();
}

void dlgQuestionEditor::deleteCategory()
{
    const QString name = cbCategory->currentText();
    const QString text = QStringLiteral("You are about to delete the category '") + name
        + QStringLiteral("'\nDoing so will also delete all questions in \n\nthis category! Continue?");
    if (MessageBox::question(this, QStringLiteral("About to Delete!"), text) != QMessageBox::Yes)
        return;

    qint64 catId = 0;
    {
        QSqlQuery lookup;
        if (!lookup.exec(findCategoryStatement(name))) {
            MessageBox::warning(this, errorTitle,
                                QStringLiteral("Unable to delete category from DB!") + lookup.lastError().databaseText());
            emit categoryModified();
            return;
        }
        if (!lookup.next()) {
            // Deleting "category 0" would remove the item of a category that
            // still exists and touch questions of no category at all.
            MessageBox::warning(this, errorTitle,
                                QStringLiteral("There is no category named '") + name + QStringLiteral("'!"));
            return;
        }
        catId = lookup.value(0).toLongLong();
    }

    removeCategory(catId, name);
    emit categoryModified();
}

void dlgQuestionEditor::removeCategory(qint64 catId, const QString& name)
{
    const QString deleteFailed = QStringLiteral("Unable to delete category from DB!");
    DeletionConnection work;
    if (!work.db.open() || !work.db.transaction()) {
        MessageBox::warning(this, errorTitle, deleteFailed + work.db.lastError().databaseText());
        return;
    }
    // All of it is one transaction: a deletion cut short leaves the category
    // and its questions as they were, and one commit instead of a disk sync
    // per question keeps it fast.
    {
        QSqlQuery deletion(work.db);
        deletion.prepare(deleteCategorySql);
        deletion.bindValue(QStringLiteral(":catID"), catId);
        if (!deletion.exec()) {
            const QString error = deletion.lastError().databaseText();
            work.db.rollback();
            MessageBox::warning(this, errorTitle, deleteFailed + error);
            return;
        }
    }

    int count = 0;
    QVector<qint64> contentIds;
    {
        QSqlQuery counting(work.db);
        counting.prepare(countCategoryContentSql);
        counting.bindValue(QStringLiteral(":catID"), catId);
        if (counting.exec() && counting.next())
            count = counting.value(0).toInt();

        // The link rows stay; they name no category any more and drop out of
        // every join.
        QSqlQuery listing(work.db);
        listing.setForwardOnly(true);
        listing.prepare(listCategoryContentSql);
        listing.bindValue(QStringLiteral(":catID"), catId);
        if (!listing.exec() || !listing.isActive()) {
            work.db.rollback();
            MessageBox::warning(this, errorTitle, QStringLiteral("Unable to delete all content from DB!"));
            return;
        }
        contentIds.reserve(count);
        while (listing.next())
            contentIds.append(listing.value(0).toLongLong());
    }

    QProgressDialog progress(QStringLiteral("Deleting Content..."), QStringLiteral("Cancel"), 0, count, this);
    progress.setWindowModality(Qt::WindowModal);

    // The item of the category typed; the current item is another one when
    // the box's text was edited.
    int index = cbCategory->currentIndex();
    if (cbCategory->itemText(index) != name)
        index = cbCategory->findText(name);
    if (index >= 0)
        cbCategory->removeItem(index);

    {
        QSqlQuery deletion(work.db);
        deletion.prepare(deleteContentSql);
        for (int done = 0; done < contentIds.size(); ++done) {
            progress.setValue(done);
            // Repaint and keep the game served; input waits until the
            // deletion is over (Cancel does not stop it anyway).
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
            deletion.bindValue(QStringLiteral(":contentID"), contentIds.at(done));
            deletion.exec();
        }
    }
    progress.setValue(count);

    if (!work.db.commit()) {
        const QString error = work.db.lastError().databaseText();
        work.db.rollback();
        MessageBox::warning(this, errorTitle, deleteFailed + error);
        // Nothing was deleted: bring the removed item back.
        loadCategories();
    }
    progress.close();
}

void dlgQuestionEditor::slotAccept()
{
    accept();
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
        query.prepare(Statements::listContent);
        query.bindValue(QStringLiteral(":catName"), cbCategory->currentText());
        query.exec();
        while (query.next())
            rows.append(new QTreeWidgetItem(QStringList{query.value(0).toString(), query.value(1).toString()}));
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
        if (lookup.exec(findCategoryStatement(category))) {
            if (!lookup.next()) {
                noCategory = true;
            } else {
                const qint64 catId = lookup.value(0).toLongLong();
                QSqlQuery insert(db);
                insert.prepare(Statements::addContent);
                insert.bindValue(QStringLiteral(":question"), question);
                insert.bindValue(QStringLiteral(":answer"), answer);
                if (insert.exec() && insert.next()) {
                    const qint64 contentId = insert.value(0).toLongLong();
                    QSqlQuery link(db);
                    link.prepare(Statements::addLink);
                    link.bindValue(QStringLiteral(":catID"), catId);
                    link.bindValue(QStringLiteral(":contentID"), contentId);
                    stored = link.exec();
                }
            }
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
    leQuestion->clear();
    leAnswer->clear();
    pbAdd->setEnabled(false);
    pbUpdate->setEnabled(false);
    pbDelete->setEnabled(false);
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

    // The row is found by its texts as listed, not as edited.
    const QString statement = findContentForUpdateSql + Statements::quoted(editedItem->text(0))
        + QStringLiteral("' AND c.answer='") + Statements::quoted(editedItem->text(1))
        + QStringLiteral("' AND cat.catName='") + Statements::quoted(cbCategory->currentText()) + QStringLiteral("' ");
    qint64 contentId = 0;
    {
        // Executed as text: the texts are inside it, quotes doubled.
        QSqlQuery lookup;
        if (!lookup.exec(statement) || !lookup.next()) {
            MessageBox::warning(this, errorTitle, updateFailed);
            return;
        }
        contentId = lookup.value(1).toLongLong();
    }

    const QString newQuestion = leQuestion->text();
    const QString newAnswer = leAnswer->text();
    QSqlQuery update;
    update.prepare(updateContentSql);
    update.bindValue(QStringLiteral(":newquestion"), newQuestion);
    update.bindValue(QStringLiteral(":newanswer"), newAnswer);
    update.bindValue(QStringLiteral(":contentID"), contentId);
    if (!update.exec() || changedNoRow(update)) {
        MessageBox::warning(this, errorTitle, updateFailed);
        return;
    }

    editedItem->setText(0, newQuestion);
    editedItem->setText(1, newAnswer);
    leQuestion->clear();
    leAnswer->clear();
    pbUpdate->setEnabled(false);
    pbDelete->setEnabled(false);
    pbAdd->setEnabled(false);
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

    const QString statement = findContentForDeleteSql + Statements::quoted(cbCategory->currentText())
        + QStringLiteral("' AND c.question='") + Statements::quoted(editedItem->text(0))
        + QStringLiteral("' AND c.answer='") + Statements::quoted(editedItem->text(1)) + QStringLiteral("' ");
    qint64 contentId = 0;
    {
        QSqlQuery lookup;
        if (!lookup.exec(statement) || !lookup.next()) {
            MessageBox::warning(this, QStringLiteral("Info"), notFound);
            return;
        }
        contentId = lookup.value(0).toLongLong();
    }

    // The question and its links go together.
    QSqlDatabase db = QSqlDatabase::database();
    bool deleted = db.transaction();
    if (deleted) {
        {
            QSqlQuery content(db);
            content.prepare(deleteContentSql);
            content.bindValue(QStringLiteral(":contentID"), contentId);
            deleted = content.exec() && !changedNoRow(content);
            if (deleted) {
                QSqlQuery links(db);
                links.prepare(deleteLinksSql);
                links.bindValue(QStringLiteral(":contentID"), contentId);
                deleted = links.exec();
            }
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
    leQuestion->clear();
    leAnswer->clear();
    pbDelete->setEnabled(false);
    pbUpdate->setEnabled(false);
    pbAdd->setEnabled(false);
}

void dlgQuestionEditor::showImport()
{
    auto* importer = new dlgTriviaImport(this);
    if (!importFile.isEmpty())
        importer->setSourceFile(importFile);
    importer->exec();
    importFile = importer->sourceFile();
    // An import may have added questions to the category shown here.
    loadContent();
    delete importer;
}
