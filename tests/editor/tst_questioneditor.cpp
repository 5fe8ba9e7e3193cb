// The question editor on a real database, through its widgets.

#include <QProgressDialog>
#include <QtTest>

#include "app/messagebox.h"
#include "db/database.h"
#include "editor/dlgquestioneditor.h"
#include "tests/common/testdatabase.h"

namespace {

QStringList itemTexts(const QComboBox* box)
{
    QStringList texts;
    for (int i = 0; i < box->count(); ++i)
        texts << box->itemText(i);
    return texts;
}

// The list's rows as "question|answer", sorted.
QStringList rows(const QTreeWidget* list)
{
    QStringList texts;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        texts << list->topLevelItem(i)->text(0) + QLatin1Char('|') + list->topLevelItem(i)->text(1);
    texts.sort();
    return texts;
}

void doubleClick(QTreeWidget* list, QTreeWidgetItem* item)
{
    const QPoint centre = list->visualItemRect(item).center();
    // A real double-click starts with a plain click on the row.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, centre);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, centre);
}

// Add, Update and Delete as "E" (enabled) or "-".
QString editButtons(const dlgQuestionEditor& editor)
{
    auto state = [](const QPushButton* b) { return b->isEnabled() ? QLatin1Char('E') : QLatin1Char('-'); };
    return QString(state(editor.pbAdd)) + state(editor.pbUpdate) + state(editor.pbDelete);
}

const QString guernica = QStringLiteral("Painter of Guernica?|Picasso");

}

class TestQuestionEditor : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestDatabase> db;
    qint64 art = 0;

    std::unique_ptr<dlgQuestionEditor> openEditor()
    {
        auto editor = std::make_unique<dlgQuestionEditor>();
        editor->show();
        QApplication::setActiveWindow(editor.get());
        if (!QTest::qWaitForWindowActive(editor.get()))
            qWarning("editor window not active");
        return editor;
    }

    int count(const QString& table) { return db->value("SELECT COUNT(*) FROM " + table).toInt(); }
    QStringList categories() { return db->column(QStringLiteral("SELECT catName FROM category ORDER BY catName")); }

