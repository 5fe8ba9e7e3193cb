#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>
#include <memory>

#include "app/messagebox.h"
#include "db/database.h"
#include "editor/dlgquestioneditor.h"
#include "tests/common/testdatabase.h"

class dlgQuestionEditorTestAccess
{
public:
    static QString selectedCategory(const dlgQuestionEditor& editor) { return editor.selectedCategory; }
};

namespace {

QStringList itemTexts(const QComboBox* box)
{
    QStringList texts;
    for (int i = 0; i < box->count(); ++i)
        texts << box->itemText(i);
    return texts;
}

// The list's rows as "question|answer", sorted, so that checks do not depend
// on the view's order.
QStringList rows(const QTreeWidget* list)
{
    QStringList texts;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        texts << list->topLevelItem(i)->text(0) + QLatin1Char('|') + list->topLevelItem(i)->text(1);
    texts.sort();
    return texts;
}

QTreeWidgetItem* findRow(const QTreeWidget* list, const QString& question, int occurrence = 0)
{
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = list->topLevelItem(i);
        if (item->text(0) == question && occurrence-- == 0)
            return item;
    }
    return nullptr;
}

void doubleClick(QTreeWidget* list, QTreeWidgetItem* item)
{
    QVERIFY(item);
    list->scrollToItem(item);
    const QPoint centre = list->visualItemRect(item).center();
    QSignalSpy clicked(list, &QTreeWidget::itemDoubleClicked);
    // A real double-click starts with a plain click on the row.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, centre);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, centre);
    QCOMPARE(clicked.count(), 1);
    QCOMPARE(clicked.at(0).at(0).value<QTreeWidgetItem*>(), item);
}

QString editButtons(const dlgQuestionEditor& editor)
{
    auto state = [](const QPushButton* b) { return b->isEnabled() ? QLatin1Char('E') : QLatin1Char('-'); };
    return QString(state(editor.pbAdd)) + state(editor.pbUpdate) + state(editor.pbDelete);
}

}

class TestQuestionEditor : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void formKeepsItsShape();
    void tabOrderRunsThroughTheForm();
    void opensOnFirstCategoryInNameOrder();
    void opensOnEmptyDatabase();

    void addCategory_data();
    void addCategory();
    void renameCategory_data();
    void renameCategory();
    void deleteCategoryWithItsQuestions();
    void deleteUnknownCategoryChangesNothing();
    void deleteTypedCategoryRemovesItsOwnItem();
    void cancelDoesNotStopTheDeletion();
    void categoryWithQuoteWorksEverywhere();

    void addQuestionWithReturn_data();
    void addQuestionWithReturn();
    void returnDoesNothingWhileAddIsDisabled();
    void addToUnknownCategoryStoresNothing();
    void refusals_data();
    void refusals();
    void changeOnlyTheAnswer();
    void identicalRowsOnlyClickedOneChanges();
    void identicalRowsOnlyClickedOneGoes();
    void deleteWithOneFieldCleared();
    void vanishedRowIsReportedNotListed_data();
    void vanishedRowIsReportedNotListed();
    void buttonStates_data();
    void buttonStates();
    void failuresAreReported();

private:
    std::unique_ptr<dlgQuestionEditor> openEditor();
    void typeCategory(dlgQuestionEditor& editor, const QString& name);
    int contentCount() { return db->value(QStringLiteral("SELECT COUNT(*) FROM content")).toInt(); }

    std::unique_ptr<TestDatabase> db;
};

void TestQuestionEditor::init()
{
    db = std::make_unique<TestDatabase>();
    QVERIFY2(db->isValid(), qPrintable(db->error()));
    QString error;
    QSqlDatabase main = Database::open(db->filePath(), QLatin1String(QSqlDatabase::defaultConnection), &error);
    QVERIFY2(main.isOpen(), qPrintable(error));
    MessageBox::setTestMode(true);
}

void TestQuestionEditor::cleanup()
{
    QSqlDatabase::database(QLatin1String(QSqlDatabase::defaultConnection), false).close();
    QSqlDatabase::removeDatabase(QLatin1String(QSqlDatabase::defaultConnection));
    db.reset();
    MessageBox::setTestMode(false);
}

std::unique_ptr<dlgQuestionEditor> TestQuestionEditor::openEditor()
{
    auto editor = std::make_unique<dlgQuestionEditor>();
    editor->show();
    QApplication::setActiveWindow(editor.get());
    if (!QTest::qWaitForWindowActive(editor.get()))
        qWarning("editor window not active");
    return editor;
}

void TestQuestionEditor::typeCategory(dlgQuestionEditor& editor, const QString& name)
{
    editor.cbCategory->lineEdit()->selectAll();
    editor.cbCategory->lineEdit()->del();
    QTest::keyClicks(editor.cbCategory->lineEdit(), name);
    QCOMPARE(editor.cbCategory->currentText(), name);
}

