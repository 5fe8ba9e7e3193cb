#include <QJsonArray>
#include <QProgressBar>
#include <QProgressDialog>
#include <QSqlDatabase>
#include <QtTest>

#include "app/messagebox.h"
#include "db/database.h"
#include "importer/dlgtriviaimport.h"
#include "importer/filedialog.h"
#include "tests/common/testdatabase.h"
#include "tests/importer/importertestutil.h"

using namespace ImporterTest;

// The importer window against a real destination database (the default
// connection), QuizNewt source files and TriviaBot files.
class TestImporter : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void browseAsksForTheSelectedKind_data();
    void browseAsksForTheSelectedKind();
    void cancelledBrowseChangesNothing();
    void loadsATriviaBotTableSorted();
    void loadsAQuizNewtCategory_data();
    void loadsAQuizNewtCategory();
    void tableWithoutTheColumnsIsRefused();
    void sourceThatFailsToOpen_data();
    void sourceThatFailsToOpen();
    void kindWithoutAnOpenSource();
    void rememberedFileReopensAsTriviaBot();

    void importAllTwiceGivesTwoCopies();
    void importSelectedMovesTheBarPerRow();
    void importFollowsTheOrderOnScreen_data();
    void importFollowsTheOrderOnScreen();
    void importIsRefused_data();
    void importIsRefused();
    void importsIntoACategoryWithAQuote();
    void questionIsNeverLeftWithoutItsLink();
    void refusedRowIsSkipped();

    void closingFreesTheSourceNames_data();
    void closingFreesTheSourceNames();
    void workStartedDuringAnImportIsRefused();
    void workStartedDuringALoadIsRefused();
    void formKeepsItsProportions();

private:
    int countIn(const QString& category) const;
    int orphans() const;
    dlgTriviaImport* openTriviaBot(const QString& file, const QString& table);
    dlgTriviaImport* openQuizNewt(const QString& category);

    TestDatabase dest;
    TestDatabase source;
    QTemporaryDir dir;
    QString longRowsFile;
};

void TestImporter::initTestCase()
{
    QVERIFY2(dest.isValid(), qPrintable(dest.error()));
    QVERIFY2(source.isValid(), qPrintable(source.error()));
    QString error;
    QVERIFY2(Database::open(dest.filePath(), QLatin1String(QSqlDatabase::defaultConnection), &error).isOpen(),
             qPrintable(error));
    MessageBox::setTestMode(true);
    FileDialog::setTestMode(true);

    for (const char* name : {"Imported", "Selected", "Ascending", "Descending", "O'Brien's Picks", "Linked", "Skipping", "Busy", "Gone"})
        dest.addCategory(QString::fromUtf8(name));
    // Links of questions starting with "Refuse" are turned down.
    QVERIFY(dest.exec("CREATE EXCEPTION link_refused 'link refused'"));
    QVERIFY(dest.exec("CREATE TRIGGER refuse_link FOR category_content BEFORE INSERT AS BEGIN "
                      "IF (EXISTS(SELECT 1 FROM content WHERE contentID = NEW.contentID "
                      "AND question STARTING WITH 'Refuse')) THEN EXCEPTION link_refused; END"));

    const qint64 rock = source.addCategory(QStringLiteral("Rock 'n' Roll"));
    source.addQuestion(rock, QStringLiteral("Who sang 'Hound Dog'?"), QStringLiteral("Elvis"));
    source.addQuestion(rock, QStringLiteral("Chuck Berry's guitar hit?"), QStringLiteral("Johnny B. Goode"));
    const qint64 mixed = source.addCategory(QStringLiteral("Mixed"));
    source.addQuestion(mixed, QStringLiteral("Keep me 1"), QStringLiteral("1"));
    source.addQuestion(mixed, QStringLiteral("Refuse me"), QStringLiteral("2"));
    source.addQuestion(mixed, QStringLiteral("Keep me 2"), QStringLiteral("3"));
    source.addQuestions(source.addCategory(QStringLiteral("Thousand")), 1000);
    source.addCategory(QStringLiteral("Empty"));

    QVERIFY(dir.isValid());
    const QJsonObject longTable{
        {"columns", QJsonArray{QJsonObject{{"name", "questions"}, {"type", "memo"}},
                               QJsonObject{{"name", "answers"}, {"type", "text"}}}},
        {"rows", QJsonArray{QJsonArray{"A short one", "a"}, QJsonArray{QString(5000, 'x'), "too long"},
                            QJsonArray{"B short two", "b"}}}};
    longRowsFile = makeMdb(dir, QStringLiteral("long"), QJsonObject{{"tables", QJsonObject{{"Long", longTable}}}});
    QVERIFY(!longRowsFile.isEmpty());
}

