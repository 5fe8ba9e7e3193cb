#include "editor/dlgquestioneditor.h"

#include <QCoreApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QProgressDialog>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTreeWidgetItem>
#include <QList>

#include <climits>

#include "db/contentstore.h"
#include "db/engineerror.h"
#include "gui/controlcolours.h"
#include "gui/messagebox.h"
#include "editor/dlgquestionhealth.h"
#include "importer/dlgtriviaimport.h"

namespace {

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

// The focus leaving an edit field, or Return in it, ends the typing there.
bool endsTyping(const QEvent* event)
{
    if (event->type() == QEvent::FocusOut)
        return true;
    if (event->type() != QEvent::KeyPress)
        return false;
    const int key = static_cast<const QKeyEvent*>(event)->key();
    return key == Qt::Key_Return || key == Qt::Key_Enter;
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
    connect(twContent->verticalScrollBar(), &QScrollBar::valueChanged, this,
            &dlgQuestionEditor::fetchContentIfNeeded);
    connect(twContent->verticalScrollBar(), &QScrollBar::rangeChanged, this,
            &dlgQuestionEditor::fetchContentIfNeeded);
    connect(twContent->header(), &QHeaderView::sectionClicked, this, &dlgQuestionEditor::sortListedBy);
    connect(pbHealth, &QPushButton::clicked, this, &dlgQuestionEditor::showHealth);
    connect(pbDetails, &QPushButton::clicked, this, &dlgQuestionEditor::showDetails);
    connect(twContent, &QTreeWidget::currentItemChanged, this, &dlgQuestionEditor::showAccepted);
    // The box's text is a name to add or rename to: completing it while one
    // types would turn "ART" back into "Art", and "Art" into "Artists".
    cbCategory->setCompleter(nullptr);
    // The box has the focus and hands its line edit the events; both are
    // watched for events sent to the line edit itself.
    cbCategory->installEventFilter(this);
    cbCategory->lineEdit()->installEventFilter(this);

    // A sorted view starts with the header's indicator, which points down.
    twContent->sortByColumn(0, Qt::AscendingOrder);
    keepArrowsVisible(this);
    loadCategories();
    // Only now, so that the first fill does not reload the list a second time.
    connect(cbCategory, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &dlgQuestionEditor::categoryChanged);

    pbAdd->setEnabled(false);
    pbUpdate->setEnabled(false);
    pbDelete->setEnabled(false);
    pbDetails->setEnabled(false);
    twContent->setColumnWidth(0, 375);
    // Else the first button in the focus chain, Import, would take it and
    // become the default: Return would open the importer.
    leQuestion->setFocus();
}

dlgQuestionEditor::~dlgQuestionEditor()
{
    // The base's destructor hides the window, which ends the typing in the
    // box: the box may then select another item and call categoryChanged on
    // members already gone.
    disconnect(cbCategory, nullptr, this, nullptr);
}

bool dlgQuestionEditor::eventFilter(QObject* watched, QEvent* event)
{
    if ((watched != cbCategory && watched != cbCategory->lineEdit()) || !endsTyping(event))
        return QDialog::eventFilter(watched, event);
    // When the typing ends, an editable box selects the item whose text is
    // the one typed. Here the text is a name to add or rename to, and the
    // selection, the category being worked on, changes only through the
    // box's list: the typed name stays, and the selection with it.
    const int index = cbCategory->currentIndex();
    const QString typed = cbCategory->currentText();
    const QSignalBlocker quiet(cbCategory);
    watched->event(event);
    if (cbCategory->currentIndex() != index) {
        cbCategory->setCurrentIndex(index);
        cbCategory->setEditText(typed);
    }
    return true;
}

void dlgQuestionEditor::warnFailure(const QString& title, const QString& lead, const QSqlError& error)
{
    const EngineError why = describeEngineError(error);
    MessageBox::warning(this, title, why.after(lead), why.details());
}

void dlgQuestionEditor::finishCategoryAction()
{
    cbCategory->setFocus();
    cbCategory->lineEdit()->selectAll();
}

void dlgQuestionEditor::loadCategories()
{
    QSqlQuery query;
    query.setForwardOnly(true);
    QStringList names;
    if (!ContentStore(query).listCategories(&names)) {
        warnFailure(errorTitle, QStringLiteral("Unable to load categories!"), query.lastError());
    } else {
        // Each step of the refill would otherwise reload the list.
        const QSignalBlocker quiet(cbCategory);
        cbCategory->clear();
        cbCategory->addItems(names);
    }

    const int index = selectedCategory.isEmpty() ? cbCategory->currentIndex() : cbCategory->findText(selectedCategory);
    selectCategory(index >= 0 ? index : cbCategory->currentIndex());
}

void dlgQuestionEditor::categoryChanged(int)
{
    loadContent();
    selectedCategory = cbCategory->currentText();
}

void dlgQuestionEditor::selectCategory(int index)
{
    {
        const QSignalBlocker quiet(cbCategory);
        cbCategory->setCurrentIndex(index);
    }
    // An unchanged index leaves whatever was typed in the box.
    cbCategory->setEditText(cbCategory->itemText(index));
    categoryChanged(index);
}

void dlgQuestionEditor::addCategory()
{
    const QString name = cbCategory->currentText();
    {
        QSqlQuery query;
        if (!ContentStore(query).addCategory(name)) {
            warnFailure(errorTitle, QStringLiteral("Unable to add category! "), query.lastError());
            // The category on view stays, and the name as typed, to be put right.
            finishCategoryAction();
            return;
        }
    }
    {
        const QSignalBlocker quiet(cbCategory);
        cbCategory->addItem(name);
    }
    selectCategory(cbCategory->count() - 1);
    finishCategoryAction();
}

void dlgQuestionEditor::updateCategory()
{
    const QString oldName = selectedCategory;
    const QString newName = cbCategory->currentText();
    const QString text = QStringLiteral("You are about to update the category '") + oldName + QStringLiteral("' to '")
        + newName
        + QStringLiteral("'\nDoing so will also update the category for all questions in \nthis category! Continue?");
    if (MessageBox::question(this, QStringLiteral("About to Update!"), text) != QMessageBox::Yes) {
        finishCategoryAction();
        return;
    }

    const QString updateFailed = QStringLiteral("Unable to update category from DB!");
    QSqlQuery query;
    if (ContentStore(query).renameCategory(oldName, newName)) {
        selectedCategory = newName;
        const int index = cbCategory->currentIndex();
        cbCategory->setItemText(cbCategory->itemText(index) == oldName ? index : cbCategory->findText(oldName),
                                newName);
    } else if (query.lastError().isValid()) {
        warnFailure(errorTitle, updateFailed, query.lastError());
    } else {
        MessageBox::warning(this, errorTitle,
                            updateFailed + QStringLiteral(" There is no category named '") + oldName
                                + QStringLiteral("' any more."));
    }
    emit categoryModified();
    finishCategoryAction();
}

void dlgQuestionEditor::deleteCategory()
{
    const QString name = cbCategory->currentText();
    const QString text = QStringLiteral("You are about to delete the category '") + name
        + QStringLiteral("'\nDoing so will also delete all questions in \n\nthis category! Continue?");
    if (MessageBox::question(this, QStringLiteral("About to Delete!"), text) != QMessageBox::Yes) {
        finishCategoryAction();
        return;
    }

    qint64 catId = 0;
    {
        QSqlQuery lookup;
        const ContentStore::Lookup found = ContentStore(lookup).findCategory(name, &catId);
        if (found == ContentStore::Lookup::Failed) {
            warnFailure(errorTitle, QStringLiteral("Unable to delete category from DB!"), lookup.lastError());
            emit categoryModified();
            finishCategoryAction();
            return;
        }
        if (found == ContentStore::Lookup::Missing) {
            // Deleting "category 0" would remove the item of a category that
            // still exists and touch questions of no category at all.
            MessageBox::warning(this, errorTitle,
                                QStringLiteral("There is no category named '") + name + QStringLiteral("'!"));
            finishCategoryAction();
            return;
        }
    }

    removeCategory(catId, name);
    emit categoryModified();
    finishCategoryAction();
}

void dlgQuestionEditor::removeCategory(qint64 catId, const QString& name)
{
    const QString deleteFailed = QStringLiteral("Unable to delete category from DB!");
    DeletionConnection work;
    if (!work.db.open() || !work.db.transaction()) {
        warnFailure(errorTitle, deleteFailed, work.db.lastError());
        return;
    }
    // All of it is one transaction: a deletion cut short leaves the category
    // and its questions as they were, and one commit instead of a disk sync
    // per question keeps it fast.
    {
        QSqlQuery deletion(work.db);
        if (!ContentStore(deletion).deleteCategory(catId)) {
            const QSqlError error = deletion.lastError();
            work.db.rollback();
            warnFailure(errorTitle, deleteFailed, error);
            return;
        }
    }

    int count = 0;
    {
        QSqlQuery counting(work.db);
        count = ContentStore(counting).countCategoryLinks(catId);
    }

    QProgressDialog progress(QStringLiteral("Deleting Content..."), QStringLiteral("Cancel"), 0, count, this);
    progress.setWindowModality(Qt::WindowModal);

    // The item of the category typed; the current item is another one when
    // the box's text was edited.
    int index = cbCategory->currentIndex();
    if (cbCategory->itemText(index) != name)
        index = cbCategory->findText(name);
    if (index >= 0) {
        const QSignalBlocker quiet(cbCategory);
        cbCategory->removeItem(index);
    }
    // Whichever item went, the box, the list and selectedCategory show the one
    // selected now: a deleted name left in the box is what the next Update
    // would rename it to.
    selectCategory(cbCategory->currentIndex());

    // The questions go a key range at a time, each range one statement; the
    // link rows stay, they name no category any more and drop out of every
    // join.
    bool failed = false;
    QSqlError listError;
    {
        // About a percent of the questions per statement: the progress moves
        // in steps one sees, and each statement stays short.
        const int deletionStep = qBound(100, count / 100, 20000);
        int done = 0;
        qint64 after = INT_MIN;
        for (bool last = false; !last;) {
            QSqlQuery step(work.db);
            ContentStore store(step);
            // Without links beyond after, the range is empty.
            qint64 upTo = after;
            const ContentStore::Lookup found = store.linkAfter(catId, after, deletionStep - 1, &upTo);
            const int deleted =
                found == ContentStore::Lookup::Failed ? -1 : store.deleteContentsBetween(catId, after, upTo);
            if (deleted < 0) {
                failed = true;
                listError = step.lastError();
                break;
            }
            last = found == ContentStore::Lookup::Missing;
            after = upTo;
            done += deleted;
            progress.setValue(qMin(done, count));
            // Repaint and keep the game served; input waits until the
            // deletion is over (Cancel does not stop it anyway).
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        }
    }
    progress.setValue(count);

    if (failed) {
        work.db.rollback();
        progress.close();
        warnFailure(errorTitle, QStringLiteral("Unable to delete all content from DB!"), listError);
        // Nothing was deleted: bring the removed item back.
        loadCategories();
        return;
    }
    if (!work.db.commit()) {
        const QSqlError error = work.db.lastError();
        work.db.rollback();
        warnFailure(errorTitle, deleteFailed, error);
        // Nothing was deleted: bring the removed item back.
        loadCategories();
    }
    progress.close();
}

void dlgQuestionEditor::slotAccept()
{
    accept();
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
    // Else Import keeps the focus, and Return would open the importer again.
    leQuestion->setFocus();
}

void dlgQuestionEditor::showHealth()
{
    bool textsChanged = false;
    {
        dlgQuestionHealth health(this);
        health.exec();
        textsChanged = health.textsChanged();
    }
    // A question listed here may read differently now; the rows are found by their texts.
    if (textsChanged)
        loadContent();
    else
        showAccepted(twContent->currentItem());
    leQuestion->setFocus();
}