void TestQuestionEditor::formKeepsItsShape()
{
    auto editor = openEditor();
    QVERIFY(!editor->windowIcon().pixmap(16, 16).isNull());
    QVERIFY(editor->width() >= 812 && editor->height() >= 589);
    QCOMPARE(editor->twContent->columnWidth(0), 375);
    // A focused push button is the default while it has the focus; in the
    // fields Add is.
    QTest::mouseClick(editor->leAnswer, Qt::LeftButton);
    QVERIFY(editor->pbAdd->isDefault());

    editor->resize(1600, 1200);
    QTest::qWait(0);
    const QList<QPushButton*> buttons = editor->findChildren<QPushButton*>();
    QCOMPARE(buttons.size(), 8);
    for (const QPushButton* button : buttons)
        QVERIFY2(button->width() <= 65 && button->height() <= 18, qPrintable(button->objectName()));

    QSignalSpy finished(editor.get(), &QDialog::finished);
    editor->pbClose->click();
    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.at(0).at(0).toInt(), int(QDialog::Accepted));
}

void TestQuestionEditor::tabOrderRunsThroughTheForm()
{
    auto editor = openEditor();
    QApplication::setActiveWindow(editor.get());
    QVERIFY(QTest::qWaitForWindowActive(editor.get()));
    // Disabled buttons take no focus; enable them to walk the whole chain.
    editor->pbAdd->setEnabled(true);
    editor->pbUpdate->setEnabled(true);
    editor->pbDelete->setEnabled(true);
    editor->leQuestion->setFocus();
    QStringList visited{QApplication::focusWidget()->objectName()};
    for (int i = 0; i < 10; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QWidget* focus = QApplication::focusWidget();
        // The editable box's line edit holds the box's focus.
        if (focus == editor->cbCategory->lineEdit())
            focus = editor->cbCategory;
        visited << focus->objectName();
    }
    QCOMPARE(visited, QStringList({"leQuestion", "leAnswer", "pbAdd", "pbUpdate", "pbDelete", "cbCategory",
                                   "pbCatAdd", "pbCatUpdate", "pbCatDelete", "twContent", "pbClose"}));
}

void TestQuestionEditor::opensOnFirstCategoryInNameOrder()
{
    const qint64 music = db->addCategory(QStringLiteral("Music"));
    const qint64 art = db->addCategory(QStringLiteral("Art"));
    db->addQuestion(music, QStringLiteral("Beatles drummer?"), QStringLiteral("Ringo"));
    db->addQuestion(art, QStringLiteral("Painter of the Mona Lisa?"), QStringLiteral("Leonardo"));
    db->addQuestion(art, QStringLiteral("Painter of Guernica?"), QStringLiteral("Picasso"));

    auto editor = openEditor();
    QCOMPARE(itemTexts(editor->cbCategory), QStringList({"Art", "Music"}));
    QCOMPARE(editor->cbCategory->currentText(), QStringLiteral("Art"));
    QCOMPARE(dlgQuestionEditorTestAccess::selectedCategory(*editor), QStringLiteral("Art"));
    QCOMPARE(rows(editor->twContent),
             QStringList({"Painter of Guernica?|Picasso", "Painter of the Mona Lisa?|Leonardo"}));
    QCOMPARE(editButtons(*editor), QStringLiteral("---"));

    editor->cbCategory->setCurrentIndex(1);
    QCOMPARE(rows(editor->twContent), QStringList({"Beatles drummer?|Ringo"}));
    QCOMPARE(dlgQuestionEditorTestAccess::selectedCategory(*editor), QStringLiteral("Music"));
    QVERIFY(MessageBox::takeShown().isEmpty());
}

void TestQuestionEditor::opensOnEmptyDatabase()
{
    auto editor = openEditor();
    QCOMPARE(editor->cbCategory->count(), 0);
    QCOMPARE(editor->cbCategory->currentText(), QString());
    QVERIFY(dlgQuestionEditorTestAccess::selectedCategory(*editor).isEmpty());
    QCOMPARE(editor->twContent->topLevelItemCount(), 0);
    QVERIFY(MessageBox::takeShown().isEmpty());
}

void TestQuestionEditor::addCategory_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<int>("selected");
    QTest::addColumn<QStringList>("stored");

    QTest::newRow("new name is appended and selected")
        << "Movies" << QStringList{"Art", "Sport", "Movies"} << 2 << QStringList{"Art", "Movies", "Sport"};
    QTest::newRow("duplicate name selects the first")
        << "Sport" << QStringList{"Art", "Sport", "Sport"} << 1 << QStringList{"Art", "Sport", "Sport"};
    QTest::newRow("empty name is stored as typed")
        << "" << QStringList{"Art", "Sport", ""} << 2 << QStringList{"", "Art", "Sport"};
    QTest::newRow("name with a quote") << "80's Music" << QStringList{"Art", "Sport", "80's Music"} << 2
                                       << QStringList{"80's Music", "Art", "Sport"};
}

