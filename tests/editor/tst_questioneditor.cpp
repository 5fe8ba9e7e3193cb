// The question editor on a real database, through its widgets, beside a main
// window whose running game hears of the editor's changes.

#include <QHeaderView>
#include <QProgressDialog>
#include <QSignalSpy>

#include "editor/dlgquestioneditor.h"
#include "gui/messagebox.h"
#include "tests/common/testaccess.h"
#include "tests/common/testwindow.h"

class TestQuestionEditor : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestWindow> t;
    std::unique_ptr<dlgQuestionEditor> editor;
    const QString guernica = QStringLiteral("Painter of Guernica?|Picasso");

    // Active, so that keys go to it.
    void openEditor()
    {
        editor = std::make_unique<dlgQuestionEditor>();
        editor->show();
        QApplication::setActiveWindow(editor.get());
        QTest::qWaitForWindowActive(editor.get());
    }
    // Types name into the category box and clicks, with the answer for the box it asks.
    void onCategory(QPushButton* button, const QString& name, QMessageBox::StandardButton answer = {})
    {
        editor->cbCategory->setEditText(name);
        if (answer != QMessageBox::NoButton)
            MessageBox::setNextAnswer(answer);
        button->click();
    }
    // A real double-click starts with a plain click on the row.
    void doubleClick(int row)
    {
        const QPoint centre = editor->twContent->visualItemRect(editor->twContent->topLevelItem(row)).center();
        QTest::mouseClick(editor->twContent->viewport(), Qt::LeftButton, Qt::NoModifier, centre);
        QTest::mouseDClick(editor->twContent->viewport(), Qt::LeftButton, Qt::NoModifier, centre);
    }
    QStringList boxItems()
    {
        QStringList texts;
        for (int i = 0; i < editor->cbCategory->count(); ++i)
            texts << editor->cbCategory->itemText(i);
        return texts;
    }
    // Add, Update and Delete as "E" (enabled) or "-".
    QString buttons()
    {
        const auto state = [](const QPushButton* b) { return QLatin1Char(b->isEnabled() ? 'E' : '-'); };
        return QString(state(editor->pbAdd)) + state(editor->pbUpdate) + state(editor->pbDelete);
    }
    static QStringList shownTexts()
    {
        QStringList texts;
        for (const MessageBox::Shown& box : MessageBox::takeShown())
            texts << box.text;
        return texts;
    }
    int count(const QString& table) { return t->db.value("SELECT COUNT(*) FROM " + table).toInt(); }
    QStringList categories() { return t->db.column(QStringLiteral("SELECT catName FROM category ORDER BY 1")); }