void TestImporter::init()
{
    MessageBox::takeShown();
    FileDialog::takeAsked();
}

void TestImporter::cleanupTestCase()
{
    QSqlDatabase::database().close();
    QSqlDatabase::removeDatabase(QLatin1String(QSqlDatabase::defaultConnection));
}

int TestImporter::countIn(const QString& category) const
{
    QString name = category;
    name.replace('\'', "''");
    return dest.value("SELECT COUNT(*) FROM content c INNER JOIN category_content cc ON c.contentID=cc.contentID "
                      "INNER JOIN category cat ON cc.catID=cat.catID WHERE cat.catName='" + name + "'")
        .toInt();
}

int TestImporter::orphans() const
{
    return dest.value("SELECT COUNT(*) FROM content WHERE contentID NOT IN (SELECT contentID FROM category_content)")
        .toInt();
}

dlgTriviaImport* TestImporter::openTriviaBot(const QString& file, const QString& table)
{
    auto* dialog = new dlgTriviaImport(nullptr);
    dialog->setSourceFile(file);
    if (QListWidgetItem* found = item(dialog->lwSourceTables, table))
        emit dialog->lwSourceTables->itemDoubleClicked(found);
    return dialog;
}

dlgTriviaImport* TestImporter::openQuizNewt(const QString& category)
{
    auto* dialog = new dlgTriviaImport(nullptr);
    dialog->rbQuizNewt->setChecked(true);
    dialog->setSourceFile(source.filePath());
    if (QListWidgetItem* found = item(dialog->lwSourceTables, category))
        emit dialog->lwSourceTables->itemDoubleClicked(found);
    return dialog;
}

void TestImporter::browseAsksForTheSelectedKind_data()
{
    QTest::addColumn<bool>("triviaBot");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QStringList>("listed");
    QTest::newRow("TriviaBot") << true << "Open MDB File" << "MDB Files (*.mdb)"
                               << QStringList{"Geography", "Science", "80's Music", QStringLiteral("Umlaute äöü"),
                                              "Empty"};
    QTest::newRow("QuizNewt") << false << "Open QuizNewt File" << "FDB Files (*.fdb)"
                              << QStringList{"Empty", "Mixed", "Rock 'n' Roll", "Thousand"};
}

void TestImporter::browseAsksForTheSelectedKind()
{
    QFETCH(bool, triviaBot);
    QFETCH(QString, caption);
    QFETCH(QString, filter);
    QFETCH(QStringList, listed);
    const QString file = triviaBot ? fixture("triviabot/small.mdb") : source.filePath();
    dlgTriviaImport dialog(nullptr);
    (triviaBot ? dialog.rbTriviaBot : dialog.rbQuizNewt)->setChecked(true);
    FileDialog::setNextFileName(file);
    dialog.pbBrowse->click();

    const QList<FileDialog::Asked> asked = FileDialog::takeAsked();
    QCOMPARE(asked.size(), 1);
    QCOMPARE(asked[0].caption, caption);
    QCOMPARE(asked[0].filter, filter);
    QCOMPARE(asked[0].directory, QDir::currentPath());
    QCOMPARE(dialog.sourceFile(), file);
    QCOMPARE(items(dialog.lwSourceTables), listed);
    QVERIFY(MessageBox::takeShown().isEmpty());
}

void TestImporter::cancelledBrowseChangesNothing()
{
    std::unique_ptr<dlgTriviaImport> dialog(openTriviaBot(fixture("triviabot/small.mdb"), "Science"));
    dialog->pbBrowse->click();
    QCOMPARE(FileDialog::takeAsked().size(), 1);
    QCOMPARE(dialog->sourceFile(), fixture("triviabot/small.mdb"));
    QCOMPARE(dialog->lwSourceTables->count(), 5);
    QCOMPARE(dialog->twSourceContent->topLevelItemCount(), 8);
}