void TestQuestionEditor::addCategory()
{
    QFETCH(QString, name);
    QFETCH(QStringList, items);
    QFETCH(int, selected);
    QFETCH(QStringList, stored);

    const qint64 art = db->addCategory(QStringLiteral("Art"));
    db->addCategory(QStringLiteral("Sport"));
    db->addQuestion(art, QStringLiteral("Painter of Guernica?"), QStringLiteral("Picasso"));
    auto editor = openEditor();
    QSignalSpy modified(editor.get(), &dlgQuestionEditor::categoryModified);

    typeCategory(*editor, name);
    editor->pbCatAdd->click();

    QVERIFY(MessageBox::takeShown().isEmpty());
    QCOMPARE(itemTexts(editor->cbCategory), items);
    QCOMPARE(editor->cbCategory->currentIndex(), selected);
    QCOMPARE(dlgQuestionEditorTestAccess::selectedCategory(*editor), name);
    QCOMPARE(db->column(QStringLiteral("SELECT catName FROM category ORDER BY catName")), stored);
    if (name != QLatin1String("Art"))
        QCOMPARE(editor->twContent->topLevelItemCount(), 0);
    QCOMPARE(modified.count(), 0);
}

void TestQuestionEditor::renameCategory_data()
{
    QTest::addColumn<QString>("newName");
    QTest::addColumn<QMessageBox::StandardButton>("answer");
    QTest::addColumn<QStringList>("items");

    QTest::newRow("yes renames in place") << "Fine Art" << QMessageBox::Yes << QStringList{"Art", "Fine Art"};
    QTest::newRow("no changes nothing") << "Fine Art" << QMessageBox::No << QStringList{"Art", "Painting"};
    QTest::newRow("new name with a quote")
        << "Painter's Corner" << QMessageBox::Yes << QStringList{"Art", "Painter's Corner"};
}

void TestQuestionEditor::renameCategory()
{
    QFETCH(QString, newName);
    QFETCH(QMessageBox::StandardButton, answer);
    QFETCH(QStringList, items);
    const bool renamed = answer == QMessageBox::Yes;

    db->addCategory(QStringLiteral("Art"));
    const qint64 painting = db->addCategory(QStringLiteral("Painting"));
    db->addQuestion(painting, QStringLiteral("Painter of Guernica?"), QStringLiteral("Picasso"));
    auto editor = openEditor();
    editor->cbCategory->setCurrentIndex(1);
    QSignalSpy modified(editor.get(), &dlgQuestionEditor::categoryModified);

    typeCategory(*editor, newName);
    MessageBox::setNextAnswer(answer);
    editor->pbCatUpdate->click();

    const QList<MessageBox::Shown> shown = MessageBox::takeShown();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].kind, MessageBox::Question);
    QCOMPARE(shown[0].title, QStringLiteral("About to Update!"));
    QCOMPARE(shown[0].text, "You are about to update the category '" + newName
                                + "'\nDoing so will also update the category for all questions in \nthis "
                                  "category! Continue?");
    QCOMPARE(itemTexts(editor->cbCategory), items);
    QCOMPARE(editor->cbCategory->currentIndex(), 1);
    QCOMPARE(modified.count(), renamed ? 1 : 0);
    QCOMPARE(db->value(QStringLiteral("SELECT catName FROM category WHERE catID=%1").arg(painting)).toString(),
             renamed ? newName : QStringLiteral("Painting"));
    if (renamed) {
        QCOMPARE(dlgQuestionEditorTestAccess::selectedCategory(*editor), newName);
        // The questions stay with the renamed category.
        editor->cbCategory->setCurrentIndex(0);
        editor->cbCategory->setCurrentIndex(1);
        QCOMPARE(rows(editor->twContent), QStringList({"Painter of Guernica?|Picasso"}));
    }
}