private Q_SLOTS:
    // Every test starts with the category Art holding one question.
    void init()
    {
        isolateSettings();
        MessageBox::setTestMode(true);
        t = std::make_unique<TestWindow>();
        QVERIFY2(t->db.isValid(), qPrintable(t->db.error()));
        t->db.addQuestion(t->db.addCategory(QStringLiteral("Art")), "Painter of Guernica?", "Picasso");
        QVERIFY(t->open(false));
    }
    void cleanup()
    {
        editor.reset();
        t.reset();
        MessageBox::takeShown();
    }

    // One category's life, in a database made before names had to differ in
    // more than case: it opens as it is, ART beside Art, and refuses the next
    // such name; Return in the box adds none either. Music holds 300
    // questions, deleted with the progress dialog's Cancel pressed on the way.
    // A category that does not exist is neither deleted, which would hit
    // questions of no category, nor added to, which would store a question of
    // none. After any deletion the box and the list show the category that an
    // Update renames, never the deleted name.
    void categoryLifecycle()
    {
        t->window.reset();
        QVERIFY(t->db.exec(QStringLiteral("DROP TRIGGER category_unique_name")));
        t->db.addCategory(QStringLiteral("ART"));
        const qint64 music = t->db.addCategory(QStringLiteral("Music"));
        t->db.addQuestions(music, 300);
        t->db.addQuestion(0, QStringLiteral("Orphan?"), QStringLiteral("Yes"));
        QVERIFY(t->open(false));
        openEditor();
        // Renames and deletions, refused ones too, are told to the game.
        QSignalSpy modified(editor.get(), &dlgQuestionEditor::categoryModified);
        QTest::mouseClick(editor->cbCategory->lineEdit(), Qt::LeftButton);
        editor->cbCategory->setEditText(QStringLiteral("Ghost"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        onCategory(editor->pbCatDelete, QStringLiteral("Nowhere"), QMessageBox::Yes);
        editor->leQuestion->setText(QStringLiteral("Painter of the Mona Lisa?"));
        editor->leAnswer->setText(QStringLiteral("Leonardo"));
        editor->pbAdd->click();
        QCOMPARE(shownTexts().mid(1), (QStringList{"There is no category named 'Nowhere'!",
                                                   "There is no category named 'Nowhere'! Add the category first."}));
        QCOMPARE(count("content"), 302);

        for (const QString name : {"MUSIC", "art", ""})
            onCategory(editor->pbCatAdd, name);
        editor->cbCategory->setCurrentIndex(2);
        onCategory(editor->pbCatUpdate, QStringLiteral("art"), QMessageBox::Yes);
        onCategory(editor->pbCatUpdate, QStringLiteral("Songs"), QMessageBox::No);
        onCategory(editor->pbCatUpdate, QStringLiteral("Songs"), QMessageBox::Yes);
        // Its own name in another case is no other category's.
        onCategory(editor->pbCatUpdate, QStringLiteral("SONGS"), QMessageBox::Yes);
        QCOMPARE(boxItems(), QStringList({"ART", "Art", "SONGS", ""}));
        // "" is listed after SONGS, the one selected: the box goes back to SONGS,
        // and an Update of the box as it is renames nothing.
        onCategory(editor->pbCatDelete, QString(), QMessageBox::Yes);
        QCOMPARE(editor->cbCategory->currentText() + QString::number(editor->twContent->topLevelItemCount()),
                 "SONGS300");
        MessageBox::setNextAnswer(QMessageBox::Yes);
        editor->pbCatUpdate->click();
        onCategory(editor->pbCatDelete, QStringLiteral("SONGS"), QMessageBox::No);
        // The deletion runs the event loop: press Cancel from a timer and
        // assert afterwards, since a failing check inside would hang it.
        bool cancelled = false;
        QTimer watch;
        connect(&watch, &QTimer::timeout, [&] {
            auto* progress = editor->findChild<QProgressDialog*>();
            if (progress && !cancelled && progress->value() >= 100) {
                progress->findChild<QPushButton*>()->click();
                cancelled = progress->wasCanceled();
            }
        });
        watch.start(0);
        onCategory(editor->pbCatDelete, QStringLiteral("SONGS"), QMessageBox::Yes);
        watch.stop();

        QVERIFY(cancelled);
        QCOMPARE(modified.count(), 6);
        QCOMPARE(editor->cbCategory->currentText() + '|' + treeRows(editor->twContent).join(""), "Art|" + guernica);
        const QStringList shown = shownTexts();
        QCOMPARE(shown.size(), 11);
        QVERIFY2(shown[0].startsWith("Unable to add category! ")
                     && shown[0].contains("There is already a category named \"Music\""), qPrintable(shown[0]));
        QVERIFY2(shown[1].contains("There is already a category named \"A"), qPrintable(shown[1]));
        QCOMPARE(shown[3], QStringLiteral("Unable to update category from DB! There is already a category named \"Art\"."));
        QCOMPARE(boxItems(), QStringList({"ART", "Art"}));
        QCOMPARE(categories(), QStringList({"ART", "Art"}));
        QCOMPARE(count("content"), 2);
        // The renamed category's questions are gone, their links left behind.
        QCOMPARE(count(QStringLiteral("category_content WHERE catID=%1").arg(music)), 300);
    }

    // Questions entered one after another with the mouse on the buttons, with
    // quotes, and colons before words that look like placeholders, through
    // every statement; the same question twice, of which the one clicked
    // changes. The list starts A to Z; the buttons follow each step; what is
    // typed after Add, Update or Delete goes into the question field.
    void enteringQuestions()
    {
        openEditor();
        QCOMPARE(QApplication::focusWidget(), editor->leQuestion);
        QCOMPARE(buttons(), QStringLiteral("---"));
        const QString question = QStringLiteral("Which band had 80's hits like 'Time:answer'?");
        const QString answer = QStringLiteral("Duran Duran's :catName");
        onCategory(editor->pbCatAdd, QStringLiteral("80's Music"));
        editor->leAnswer->setText(answer);
        editor->leQuestion->setText(question);
        QCOMPARE(buttons(), QStringLiteral("E--"));
        QStringList typedInto;
        const auto typeAfter = [&](QPushButton* button) {
            QTest::mouseClick(button, Qt::LeftButton);
            QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("Abba's hit?"));
            const QList<QTreeWidgetItem*> selected = editor->twContent->selectedItems();
            typedInto << editor->cbCategory->currentText() + '|' + editor->leQuestion->text() + '|' + buttons() + '|'
                    + (selected.isEmpty() ? QString() : selected[0]->text(0).left(5));
        };
        typeAfter(editor->pbAdd);
        editor->leAnswer->setText(QStringLiteral("Waterloo"));
        QTest::keyClick(editor->leAnswer, Qt::Key_Return);
        editor->leQuestion->setText(question);
        editor->leAnswer->setText(answer);
        QTest::keyClick(editor->leAnswer, Qt::Key_Return);

        // Reopened on the first name, 80's Music: the list comes from the database.
        openEditor();
        const QString abba = QStringLiteral("Abba's hit?|Waterloo");
        QCOMPARE(treeRows(editor->twContent), (QStringList{abba, question + '|' + answer, question + '|' + answer}));
        QTreeWidgetItem* first = editor->twContent->topLevelItem(1);
        doubleClick(2);
        QCOMPARE(buttons(), QStringLiteral("-EE"));
        editor->leQuestion->setText(question + QStringLiteral(" (it's easy)"));
        QCOMPARE(buttons(), QStringLiteral("EEE"));
        typeAfter(editor->pbUpdate);
        QCOMPARE(first->text(0) + '|' + first->text(1), question + '|' + answer);
        QCOMPARE(treeRows(editor->twContent), (QStringList{abba, question + '|' + answer,
                                                           question + " (it's easy)|" + answer}));
        // Another category's list forgets the row double-clicked.
        doubleClick(0);
        editor->cbCategory->setCurrentIndex(1);
        QCOMPARE(buttons(), QStringLiteral("---"));
        editor->cbCategory->setCurrentIndex(0);
        for (int row = 2; row >= 0; --row) {
            doubleClick(row);
            typeAfter(editor->pbDelete);
        }
        // The row added or changed is selected; after a deletion none.
        QCOMPARE(typedInto, QStringList({"80's Music|Abba's hit?|E--|Which", "80's Music|Abba's hit?|E--|Which"})
                                + QStringList(3, "80's Music|Abba's hit?|E--|"));
        // Any lookup that missed would have shown a box of its own.
        QCOMPARE(shownTexts(), QStringList());
        QCOMPARE(categories(), (QStringList{"80's Music", "Art"}));
        QCOMPARE(count("content"), 1);
        QCOMPARE(count("category_content"), 1);
    }

    // What is typed in the category box is the name to give; the selected
    // category is the one that changes, and typing never selects another,
    // whether Return or the click ends it. Names taken are refused in plain
    // words. The focus comes back to the box, the changed item selected.
    void categoryActions_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("pressReturn");
        QTest::addColumn<QStringList>("boxes");
        QTest::addColumn<QStringList>("stored");
        QTest::addColumn<QString>("selected"); // and its questions
        const QString rename = QStringLiteral("You are about to update the category 'Art' to '%1'\nDoing so will also "
                                              "update the category for all questions in \nthis category! Continue?");
        const QString taken = QStringLiteral("There is already a category named \"Music\". [engine's text]");
        const QString art = "Art|" + guernica;
        const QStringList both{"Art", "Music"};
        const QStringList renamedAsMusic{rename.arg("Music"), "Unable to update category from DB! " + taken};
        // Return ends the typing before the click does.
        QTest::newRow("only the case changed") << "Update" << "ART" << false << QStringList{rename.arg("ART")}
                                               << QStringList{"ART", "Music"} << "ART|" + guernica;
        QTest::newRow("renamed as another") << "Update" << "Music" << false << renamedAsMusic << both << art;
        QTest::newRow("renamed as another, Return") << "Update" << "Music" << true << renamedAsMusic << both << art;
        QTest::newRow("added in another case, Return")
            << "Add" << "music" << true << QStringList{"Unable to add category! " + taken} << both << art;
        QTest::newRow("added") << "Add" << "Sculpture" << false << QStringList{}
                               << QStringList{"Art", "Music", "Sculpture"} << "Sculpture|";
        QTest::newRow("deleted") << "Delete" << "Music" << false
                                 << QStringList{"You are about to delete the category 'Music'\nDoing so will also "
                                                "delete all questions in \n\nthis category! Continue?"}
                                 << QStringList{"Art"} << art;
    }
    void categoryActions()
    {
        QFETCH(QString, button);
        QFETCH(QString, typed);
        QFETCH(bool, pressReturn);
        QFETCH(QStringList, boxes);
        t->db.addCategory(QStringLiteral("Music"));
        openEditor();
        QTest::mouseClick(editor->cbCategory->lineEdit(), Qt::LeftButton);
        editor->cbCategory->lineEdit()->selectAll();
        QTest::keyClicks(editor->cbCategory, typed);
        if (pressReturn)
            QTest::keyClick(editor->cbCategory, Qt::Key_Return);
        MessageBox::setNextAnswer(QMessageBox::Yes);
        QTest::mouseClick(button == "Add" ? editor->pbCatAdd : button == "Update" ? editor->pbCatUpdate
                                                                                   : editor->pbCatDelete,
                          Qt::LeftButton);

        QStringList shown;
        for (const MessageBox::Shown& box : MessageBox::takeShown())
            shown << box.text + (box.details.contains("CATEGORY_EXISTS") ? " [engine's text]" : "");
        QCOMPARE(shown, boxes);
        QTEST(categories(), "stored");
        QCOMPARE(QApplication::focusWidget(), editor->cbCategory);
        const QString item = editor->cbCategory->itemText(editor->cbCategory->currentIndex());
        QTEST(item + '|' + treeRows(editor->twContent).join(""), "selected");
        // A refused name stays to be put right.
        const bool refused = !shown.isEmpty() && shown.last().startsWith("Unable");
        QCOMPARE(editor->cbCategory->lineEdit()->selectedText(), refused ? typed : item);
    }

    // A row someone else removed meanwhile is reported and stays; with the
    // connection closed and pointed at no file, every statement fails.
    void failuresAreReported()
    {
        openEditor();
        doubleClick(0);
        editor->leAnswer->setText(QStringLiteral("Pablo"));
        QVERIFY(t->db.exec(QStringLiteral("DELETE FROM content")));
        editor->pbUpdate->click();
        editor->pbDelete->click();
        QCOMPARE(editor->leAnswer->text() + buttons() + treeRows(editor->twContent).join(""), "Pablo-EE" + guernica);
        QSqlDatabase connection = QSqlDatabase::database(QSqlDatabase::defaultConnection, false);
        connection.close();
        connection.setDatabaseName(t->db.dir() + QStringLiteral("/gone/quiznewt.fdb"));
        openEditor();
        onCategory(editor->pbCatAdd, QStringLiteral("Movies"));
        onCategory(editor->pbCatUpdate, QStringLiteral("Films"), QMessageBox::Yes);
        onCategory(editor->pbCatDelete, QStringLiteral("Films"), QMessageBox::Yes);
        editor->leQuestion->setText(QStringLiteral("Painter of Guernica?"));
        editor->leAnswer->setText(QStringLiteral("Picasso"));
        editor->pbAdd->click();
        // The start of each text; some end in the database's own message.
        const QStringList expected{"Unable to update content in DB!", "Unable to delete content!",
            "Unable to load categories!", "Unable to add category! ", "You are about to update",
            "Unable to update category from DB!", "You are about to delete", "Unable to delete category from DB!",
            "Unable to add content to DB!"};
        const QStringList shown = shownTexts();
        QCOMPARE(shown.size(), expected.size());
        for (int i = 0; i < shown.size(); ++i)
            QVERIFY2(shown[i].startsWith(expected[i]), qPrintable(shown[i]));
    }

    // A long category is listed a page at a time in stored order; the rest
    // comes as one scrolls to the end, or at once when a header is clicked,
    // which then sorts. A row listed late is changed and deleted like any.
    void longCategory_data()
    {
        QTest::addColumn<bool>("byHeader");
        QTest::newRow("scrolled to the end") << false;
        QTest::newRow("answer header clicked") << true;
    }
    void longCategory()
    {
        QFETCH(bool, byHeader);
        const int total = 2500;
        const qint64 big = t->db.addCategory(QStringLiteral("Big"));
        t->db.addQuestions(big, total);
        // A second link to the same question lists it once.
        QVERIFY(t->db.exec(QStringLiteral("INSERT INTO category_content (catID, contentID) "
                                          "SELECT catID, contentID FROM category_content WHERE catID=%1 AND "
                                          "contentID=(SELECT contentID FROM content WHERE question='Question 999')")
                               .arg(big)));
        openEditor();
        QTreeWidget* list = editor->twContent;
        editor->cbCategory->setCurrentIndex(editor->cbCategory->findText(QStringLiteral("Big")));
        const int firstPage = list->topLevelItemCount();
        QVERIFY2(firstPage > 0 && firstPage < total, qPrintable(QString::number(firstPage)));
        QCOMPARE(list->topLevelItem(firstPage - 1)->text(0), QStringLiteral("Question %1").arg(firstPage - 1));

        if (byHeader) {
            QHeaderView* header = list->header();
            const QPoint answerHeader(header->sectionViewportPosition(1) + 10, header->height() / 2);
            QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier, answerHeader);
        } else {
            for (int listed = -1; listed != list->topLevelItemCount();) {
                listed = list->topLevelItemCount();
                list->scrollToBottom();
                QCoreApplication::processEvents();
            }
        }
        QStringList expected;
        for (int i = 0; i < total; ++i)
            expected << QStringLiteral("Question %1|Answer %1").arg(i);
        expected.sort();
        QCOMPARE(treeRows(list, true), expected);
        if (byHeader) {
            QStringList answers;
            for (int i = 0; i < list->topLevelItemCount(); ++i)
                answers << list->topLevelItem(i)->text(1);
            QStringList sorted = answers;
            sorted.sort();
            QCOMPARE(answers, sorted);
        }

        const auto pick = [&](const QString& question) {
            QTreeWidgetItem* item = list->findItems(question, Qt::MatchExactly).value(0);
            QVERIFY2(item, qPrintable(question));
            list->scrollToItem(item);
            doubleClick(list->indexOfTopLevelItem(item));
            QCOMPARE(editor->leQuestion->text(), question);
        };
        pick(QStringLiteral("Question 2400"));
        editor->leAnswer->setText(QStringLiteral("Changed"));
        editor->pbUpdate->click();
        pick(QStringLiteral("Question 2499"));
        editor->pbDelete->click();
        QCOMPARE(shownTexts(), QStringList());
        QCOMPARE(t->db.column(QStringLiteral("SELECT answer FROM content WHERE question IN "
                                             "('Question 2400', 'Question 2499')")),
                 QStringList{"Changed"});
        QCOMPARE(list->topLevelItemCount(), total - 1);
        QVERIFY(list->findItems(QStringLiteral("Changed"), Qt::MatchExactly, 1).size() == 1);
    }

    // Of two questions alike, the one double-clicked is the one that changes
    // or goes: the list holds them in the order they were stored.
    void sameQuestionTwice_data()
    {
        QTest::addColumn<bool>("deleting");
        QTest::newRow("update") << false;
        QTest::newRow("delete") << true;
    }
    void sameQuestionTwice()
    {
        QFETCH(bool, deleting);
        const qint64 art = t->db.value(QStringLiteral("SELECT catID FROM category WHERE catName='Art'")).toLongLong();
        t->db.addQuestion(art, QStringLiteral("Painter of Guernica?"), QStringLiteral("Picasso"));
        openEditor();
        QCOMPARE(treeRows(editor->twContent), QStringList(2, guernica));
        doubleClick(1);
        editor->leAnswer->setText(QStringLiteral("Pablo Picasso"));
        (deleting ? editor->pbDelete : editor->pbUpdate)->click();
        QCOMPARE(shownTexts(), QStringList());
        QCOMPARE(t->db.column(QStringLiteral("SELECT answer FROM content ORDER BY contentID")),
                 (deleting ? QStringList{"Picasso"} : QStringList{"Picasso", "Pablo Picasso"}));
    }

    // The engine refuses one question well into a long category's deletion:
    // nothing of the category goes, and its name comes back to the box.
    void categoryDeletionAllOrNothing()
    {
        const qint64 big = t->db.addCategory(QStringLiteral("Big"));
        t->db.addQuestions(big, 350);
        QVERIFY(t->db.exec(QStringLiteral("CREATE EXCEPTION kept 'kept'")));
        QVERIFY(t->db.exec(QStringLiteral("CREATE TRIGGER keep_one FOR content BEFORE DELETE AS BEGIN "
                                          "IF (OLD.question = 'Question 330') THEN EXCEPTION kept; END")));
        openEditor();
        editor->cbCategory->setCurrentIndex(editor->cbCategory->findText(QStringLiteral("Big")));
        onCategory(editor->pbCatDelete, QStringLiteral("Big"), QMessageBox::Yes);

        // After the question asked first.
        const QStringList shown = shownTexts();
        QVERIFY2(shown.size() == 2 && shown[1].startsWith(QStringLiteral("Unable to delete all content from DB!")),
                 qPrintable(shown.join('|')));
        QCOMPARE(categories(), QStringList({"Art", "Big"}));
        QCOMPARE(boxItems(), QStringList({"Art", "Big"}));
        QCOMPARE(count(QStringLiteral("content c INNER JOIN category_content cc ON cc.contentID=c.contentID "
                                      "WHERE cc.catID=%1").arg(big)),
                 350);
    }

    // The editor's change reaches the running game; which changes matter is
    // tst_game's categoryModified, which changes are told categoryLifecycle's.
    void gameHearsOfTheChange()
    {
        t->db.addUser(QStringLiteral("Ctrl"), 0, 1, 0);
        t->db.addQuestion(t->db.addCategory("Capitals"), QStringLiteral("Capital of France?"), QStringLiteral("Paris"));
        t->link->say(QStringLiteral("Ctrl: !start Capitals"));
        QCOMPARE(QuizNewtTestAccess::currentAnswer(*t->window), QStringLiteral("Paris"));
        t->link->takePosts();
        // The window runs its editor modally: act on it from inside that loop,
        // and check afterwards, since a failing check inside would leave it open.
        QTimer::singleShot(0, [&] {
            auto* inWindow = t->window->findChild<dlgQuestionEditor*>();
            inWindow->cbCategory->setCurrentIndex(inWindow->cbCategory->findText("Capitals"));
            MessageBox::setNextAnswer(QMessageBox::Yes);
            inWindow->pbCatDelete->click();
            inWindow->pbClose->click();
        });
        QuizNewtTestAccess::openEditor(*t->window);

        QCOMPARE(MessageBox::takeShown().size(), 1);
        QCOMPARE(t->link->takePosts(), QStringList{"This category's name has been modified! Please restart "
                                                   "with the updated category name (Type !categories)"});
        QVERIFY(QuizNewtTestAccess::stopped(*t->window));
    }
};

QTEST_MAIN(TestQuestionEditor)
#include "tst_questioneditor.moc"