// Every table's exact contents are checked where the file is read; here the
// rows must arrive in the view, sorted.
void TestImporter::loadsATriviaBotTableSorted()
{
    std::unique_ptr<dlgTriviaImport> dialog(openTriviaBot(fixture("triviabot/small.mdb"), QStringLiteral("Umlaute äöü")));
    const QStringList shown = rows(dialog->twSourceContent);
    QCOMPARE(sorted(shown), (QStringList{QStringLiteral("Welcher Fluss fließt durch Köln?|Rhein"),
                                         QStringLiteral("Welches Zeichen steht für den Euro?|€"),
                                         QStringLiteral("Wie heißt die Hauptstadt von Österreich?|Wien")}));
    QStringList ordered = sorted(shown);
    if (dialog->twSourceContent->header()->sortIndicatorOrder() == Qt::DescendingOrder)
        std::reverse(ordered.begin(), ordered.end());
    QCOMPARE(shown, ordered);
    QVERIFY(MessageBox::takeShown().isEmpty());
}

void TestImporter::loadsAQuizNewtCategory_data()
{
    QTest::addColumn<QString>("category");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("quote in the name")
        << "Rock 'n' Roll"
        << QStringList{"Chuck Berry's guitar hit?|Johnny B. Goode", "Who sang 'Hound Dog'?|Elvis"};
    QTest::newRow("plain name") << "Mixed" << QStringList{"Keep me 1|1", "Keep me 2|3", "Refuse me|2"};
    QTest::newRow("empty category") << "Empty" << QStringList{};
}

void TestImporter::loadsAQuizNewtCategory()
{
    QFETCH(QString, category);
    QFETCH(QStringList, expected);
    std::unique_ptr<dlgTriviaImport> dialog(openQuizNewt(category));
    QCOMPARE(sorted(rows(dialog->twSourceContent)), expected);
    QVERIFY(MessageBox::takeShown().isEmpty());
}

void TestImporter::tableWithoutTheColumnsIsRefused()
{
    std::unique_ptr<dlgTriviaImport> dialog(openTriviaBot(fixture("access/DateTestDatabase.mdb"), "DateTest"));
    QCOMPARE(items(dialog->lwSourceTables), QStringList{"DateTest"});
    const QList<MessageBox::Shown> shown = MessageBox::takeShown();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].kind, MessageBox::Warning);
    QCOMPARE(shown[0].title, QStringLiteral("Error"));
    QVERIFY2(shown[0].text.startsWith("MDB Error: The table \"DateTest\" has no column \"questions\""),
             qPrintable(shown[0].text));
    QCOMPARE(dialog->twSourceContent->topLevelItemCount(), 0);
}

void TestImporter::sourceThatFailsToOpen_data()
{
    QTest::addColumn<bool>("triviaBot");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("text");
    QTest::newRow("missing TriviaBot file") << true << dir.filePath("missing.mdb")
                                            << "Unable to open QuizNewt ODBC database";
    QTest::newRow("QuizNewt file as TriviaBot") << true << source.filePath()
                                                << "Unable to open QuizNewt ODBC database";
    QTest::newRow("missing QuizNewt file") << false << dir.filePath("missing.fdb")
                                           << "Unable to open QuizNewt FDB database";
    QTest::newRow("TriviaBot file as QuizNewt") << false << fixture("triviabot/small.mdb")
                                                << "Unable to open QuizNewt FDB database";
}

void TestImporter::sourceThatFailsToOpen()
{
    QFETCH(bool, triviaBot);
    QFETCH(QString, file);
    QFETCH(QString, text);
    std::unique_ptr<dlgTriviaImport> dialog(openTriviaBot(fixture("triviabot/small.mdb"), "Science"));
    (triviaBot ? dialog->rbTriviaBot : dialog->rbQuizNewt)->setChecked(true);
    FileDialog::setNextFileName(file);
    dialog->pbBrowse->click();

    const QList<MessageBox::Shown> shown = MessageBox::takeShown();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].kind, MessageBox::Information);
    QCOMPARE(shown[0].title, QStringLiteral("Info"));
    QCOMPARE(shown[0].text, text);
    QCOMPARE(dialog->lwSourceTables->count(), 0);
    QCOMPARE(dialog->twSourceContent->topLevelItemCount(), 8);
}