void TestQuestionEditor::deleteCategoryWithItsQuestions()
{
    const qint64 art = db->addCategory(QStringLiteral("Art"));
    const qint64 music = db->addCategory(QStringLiteral("Music"));
    db->addQuestion(art, QStringLiteral("Painter of Guernica?"), QStringLiteral("Picasso"));
    db->addQuestions(music, 25);
    auto editor = openEditor();
    editor->cbCategory->setCurrentIndex(1);
    QSignalSpy modified(editor.get(), &dlgQuestionEditor::categoryModified);

    MessageBox::setNextAnswer(QMessageBox::No);
    editor->pbCatDelete->click();
    QCOMPARE(modified.count(), 0);
    QCOMPARE(itemTexts(editor->cbCategory), QStringList({"Art", "Music"}));
    QCOMPARE(contentCount(), 26);

    MessageBox::setNextAnswer(QMessageBox::Yes);
    editor->pbCatDelete->click();

    const QList<MessageBox::Shown> shown = MessageBox::takeShown();
    QCOMPARE(shown.size(), 2);
    QCOMPARE(shown[0].text, shown[1].text);
    QCOMPARE(shown[0].kind, MessageBox::Question);
    QCOMPARE(shown[0].title, QStringLiteral("About to Delete!"));
    QCOMPARE(shown[0].text, QStringLiteral("You are about to delete the category 'Music'\nDoing so will also delete "
                                           "all questions in \n\nthis category! Continue?"));
    QCOMPARE(modified.count(), 1);
    QCOMPARE(itemTexts(editor->cbCategory), QStringList({"Art"}));
    QCOMPARE(editor->cbCategory->currentText(), QStringLiteral("Art"));
    QCOMPARE(dlgQuestionEditorTestAccess::selectedCategory(*editor), QStringLiteral("Art"));
    QCOMPARE(rows(editor->twContent), QStringList({"Painter of Guernica?|Picasso"}));
    QCOMPARE(db->column(QStringLiteral("SELECT catName FROM category")), QStringList({"Art"}));
    QCOMPARE(db->column(QStringLiteral("SELECT question FROM content")), QStringList({"Painter of Guernica?"}));
    // The links are left behind and name no category any more.
    QCOMPARE(db->value(QStringLiteral("SELECT COUNT(*) FROM category_content WHERE catID=%1").arg(music)).toInt(),
             25);
}

void TestQuestionEditor::deleteUnknownCategoryChangesNothing()
{
    const qint64 art = db->addCategory(QStringLiteral("Art"));
    db->addQuestion(art, QStringLiteral("Painter of Guernica?"), QStringLiteral("Picasso"));
    // Questions of no category must not be touched either.
    const qint64 orphan = db->addQuestion(0, QStringLiteral("Orphan?"), QStringLiteral("Yes"));
    auto editor = openEditor();
    QSignalSpy modified(editor.get(), &dlgQuestionEditor::categoryModified);

    typeCategory(*editor, QStringLiteral("Nowhere"));
    MessageBox::setNextAnswer(QMessageBox::Yes);
    editor->pbCatDelete->click();

    const QList<MessageBox::Shown> shown = MessageBox::takeShown();
    QCOMPARE(shown.size(), 2);
    QCOMPARE(shown[1].kind, MessageBox::Warning);
    QCOMPARE(shown[1].title, QStringLiteral("Error"));
    QCOMPARE(shown[1].text, QStringLiteral("There is no category named 'Nowhere'!"));
    QCOMPARE(modified.count(), 0);
    QCOMPARE(itemTexts(editor->cbCategory), QStringList({"Art"}));
    QCOMPARE(db->column(QStringLiteral("SELECT catName FROM category")), QStringList({"Art"}));
    QCOMPARE(db->value(QStringLiteral("SELECT COUNT(*) FROM content WHERE contentID=%1").arg(orphan)).toInt(), 1);
    QCOMPARE(contentCount(), 2);
}

void TestQuestionEditor::deleteTypedCategoryRemovesItsOwnItem()
{
    db->addCategory(QStringLiteral("Art"));
    db->addCategory(QStringLiteral("Music"));
    db->addCategory(QStringLiteral("Sport"));
    auto editor = openEditor();
    QCOMPARE(editor->cbCategory->currentText(), QStringLiteral("Art"));

    typeCategory(*editor, QStringLiteral("Sport"));
    MessageBox::setNextAnswer(QMessageBox::Yes);
    editor->pbCatDelete->click();

    QCOMPARE(db->column(QStringLiteral("SELECT catName FROM category ORDER BY catName")),
             QStringList({"Art", "Music"}));
    QCOMPARE(itemTexts(editor->cbCategory), QStringList({"Art", "Music"}));
}

void TestQuestionEditor::cancelDoesNotStopTheDeletion()
{
    const qint64 art = db->addCategory(QStringLiteral("Art"));
    const qint64 music = db->addCategory(QStringLiteral("Music"));
    db->addQuestion(art, QStringLiteral("Painter of Guernica?"), QStringLiteral("Picasso"));
    db->addQuestions(music, 300);
    auto editor = openEditor();
    editor->cbCategory->setCurrentIndex(1);

    // The deletion loop runs the event loop; record from a timer and assert
    // afterwards, since a failing check inside would leave the loop running.
    QList<int> values;
    QString label;
    int maximum = -1;
    bool windowModal = false;
    bool cancelled = false;
    QTimer watch;
    connect(&watch, &QTimer::timeout, [&] {
        auto* progress = editor->findChild<QProgressDialog*>();
        if (!progress)
            return;
        values << progress->value();
        if (!cancelled && progress->value() >= 100) {
            label = progress->labelText();
            maximum = progress->maximum();
            windowModal = progress->windowModality() == Qt::WindowModal;
            auto* cancel = progress->findChild<QPushButton*>();
            if (cancel && cancel->text() == QLatin1String("Cancel")) {
                cancel->click();
                cancelled = progress->wasCanceled();
            }
        }
    });
    watch.start(0);

    MessageBox::setNextAnswer(QMessageBox::Yes);
    editor->pbCatDelete->click();
    watch.stop();

    QVERIFY(cancelled);
    QCOMPARE(label, QStringLiteral("Deleting Content..."));
    QCOMPARE(maximum, 300);
    QVERIFY(windowModal);
    QVERIFY(values.size() > 100);
    // The value keeps moving after Cancel.
    QVERIFY(values.last() > 250);
    QCOMPARE(db->column(QStringLiteral("SELECT question FROM content")), QStringList({"Painter of Guernica?"}));
    QCOMPARE(db->column(QStringLiteral("SELECT catName FROM category")), QStringList({"Art"}));
    QVERIFY(editor->findChildren<QProgressDialog*>().isEmpty());
}