private Q_SLOTS:
    // Every test starts with the category Art holding one question.
    void init()
    {
        db = std::make_unique<TestDatabase>();
        QVERIFY2(db->isValid(), qPrintable(db->error()));
        QString error;
        QVERIFY2(Database::open(db->filePath(), QSqlDatabase::defaultConnection, &error).isOpen(), qPrintable(error));
        MessageBox::setTestMode(true);
        art = db->addCategory(QStringLiteral("Art"));
        db->addQuestion(art, QStringLiteral("Painter of Guernica?"), QStringLiteral("Picasso"));
    }

    void cleanup()
    {
        QSqlDatabase::database(QSqlDatabase::defaultConnection, false).close();
        QSqlDatabase::removeDatabase(QSqlDatabase::defaultConnection);
        db.reset();
    }

    // One category's life; Music holds 300 questions, deleted with the
    // progress dialog's Cancel pressed on the way.
    void categoryLifecycle()
    {
        const qint64 music = db->addCategory(QStringLiteral("Music"));
        db->addQuestions(music, 300);
        auto editor = openEditor();
        auto act = [&](QPushButton* button, const QString& name, QMessageBox::StandardButton answer = {}) {
            editor->cbCategory->setEditText(name);
            if (answer != QMessageBox::NoButton)
                MessageBox::setNextAnswer(answer);
            button->click();
        };

        act(editor->pbCatAdd, QStringLiteral("Movies"));
        QCOMPARE(editor->cbCategory->currentIndex(), 2);
        act(editor->pbCatAdd, QStringLiteral("Art"));
        QCOMPARE(editor->cbCategory->currentIndex(), 0);
        act(editor->pbCatAdd, QString());
        QCOMPARE(editor->cbCategory->currentIndex(), 4);
        QCOMPARE(itemTexts(editor->cbCategory), QStringList({"Art", "Music", "Movies", "Art", ""}));

        editor->cbCategory->setCurrentIndex(1);
        act(editor->pbCatUpdate, QStringLiteral("Songs"), QMessageBox::No);
        QCOMPARE(categories(), QStringList({"", "Art", "Art", "Movies", "Music"}));
        act(editor->pbCatUpdate, QStringLiteral("Songs"), QMessageBox::Yes);
        QCOMPARE(itemTexts(editor->cbCategory), QStringList({"Art", "Songs", "Movies", "Art", ""}));

        act(editor->pbCatDelete, QStringLiteral("Movies"), QMessageBox::Yes);
        act(editor->pbCatDelete, QStringLiteral("Songs"), QMessageBox::No);
        QCOMPARE(itemTexts(editor->cbCategory), QStringList({"Art", "Songs", "Art", ""}));
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
        act(editor->pbCatDelete, QStringLiteral("Songs"), QMessageBox::Yes);
        watch.stop();

        QVERIFY(cancelled);
        QCOMPARE(MessageBox::takeShown().size(), 5);
        QCOMPARE(itemTexts(editor->cbCategory), QStringList({"Art", "Art", ""}));
        QCOMPARE(categories(), QStringList({"", "Art", "Art"}));
        QCOMPARE(count(QStringLiteral("content")), 1);
        // The renamed category's questions are gone, their links left behind.
        QCOMPARE(count(QStringLiteral("category_content WHERE catID=%1").arg(music)), 300);
    }

    // Deleting it would have hit questions of no category; adding to it
    // would have stored a question of none.
    void unknownCategoryChangesNothing()
    {
        db->addQuestion(0, QStringLiteral("Orphan?"), QStringLiteral("Yes"));
        auto editor = openEditor();
        editor->cbCategory->setEditText(QStringLiteral("Nowhere"));
        MessageBox::setNextAnswer(QMessageBox::Yes);
        editor->pbCatDelete->click();
        editor->leQuestion->setText(QStringLiteral("Painter of the Mona Lisa?"));
        editor->leAnswer->setText(QStringLiteral("Leonardo"));
        editor->pbAdd->click();

        const QList<MessageBox::Shown> shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 3);
        QCOMPARE(shown[1].text, QStringLiteral("There is no category named 'Nowhere'!"));
        QCOMPARE(shown[2].text, QStringLiteral("There is no category named 'Nowhere'! Add the category first."));
        QCOMPARE(itemTexts(editor->cbCategory), QStringList{"Art"});
        QCOMPARE(categories(), QStringList{"Art"});
        QCOMPARE(count(QStringLiteral("content")), 2);
        QCOMPARE(count(QStringLiteral("category_content")), 2);
        QCOMPARE(rows(editor->twContent), QStringList{guernica});
    }

    void quotesWorkEverywhere()
    {
        auto editor = openEditor();
        // Quotes, and colons before words, which look like placeholders.
        const QString question = QStringLiteral("Which band had 80's hits like 'Time:answer'?");
        const QString answer = QStringLiteral("Duran Duran's :catName");
        editor->cbCategory->setEditText(QStringLiteral("80's Music"));
        editor->pbCatAdd->click();
        editor->leQuestion->setText(question);
        editor->leAnswer->setText(answer);
        QTest::mouseClick(editor->leAnswer, Qt::LeftButton);
        QTest::keyClick(editor->leAnswer, Qt::Key_Return);

        // Reopened on the first name, 80's Music: the list comes from the database.
        editor.reset();
        editor = openEditor();
        QCOMPARE(rows(editor->twContent), QStringList{question + QLatin1Char('|') + answer});
        doubleClick(editor->twContent, editor->twContent->topLevelItem(0));
        editor->leQuestion->setText(question + QStringLiteral(" (it's easy)"));
        editor->pbUpdate->click();
        QCOMPARE(rows(editor->twContent), QStringList{question + QStringLiteral(" (it's easy)|") + answer});
        doubleClick(editor->twContent, editor->twContent->topLevelItem(0));
        editor->pbDelete->click();

        editor->cbCategory->setEditText(QStringLiteral("Painter's Corner"));
        MessageBox::setNextAnswer(QMessageBox::Yes);
        editor->pbCatUpdate->click();
        MessageBox::setNextAnswer(QMessageBox::Yes);
        editor->pbCatDelete->click();
        // Any lookup that missed would have shown a box of its own.
        QCOMPARE(MessageBox::takeShown().size(), 2);
        QCOMPARE(categories(), QStringList{"Art"});
        QCOMPARE(count(QStringLiteral("content")), 1);
        QCOMPARE(count(QStringLiteral("category_content")), 1);
    }

    // Two identical rows; the second is double-clicked and its answer
    // changed. A row someone else removed meanwhile is reported and stays.
    void editTheClickedRow_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("failure");
        QTest::newRow("update") << "pbUpdate" << "";
        QTest::newRow("delete") << "pbDelete" << "";
        QTest::newRow("update of a vanished row") << "pbUpdate" << "Unable to update content in DB!";
        QTest::newRow("delete of a vanished row") << "pbDelete" << "Unable to delete content!";
    }

    void editTheClickedRow()
    {
        QFETCH(QString, button);
        QFETCH(QString, failure);
        const bool vanished = !failure.isEmpty();
        db->addQuestion(art, QStringLiteral("Painter of Guernica?"), QStringLiteral("Picasso"));
        auto editor = openEditor();
        QTreeWidgetItem* first = editor->twContent->topLevelItem(0);
        doubleClick(editor->twContent, editor->twContent->topLevelItem(1));
        editor->leAnswer->setText(QStringLiteral("Pablo"));
        if (vanished)
            QVERIFY(db->exec(QStringLiteral("DELETE FROM content")));
        editor->findChild<QPushButton*>(button)->click();

        QStringList shown;
        for (const MessageBox::Shown& box : MessageBox::takeShown())
            shown << box.text;
        QCOMPARE(shown, vanished ? QStringList{failure} : QStringList{});
        QCOMPARE(editor->leAnswer->text(), vanished ? QStringLiteral("Pablo") : QString());
        QCOMPARE(editButtons(*editor), vanished ? QStringLiteral("-EE") : QStringLiteral("---"));
        QVERIFY(editor->twContent->indexOfTopLevelItem(first) >= 0);
        QCOMPARE(first->text(0) + QLatin1Char('|') + first->text(1), guernica);
        QStringList left{guernica, guernica};
        if (!vanished)
            left = button == QLatin1String("pbDelete") ? QStringList{guernica}
                                                       : QStringList{"Painter of Guernica?|Pablo", guernica};
        QCOMPARE(rows(editor->twContent), left);
        if (!vanished)
            QCOMPARE(db->column(QStringLiteral("SELECT question || '|' || answer FROM content ORDER BY 1")), left);
    }

    void buttonStates_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("expected");
        QTest::newRow("opened") << QStringList{} << "---";
        QTest::newRow("question typed") << QStringList{"type"} << "E--";
        QTest::newRow("answer typed only") << QStringList{"type answer"} << "---";
        QTest::newRow("row double-clicked") << QStringList{"double-click"} << "-EE";
        QTest::newRow("typing after double-click") << QStringList{"double-click", "type"} << "EEE";
        QTest::newRow("successful add") << QStringList{"type", "pbAdd"} << "---";
        QTest::newRow("list reloaded") << QStringList{"double-click", "type", "change category"} << "E--";
    }

    void buttonStates()
    {
        QFETCH(QStringList, steps);
        QFETCH(QString, expected);
        db->addCategory(QStringLiteral("Music"));
        auto editor = openEditor();
        for (const QString& step : steps) {
            if (step == QLatin1String("type"))
                QTest::keyClicks(editor->leQuestion, QStringLiteral("x"));
            if (step.startsWith(QLatin1String("type")))
                QTest::keyClicks(editor->leAnswer, QStringLiteral("y"));
            if (step == QLatin1String("double-click"))
                doubleClick(editor->twContent, editor->twContent->topLevelItem(0));
            if (auto* button = editor->findChild<QPushButton*>(step))
                button->click();
            if (step == QLatin1String("change category"))
                editor->cbCategory->setCurrentIndex(1);
        }
        QCOMPARE(editButtons(*editor), expected);
        QVERIFY(MessageBox::takeShown().isEmpty());
    }

    void failuresAreReported()
    {
        // The connection closed and pointed at no file: every statement fails.
        QSqlDatabase connection = QSqlDatabase::database(QSqlDatabase::defaultConnection, false);
        connection.close();
        connection.setDatabaseName(db->dir() + QStringLiteral("/gone/quiznewt.fdb"));

        auto editor = openEditor();
        editor->cbCategory->setEditText(QStringLiteral("Movies"));
        editor->pbCatAdd->click();
        editor->cbCategory->setEditText(QStringLiteral("Films"));
        MessageBox::setNextAnswer(QMessageBox::Yes);
        editor->pbCatUpdate->click();
        MessageBox::setNextAnswer(QMessageBox::Yes);
        editor->pbCatDelete->click();
        editor->leQuestion->setText(QStringLiteral("Painter of Guernica?"));
        editor->leAnswer->setText(QStringLiteral("Picasso"));
        editor->pbAdd->click();

        // The start of each text; some end in the database's own message.
        const QStringList expected{"Unable to load categories!", "Unable to add category! ", "You are about to update",
                                   "Unable to update category from DB!", "You are about to delete",
                                   "Unable to delete category from DB!", "Unable to add content to DB!"};
        const QList<MessageBox::Shown> shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), expected.size());
        for (int i = 0; i < shown.size(); ++i)
            QVERIFY2(shown[i].text.startsWith(expected[i]), qPrintable(shown[i].text));
    }
};

QTEST_MAIN(TestQuestionEditor)
#include "tst_questioneditor.moc"