void TestImporter::kindWithoutAnOpenSource()
{
    std::unique_ptr<dlgTriviaImport> dialog(openTriviaBot(fixture("triviabot/small.mdb"), "Science"));
    dialog->rbQuizNewt->setChecked(true);
    emit dialog->lwSourceTables->itemDoubleClicked(item(dialog->lwSourceTables, "Geography"));
    const QList<MessageBox::Shown> shown = MessageBox::takeShown();
    QCOMPARE(shown.size(), 1);
    QVERIFY2(shown[0].text.startsWith("FDB Error: "), qPrintable(shown[0].text));
    QCOMPARE(dialog->twSourceContent->topLevelItemCount(), 0);
}

void TestImporter::rememberedFileReopensAsTriviaBot()
{
    dlgTriviaImport dialog(nullptr);
    dialog.setSourceFile(source.filePath());
    QCOMPARE(MessageBox::takeShown().value(0).text, QStringLiteral("Unable to open QuizNewt ODBC database"));
    QCOMPARE(dialog.sourceFile(), source.filePath());

    dialog.rbQuizNewt->setChecked(true);
    QVERIFY(!dialog.rbTriviaBot->isChecked());
    FileDialog::setNextFileName(dialog.sourceFile());
    dialog.pbBrowse->click();
    QCOMPARE(dialog.lwSourceTables->count(), 4);

    // Typing a path opens nothing, but it is what the editor remembers.
    dialog.leFilename->setText(QStringLiteral("/typed/path.mdb"));
    QCOMPARE(dialog.lwSourceTables->count(), 4);
    QCOMPARE(dialog.sourceFile(), QStringLiteral("/typed/path.mdb"));
}

void TestImporter::importAllTwiceGivesTwoCopies()
{
    std::unique_ptr<dlgTriviaImport> dialog(openTriviaBot(fixture("triviabot/small.mdb"), "Geography"));
    dialog->lwDestTables->setCurrentItem(item(dialog->lwDestTables, "Imported"));
    const QStringList source = rows(dialog->twSourceContent);

    for (int round = 1; round <= 2; ++round) {
        dialog->pbImportAll->click();
        const QList<MessageBox::Shown> shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].title, QStringLiteral("Import Done"));
        QCOMPARE(shown[0].text, QStringLiteral("Content import was successful!"));
        QCOMPARE(countIn("Imported"), 10 * round);
        QCOMPARE(dialog->progressBar->value(), 10);
        QCOMPARE(dialog->progressBar->maximum(), 10);
        // The view shows only the rows just copied, in green.
        QCOMPARE(sorted(rows(dialog->twDestContent)), sorted(source));
        for (int i = 0; i < dialog->twDestContent->topLevelItemCount(); ++i) {
            QCOMPARE(dialog->twDestContent->topLevelItem(i)->background(0).color(), QColor(Qt::green));
            QCOMPARE(dialog->twDestContent->topLevelItem(i)->background(1).color(), QColor(Qt::green));
        }
    }
    QCOMPARE(rows(dialog->twSourceContent), source);

    // Showing the category again lists every copy without colour.
    emit dialog->lwDestTables->itemDoubleClicked(item(dialog->lwDestTables, "Imported"));
    QCOMPARE(dialog->twDestContent->topLevelItemCount(), 20);
    QCOMPARE(dialog->twDestContent->topLevelItem(0)->background(0).style(), Qt::NoBrush);
    QCOMPARE(orphans(), 0);
}