void TestQuestionEditor::categoryWithQuoteWorksEverywhere()
{
    db->addCategory(QStringLiteral("Art"));
    auto editor = openEditor();
    // Quotes and colons before words, which look like placeholders.
    const QString question = QStringLiteral("Which band had 80's hits like 'Time:answer'?");
    const QString answer = QStringLiteral("Duran Duran's :catName");

    typeCategory(*editor, QStringLiteral("80's Music"));
    editor->pbCatAdd->click();
    editor->leQuestion->setText(question);
    editor->leAnswer->setText(answer);
    editor->pbAdd->click();
    QVERIFY(MessageBox::takeShown().isEmpty());
    QCOMPARE(db->column(QStringLiteral("SELECT c.question || '|' || c.answer FROM content c JOIN category_content cc "
                                       "ON cc.contentID=c.contentID JOIN category cat ON cat.catID=cc.catID WHERE "
                                       "cat.catName='80''s Music'")),
             QStringList({question + QLatin1Char('|') + answer}));

    // Reopened, the list comes from the database.
    editor.reset();
    editor = openEditor();
    editor->cbCategory->setCurrentIndex(editor->cbCategory->findText(QStringLiteral("80's Music")));
    QCOMPARE(rows(editor->twContent), QStringList({question + QLatin1Char('|') + answer}));

    doubleClick(editor->twContent, editor->twContent->topLevelItem(0));
    QCOMPARE(editor->leAnswer->text(), answer);
    editor->leQuestion->setText(question + QStringLiteral(" (it's easy)"));
    editor->pbUpdate->click();
    QVERIFY(MessageBox::takeShown().isEmpty());
    QCOMPARE(db->column(QStringLiteral("SELECT question FROM content")),
             QStringList({question + QStringLiteral(" (it's easy)")}));

    doubleClick(editor->twContent, editor->twContent->topLevelItem(0));
    editor->pbDelete->click();
    QVERIFY(MessageBox::takeShown().isEmpty());
    QCOMPARE(contentCount(), 0);
    QCOMPARE(db->value(QStringLiteral("SELECT COUNT(*) FROM category_content")).toInt(), 0);
    QCOMPARE(editor->twContent->topLevelItemCount(), 0);

    MessageBox::setNextAnswer(QMessageBox::Yes);
    editor->pbCatDelete->click();
    QCOMPARE(MessageBox::takeShown().size(), 1);
    QCOMPARE(db->column(QStringLiteral("SELECT catName FROM category")), QStringList({"Art"}));
}

void TestQuestionEditor::addQuestionWithReturn_data()
{
    QTest::addColumn<QString>("field");
    QTest::newRow("return in question") << "leQuestion";
    QTest::newRow("return in answer") << "leAnswer";
}

void TestQuestionEditor::addQuestionWithReturn()
{
    QFETCH(QString, field);
    const qint64 art = db->addCategory(QStringLiteral("Art"));
    db->addQuestion(art, QStringLiteral("Painter of Guernica?"), QStringLiteral("Picasso"));
    auto editor = openEditor();

    QTest::mouseClick(editor->leQuestion, Qt::LeftButton);
    QTest::keyClicks(editor->leQuestion, QStringLiteral("Painter of the Mona Lisa?"));
    QTest::mouseClick(editor->leAnswer, Qt::LeftButton);
    QTest::keyClicks(editor->leAnswer, QStringLiteral("Leonardo"));
    QTest::mouseClick(editor->findChild<QLineEdit*>(field), Qt::LeftButton);
    QCOMPARE(editButtons(*editor), QStringLiteral("E--"));
    QTest::keyClick(editor->findChild<QLineEdit*>(field), Qt::Key_Return);

    QTRY_COMPARE(editor->twContent->topLevelItemCount(), 2);
    QVERIFY(MessageBox::takeShown().isEmpty());
    QVERIFY(findRow(editor->twContent, QStringLiteral("Painter of the Mona Lisa?")));
    QVERIFY(editor->leQuestion->text().isEmpty());
    QVERIFY(editor->leAnswer->text().isEmpty());
    QCOMPARE(editButtons(*editor), QStringLiteral("---"));
    QCOMPARE(db->value(QStringLiteral("SELECT cc.catID FROM content c JOIN category_content cc ON "
                                      "cc.contentID=c.contentID WHERE c.question='Painter of the Mona Lisa?'"))
                 .toLongLong(),
             art);
}

void TestQuestionEditor::returnDoesNothingWhileAddIsDisabled()
{
    db->addCategory(QStringLiteral("Art"));
    auto editor = openEditor();
    QTest::mouseClick(editor->leAnswer, Qt::LeftButton);
    QTest::keyClicks(editor->leAnswer, QStringLiteral("Leonardo"));
    QCOMPARE(editButtons(*editor), QStringLiteral("---"));
    QTest::keyClick(editor->leAnswer, Qt::Key_Return);
    QTest::qWait(50);
    QVERIFY(MessageBox::takeShown().isEmpty());
    QCOMPARE(contentCount(), 0);
}

void TestQuestionEditor::addToUnknownCategoryStoresNothing()
{
    db->addCategory(QStringLiteral("Art"));
    auto editor = openEditor();
    typeCategory(*editor, QStringLiteral("Nowhere"));
    editor->leQuestion->setText(QStringLiteral("Painter of Guernica?"));
    editor->leAnswer->setText(QStringLiteral("Picasso"));
    editor->pbAdd->click();

    const QList<MessageBox::Shown> shown = MessageBox::takeShown();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].kind, MessageBox::Warning);
    QCOMPARE(shown[0].title, QStringLiteral("Error"));
    QCOMPARE(shown[0].text, QStringLiteral("There is no category named 'Nowhere'! Add the category first."));
    QCOMPARE(contentCount(), 0);
    QCOMPARE(db->value(QStringLiteral("SELECT COUNT(*) FROM category_content")).toInt(), 0);
    QCOMPARE(editor->twContent->topLevelItemCount(), 0);
    QCOMPARE(editor->leQuestion->text(), QStringLiteral("Painter of Guernica?"));
    QCOMPARE(editButtons(*editor), QStringLiteral("E--"));
}

void TestQuestionEditor::refusals_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("question");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");

    QTest::newRow("add without answer") << "pbAdd" << "Q?" << "" << "Error"
                                        << "Please fill in both a Question & Answer!";
    QTest::newRow("add without question") << "pbAdd" << "" << "A" << "Error"
                                          << "Please fill in both a Question & Answer!";
    QTest::newRow("update without answer") << "pbUpdate" << "Q?" << "" << "Warning" << "Please fill in both fields!";
    QTest::newRow("delete with both empty") << "pbDelete" << "" << "" << "Warning"
                                            << "Please select an item to delete!";
}

void TestQuestionEditor::refusals()
{
    QFETCH(QString, button);
    QFETCH(QString, question);
    QFETCH(QString, answer);
    QFETCH(QString, title);
    QFETCH(QString, text);

    const qint64 art = db->addCategory(QStringLiteral("Art"));
    db->addQuestion(art, QStringLiteral("Painter of Guernica?"), QStringLiteral("Picasso"));
    auto editor = openEditor();
    doubleClick(editor->twContent, editor->twContent->topLevelItem(0));
    editor->leQuestion->setText(question);
    editor->leAnswer->setText(answer);
    const QString before = editButtons(*editor);
    editor->findChild<QPushButton*>(button)->click();

    const QList<MessageBox::Shown> shown = MessageBox::takeShown();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].kind, MessageBox::Warning);
    QCOMPARE(shown[0].title, title);
    QCOMPARE(shown[0].text, text);
    QCOMPARE(editButtons(*editor), before);
    QCOMPARE(rows(editor->twContent), QStringList({"Painter of Guernica?|Picasso"}));
    QCOMPARE(db->column(QStringLiteral("SELECT question || '|' || answer FROM content")),
             QStringList({"Painter of Guernica?|Picasso"}));
}

void TestQuestionEditor::changeOnlyTheAnswer()
{
    const qint64 art = db->addCategory(QStringLiteral("Art"));
    const qint64 id = db->addQuestion(art, QStringLiteral("Painter of Guernica?"), QStringLiteral("Picaso"));
    auto editor = openEditor();
    doubleClick(editor->twContent, editor->twContent->topLevelItem(0));
    QCOMPARE(editButtons(*editor), QStringLiteral("-EE"));
    editor->leAnswer->setText(QStringLiteral("Picasso"));
    editor->pbUpdate->click();

    QVERIFY(MessageBox::takeShown().isEmpty());
    QCOMPARE(db->value(QStringLiteral("SELECT answer FROM content WHERE contentID=%1").arg(id)).toString(),
             QStringLiteral("Picasso"));
    QCOMPARE(db->value(QStringLiteral("SELECT catID FROM category_content WHERE contentID=%1").arg(id)).toLongLong(),
             art);
    QCOMPARE(rows(editor->twContent), QStringList({"Painter of Guernica?|Picasso"}));
    QVERIFY(editor->leQuestion->text().isEmpty() && editor->leAnswer->text().isEmpty());
    QCOMPARE(editButtons(*editor), QStringLiteral("---"));
}