void TestImporter::importSelectedMovesTheBarPerRow()
{
    std::unique_ptr<dlgTriviaImport> dialog(openTriviaBot(fixture("triviabot/small.mdb"), "Geography"));
    dialog->lwDestTables->setCurrentItem(item(dialog->lwDestTables, "Selected"));
    QStringList chosen;
    for (int i : {2, 5, 7}) {
        dialog->twSourceContent->topLevelItem(i)->setSelected(true);
        chosen << rows(dialog->twSourceContent).at(i);
    }
    QList<int> values;
    connect(dialog->progressBar, &QProgressBar::valueChanged, [&](int value) { values << value; });
    dialog->pbImportSelected->click();

    QCOMPARE(values, (QList<int>{1, 2, 3, 10}));
    QCOMPARE(dialog->progressBar->maximum(), 10);
    QCOMPARE(countIn("Selected"), 3);
    QCOMPARE(sorted(rows(dialog->twDestContent)), sorted(chosen));
    QCOMPARE(dialog->twSourceContent->selectedItems().size(), 3);
}

void TestImporter::importFollowsTheOrderOnScreen_data()
{
    QTest::addColumn<Qt::SortOrder>("order");
    QTest::addColumn<QString>("category");
    QTest::newRow("ascending") << Qt::AscendingOrder << "Ascending";
    QTest::newRow("descending") << Qt::DescendingOrder << "Descending";
}

void TestImporter::importFollowsTheOrderOnScreen()
{
    QFETCH(Qt::SortOrder, order);
    QFETCH(QString, category);
    std::unique_ptr<dlgTriviaImport> dialog(openTriviaBot(fixture("triviabot/small.mdb"), "Science"));
    dialog->twSourceContent->sortByColumn(1, order);
    QStringList onScreen;
    for (int i = 0; i < dialog->twSourceContent->topLevelItemCount(); ++i)
        onScreen << dialog->twSourceContent->topLevelItem(i)->text(1);
    dialog->lwDestTables->setCurrentItem(item(dialog->lwDestTables, category));
    dialog->pbImportAll->click();
    // New IDs are drawn in the order the rows are copied.
    const QStringList stored = dest.column(
        "SELECT c.answer FROM content c INNER JOIN category_content cc ON c.contentID=cc.contentID "
        "INNER JOIN category cat ON cc.catID=cat.catID WHERE cat.catName='" + category + "' ORDER BY c.contentID");
    QCOMPARE(stored, onScreen);
}

void TestImporter::importIsRefused_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("destination");
    QTest::addColumn<bool>("selectedOnly");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");
    QTest::newRow("nothing loaded, Import All")
        << "" << "Imported" << false << "No Content"
        << "Please double-click a source category to load importable content.\n";
    QTest::newRow("nothing loaded, Import Selected")
        << "" << "Imported" << true << "No Content"
        << "Please double-click a source category to load importable content.\n";
    QTest::newRow("nothing selected")
        << "Science" << "Imported" << true << "No Content"
        << "Please select the content items you wish to import by ctrl-clicking them.\n";
    QTest::newRow("no destination chosen")
        << "Science" << "" << false << "Info"
        << "Please click the QuizNewt category to import into in the list below, then import again.\n";
    QTest::newRow("destination deleted meanwhile")
        << "Science" << "Gone" << false << "Error"
        << "The category \"Gone\" is not in the QuizNewt database; nothing was imported.\n";
}

void TestImporter::importIsRefused()
{
    QFETCH(QString, table);
    QFETCH(QString, destination);
    QFETCH(bool, selectedOnly);
    QFETCH(QString, title);
    QFETCH(QString, text);
    std::unique_ptr<dlgTriviaImport> dialog(openTriviaBot(fixture("triviabot/small.mdb"), table));
    if (!destination.isEmpty())
        dialog->lwDestTables->setCurrentItem(item(dialog->lwDestTables, destination));
    if (destination == "Gone")
        QVERIFY(dest.exec("DELETE FROM category WHERE catName='Gone'"));
    dialog->twDestContent->addTopLevelItem(new QTreeWidgetItem(QStringList{"shown", "before"}));
    const int contentBefore = dest.value("SELECT COUNT(*) FROM content").toInt();
    const int linksBefore = dest.value("SELECT COUNT(*) FROM category_content").toInt();

    (selectedOnly ? dialog->pbImportSelected : dialog->pbImportAll)->click();

    const QList<MessageBox::Shown> shown = MessageBox::takeShown();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].title, title);
    QCOMPARE(shown[0].text, text);
    QCOMPARE(dest.value("SELECT COUNT(*) FROM content").toInt(), contentBefore);
    QCOMPARE(dest.value("SELECT COUNT(*) FROM category_content").toInt(), linksBefore);
    QCOMPARE(rows(dialog->twDestContent), QStringList{"shown|before"});
    QCOMPARE(dialog->progressBar->value(), 0);
}

void TestImporter::importsIntoACategoryWithAQuote()
{
    std::unique_ptr<dlgTriviaImport> dialog(openQuizNewt("Rock 'n' Roll"));
    dialog->lwDestTables->setCurrentItem(item(dialog->lwDestTables, "O'Brien's Picks"));
    dialog->pbImportAll->click();
    QCOMPARE(MessageBox::takeShown().value(0).title, QStringLiteral("Import Done"));
    QCOMPARE(countIn("O'Brien's Picks"), 2);
}

void TestImporter::questionIsNeverLeftWithoutItsLink()
{
    std::unique_ptr<dlgTriviaImport> dialog(openQuizNewt("Mixed"));
    dialog->lwDestTables->setCurrentItem(item(dialog->lwDestTables, "Linked"));
    dialog->pbImportAll->click();
    QCOMPARE(MessageBox::takeShown().value(0).title, QStringLiteral("Import Done"));
    QCOMPARE(countIn("Linked"), 2);
    QCOMPARE(dest.value("SELECT COUNT(*) FROM content WHERE question='Refuse me'").toInt(), 0);
    QCOMPARE(orphans(), 0);
    QCOMPARE(sorted(rows(dialog->twDestContent)), (QStringList{"Keep me 1|1", "Keep me 2|3"}));
}

void TestImporter::refusedRowIsSkipped()
{
    std::unique_ptr<dlgTriviaImport> dialog(openTriviaBot(longRowsFile, "Long"));
    QCOMPARE(dialog->twSourceContent->topLevelItemCount(), 3);
    dialog->lwDestTables->setCurrentItem(item(dialog->lwDestTables, "Skipping"));
    dialog->pbImportAll->click();
    const QList<MessageBox::Shown> shown = MessageBox::takeShown();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].text, QStringLiteral("Content import was successful!"));
    QCOMPARE(countIn("Skipping"), 2);
    QCOMPARE(sorted(rows(dialog->twDestContent)), (QStringList{"A short one|a", "B short two|b"}));
    QCOMPARE(dialog->progressBar->value(), 3);
}

void TestImporter::closingFreesTheSourceNames_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("Close button") << "button";
    QTest::newRow("window frame") << "frame";
    QTest::newRow("Escape key") << "escape";
}

void TestImporter::closingFreesTheSourceNames()
{
    QFETCH(QString, how);
    for (int round = 0; round < 2; ++round) {
        auto* dialog = openTriviaBot(fixture("triviabot/small.mdb"), "Science");
        dialog->rbQuizNewt->setChecked(true);
        dialog->setSourceFile(source.filePath());
        QCOMPARE(dialog->lwSourceTables->count(), 4);
        QVERIFY(MdbSource::connectionNames().contains("MDB"));
        QVERIFY(QSqlDatabase::connectionNames().contains("FDB"));
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
        if (how == "button")
            dialog->pbClose->click();
        else if (how == "frame")
            dialog->close();
        else
            QTest::keyClick(dialog, Qt::Key_Escape);
        QVERIFY(!dialog->isVisible());
        delete dialog;
        QVERIFY(!MdbSource::connectionNames().contains("MDB"));
        QVERIFY(!QSqlDatabase::connectionNames().contains("FDB"));
    }
    QVERIFY(MessageBox::takeShown().isEmpty());
}