void TestQuestionEditor::identicalRowsOnlyClickedOneChanges()
{
    const qint64 art = db->addCategory(QStringLiteral("Art"));
    db->addQuestion(art, QStringLiteral("Same?"), QStringLiteral("Same"));
    db->addQuestion(art, QStringLiteral("Same?"), QStringLiteral("Same"));
    auto editor = openEditor();
    QTreeWidgetItem* second = findRow(editor->twContent, QStringLiteral("Same?"), 1);
    QTreeWidgetItem* first = findRow(editor->twContent, QStringLiteral("Same?"), 0);
    doubleClick(editor->twContent, second);
    editor->leQuestion->setText(QStringLiteral("Changed?"));
    editor->pbUpdate->click();

    QVERIFY(MessageBox::takeShown().isEmpty());
    QCOMPARE(second->text(0), QStringLiteral("Changed?"));
    QCOMPARE(first->text(0), QStringLiteral("Same?"));
    QCOMPARE(db->column(QStringLiteral("SELECT question FROM content ORDER BY question")),
             QStringList({"Changed?", "Same?"}));
}

void TestQuestionEditor::identicalRowsOnlyClickedOneGoes()
{
    const qint64 art = db->addCategory(QStringLiteral("Art"));
    db->addQuestion(art, QStringLiteral("Same?"), QStringLiteral("Same"));
    db->addQuestion(art, QStringLiteral("Same?"), QStringLiteral("Same"));
    auto editor = openEditor();
    QTreeWidgetItem* first = findRow(editor->twContent, QStringLiteral("Same?"), 0);
    doubleClick(editor->twContent, findRow(editor->twContent, QStringLiteral("Same?"), 1));
    editor->pbDelete->click();

    QVERIFY(MessageBox::takeShown().isEmpty());
    QCOMPARE(editor->twContent->topLevelItemCount(), 1);
    QCOMPARE(editor->twContent->topLevelItem(0), first);
    QCOMPARE(contentCount(), 1);
    QCOMPARE(db->value(QStringLiteral("SELECT COUNT(*) FROM category_content")).toInt(), 1);
    QCOMPARE(editButtons(*editor), QStringLiteral("---"));
}

void TestQuestionEditor::deleteWithOneFieldCleared()
{
    const qint64 art = db->addCategory(QStringLiteral("Art"));
    db->addQuestion(art, QStringLiteral("Painter of Guernica?"), QStringLiteral("Picasso"));
    db->addQuestion(art, QStringLiteral("Painter of the Mona Lisa?"), QStringLiteral("Leonardo"));
    auto editor = openEditor();
    doubleClick(editor->twContent, findRow(editor->twContent, QStringLiteral("Painter of Guernica?")));
    editor->leQuestion->clear();
    editor->pbDelete->click();

    QVERIFY(MessageBox::takeShown().isEmpty());
    QCOMPARE(rows(editor->twContent), QStringList({"Painter of the Mona Lisa?|Leonardo"}));
    QCOMPARE(db->column(QStringLiteral("SELECT question FROM content")), QStringList({"Painter of the Mona Lisa?"}));
}

void TestQuestionEditor::vanishedRowIsReportedNotListed_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");
    QTest::newRow("update") << "pbUpdate" << "Error" << "Unable to update content in DB!";
    QTest::newRow("delete") << "pbDelete" << "Info" << "Unable to delete content!";
}

void TestQuestionEditor::vanishedRowIsReportedNotListed()
{
    QFETCH(QString, button);
    QFETCH(QString, title);
    QFETCH(QString, text);

    const qint64 art = db->addCategory(QStringLiteral("Art"));
    const qint64 id = db->addQuestion(art, QStringLiteral("Painter of Guernica?"), QStringLiteral("Picasso"));
    auto editor = openEditor();
    doubleClick(editor->twContent, editor->twContent->topLevelItem(0));
    editor->leAnswer->setText(QStringLiteral("Pablo Picasso"));
    // Someone else removes the question while it is being edited.
    QVERIFY(db->exec(QStringLiteral("DELETE FROM content WHERE contentID=%1").arg(id)));
    editor->findChild<QPushButton*>(button)->click();

    const QList<MessageBox::Shown> shown = MessageBox::takeShown();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].kind, MessageBox::Warning);
    QCOMPARE(shown[0].title, title);
    QCOMPARE(shown[0].text, text);
    QCOMPARE(rows(editor->twContent), QStringList({"Painter of Guernica?|Picasso"}));
    QCOMPARE(editor->leAnswer->text(), QStringLiteral("Pablo Picasso"));
    QCOMPARE(editButtons(*editor), QStringLiteral("-EE"));
}