void TestImporter::workStartedDuringAnImportIsRefused()
{
    std::unique_ptr<dlgTriviaImport> dialog(openQuizNewt("Thousand"));
    QCOMPARE(dialog->twSourceContent->topLevelItemCount(), 1000);
    dialog->lwDestTables->setCurrentItem(item(dialog->lwDestTables, "Busy"));
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));

    bool busyMeanwhile = false;
    bool stillOpen = false;
    QTimer::singleShot(0, dialog.get(), [&] {
        busyMeanwhile = dialog->isBusy();
        dialog->pbClose->click();
        dialog->reject();
        dialog->pbImportAll->click();
        dialog->pbImportSelected->click();
        emit dialog->lwDestTables->itemDoubleClicked(item(dialog->lwDestTables, "Busy"));
        emit dialog->lwSourceTables->itemDoubleClicked(item(dialog->lwSourceTables, "Mixed"));
        FileDialog::setNextFileName(fixture("triviabot/small.mdb"));
        dialog->pbBrowse->click();
        stillOpen = dialog->isVisible();
    });
    dialog->pbImportAll->click();

    QVERIFY(busyMeanwhile);
    QVERIFY(stillOpen);
    QVERIFY(dialog->isVisible());
    QVERIFY(!dialog->isBusy());
    const QList<MessageBox::Shown> shown = MessageBox::takeShown();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].title, QStringLiteral("Import Done"));
    QCOMPARE(countIn("Busy"), 1000);
    QCOMPARE(dialog->twDestContent->topLevelItemCount(), 1000);
    QCOMPARE(dialog->twSourceContent->topLevelItemCount(), 1000);
    QCOMPARE(dialog->lwSourceTables->count(), 4);
    QVERIFY(FileDialog::takeAsked().isEmpty());
    QVERIFY(QSqlDatabase::connectionNames().contains("FDB"));
}

void TestImporter::workStartedDuringALoadIsRefused()
{
    std::unique_ptr<dlgTriviaImport> dialog(openTriviaBot(fixture("triviabot/large.mdb"), "none yet"));
    dialog->lwDestTables->setCurrentItem(item(dialog->lwDestTables, "Busy"));
    const int before = countIn("Busy");
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));

    bool busyMeanwhile = false;
    QString progressLabel;
    int progressDelay = 0;
    QTimer::singleShot(0, dialog.get(), [&] {
        busyMeanwhile = dialog->isBusy();
        if (const auto* progress = dialog->findChild<QProgressDialog*>()) {
            progressLabel = progress->labelText();
            progressDelay = progress->minimumDuration();
        }
        dialog->reject();
        emit dialog->lwSourceTables->itemDoubleClicked(item(dialog->lwSourceTables, "General"));
        dialog->pbImportAll->click();
        dialog->setSourceFile(fixture("triviabot/small.mdb"));
    });
    emit dialog->lwSourceTables->itemDoubleClicked(item(dialog->lwSourceTables, "General"));

    QVERIFY(busyMeanwhile);
    QCOMPARE(progressLabel, QStringLiteral("Loading Content..."));
    QCOMPARE(progressDelay, 1000);
    QVERIFY(!dialog->findChild<QProgressDialog*>());
    QVERIFY(dialog->isVisible());
    QCOMPARE(dialog->twSourceContent->topLevelItemCount(), 5000);
    QCOMPARE(countIn("Busy"), before);
    QCOMPARE(items(dialog->lwSourceTables), QStringList{"General"});
    QVERIFY(MessageBox::takeShown().isEmpty());
}

void TestImporter::formKeepsItsProportions()
{
    dlgTriviaImport dialog(nullptr);
    QVERIFY(dialog.rbTriviaBot->isChecked());
    dialog.rbQuizNewt->setChecked(true);
    QVERIFY(!dialog.rbTriviaBot->isChecked());
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QVERIFY(dialog.width() >= 835 && dialog.height() >= 640);
    dialog.resize(1400, 1000);
    QTRY_COMPARE(dialog.width(), 1400);
    for (QListWidget* list : {dialog.lwSourceTables, dialog.lwDestTables})
        QVERIFY(list->width() <= 175);
    QVERIFY(dialog.twSourceContent->width() > 1000);
    QVERIFY(dialog.twDestContent->width() > 1000);
    QVERIFY(dialog.pbClose->height() <= 18 && dialog.pbClose->width() <= 65);
    QVERIFY(dialog.pbImportAll->width() <= 100 && dialog.pbImportSelected->width() <= 100);
}

QTEST_MAIN(TestImporter)
#include "tst_importer.moc"