void TestQuestionEditor::buttonStates_data()
{
    QTest::addColumn<QString>("event");
    QTest::addColumn<QString>("expected");

    QTest::newRow("constructed") << "none" << "---";
    QTest::newRow("question typed") << "type" << "E--";
    QTest::newRow("answer typed only") << "type answer" << "---";
    QTest::newRow("row double-clicked") << "double-click" << "-EE";
    QTest::newRow("typing after double-click") << "double-click, type" << "EEE";
    QTest::newRow("successful add") << "type, add" << "---";
    QTest::newRow("successful update") << "double-click, update" << "---";
    QTest::newRow("successful delete") << "double-click, delete" << "---";
    QTest::newRow("refused add") << "double-click, type, clear answer, add" << "EEE";
    QTest::newRow("list reloaded by a category change") << "double-click, type, change category" << "E--";
}

void TestQuestionEditor::buttonStates()
{
    QFETCH(QString, event);
    QFETCH(QString, expected);

    const qint64 art = db->addCategory(QStringLiteral("Art"));
    db->addCategory(QStringLiteral("Music"));
    db->addQuestion(art, QStringLiteral("Painter of Guernica?"), QStringLiteral("Picasso"));
    auto editor = openEditor();

    const QStringList steps = event.split(QStringLiteral(", "));
    for (const QString& step : steps) {
        if (step == QLatin1String("type")) {
            QTest::keyClicks(editor->leQuestion, QStringLiteral("x"));
            QTest::keyClicks(editor->leAnswer, QStringLiteral("y"));
        } else if (step == QLatin1String("type answer")) {
            QTest::keyClicks(editor->leAnswer, QStringLiteral("y"));
        } else if (step == QLatin1String("double-click")) {
            doubleClick(editor->twContent, editor->twContent->topLevelItem(0));
        } else if (step == QLatin1String("clear answer")) {
            editor->leAnswer->clear();
        } else if (step == QLatin1String("add")) {
            editor->pbAdd->click();
        } else if (step == QLatin1String("update")) {
            editor->pbUpdate->click();
        } else if (step == QLatin1String("delete")) {
            editor->pbDelete->click();
        } else if (step == QLatin1String("change category")) {
            editor->cbCategory->setCurrentIndex(1);
        }
    }
    QCOMPARE(editButtons(*editor), expected);
    const bool refused = event.endsWith(QLatin1String("clear answer, add"));
    QCOMPARE(MessageBox::takeShown().size(), refused ? 1 : 0);
}

void TestQuestionEditor::failuresAreReported()
{
    // A default connection on a file that is not there: every statement fails.
    QSqlDatabase::database(QLatin1String(QSqlDatabase::defaultConnection), false).close();
    QSqlDatabase::removeDatabase(QLatin1String(QSqlDatabase::defaultConnection));
    QSqlDatabase missing = QSqlDatabase::addDatabase(Database::driverName);
    missing.setDatabaseName(db->dir() + QStringLiteral("/missing.fdb"));
    missing.setUserName(Database::userName);
    missing.setPassword(Database::password);

    auto editor = openEditor();
    QSignalSpy modified(editor.get(), &dlgQuestionEditor::categoryModified);
    typeCategory(*editor, QStringLiteral("Movies"));
    editor->pbCatAdd->click();
    typeCategory(*editor, QStringLiteral("Films"));
    MessageBox::setNextAnswer(QMessageBox::Yes);
    editor->pbCatUpdate->click();
    typeCategory(*editor, QStringLiteral("Films"));
    MessageBox::setNextAnswer(QMessageBox::Yes);
    editor->pbCatDelete->click();
    typeCategory(*editor, QStringLiteral("Films"));
    editor->leQuestion->setText(QStringLiteral("Painter of Guernica?"));
    editor->leAnswer->setText(QStringLiteral("Picasso"));
    editor->pbAdd->click();

    // Kind, title and the start of the text; some texts end in the
    // database's own message.
    const QStringList expected{"0/Error/Unable to load categories!",
                               "0/Error/Unable to add category! ",
                               "3/About to Update!/You are about to update the category 'Films'",
                               "1/Error/Unable to update category from DB!",
                               "3/About to Delete!/You are about to delete the category 'Films'",
                               "1/Error/Unable to delete category from DB!",
                               "1/Error/Unable to add content to DB!"};
    QStringList seen;
    for (const MessageBox::Shown& box : MessageBox::takeShown())
        seen << QString::number(box.kind) + QLatin1Char('/') + box.title + QLatin1Char('/') + box.text;
    QCOMPARE(seen.size(), expected.size());
    for (int i = 0; i < seen.size(); ++i)
        QVERIFY2(seen[i].startsWith(expected[i]), qPrintable(seen[i]));
    QCOMPARE(modified.count(), 2);
    QCOMPARE(editor->twContent->topLevelItemCount(), 0);
    QCOMPARE(editor->leQuestion->text(), QStringLiteral("Painter of Guernica?"));
}

QTEST_MAIN(TestQuestionEditor)
#include "tst_questioneditor.moc"
