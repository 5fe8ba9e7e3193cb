#include <QProgressBar>
#include <QSqlDatabase>
#include <QtTest>

#include <functional>

#include "app/messagebox.h"
#include "db/database.h"
#include "editor/dlgquestioneditor.h"
#include "importer/dlgtriviaimport.h"
#include "importer/filedialog.h"
#include "tests/common/testdatabase.h"
#include "tests/importer/importertestutil.h"

using namespace ImporterTest;

// The importer window against a real destination database (the default
// connection), a QuizNewt source file and TriviaBot files.
class TestImporter : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void accessTableWithoutTheColumnsIsRefused();
    void importsSelectedThenAllTwice();
    void quotedCategoryNamesLoadAndImport();
    void noDestinationStartsNothing();
    void questionIsNeverLeftWithoutItsLink();
    void closingFreesTheSourceNames_data();
    void closingFreesTheSourceNames();
    void workStartedWhileBusyIsRefused();
    void editorReopensTheRememberedFileAsTriviaBot();

private:
    int countIn(QString category) const;
    std::unique_ptr<dlgTriviaImport> open(const QString& file, const QString& table, bool quizNewt = false);

    TestDatabase dest;
    TestDatabase source;
};

void TestImporter::initTestCase()
{
    QVERIFY2(dest.isValid() && source.isValid(), qPrintable(dest.error() + source.error()));
    QString error;
    QVERIFY2(Database::open(dest.filePath(), QLatin1String(QSqlDatabase::defaultConnection), &error).isOpen(),
             qPrintable(error));
    MessageBox::setTestMode(true);
    FileDialog::setTestMode(true);

    for (const char* name : {"Imported", "O'Brien's Picks", "Linked", "Busy"})
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
    source.addQuestions(mixed, 2, QStringLiteral("Keep"));
    source.addQuestion(mixed, QStringLiteral("Refuse me"), QStringLiteral("no"));
}

void TestImporter::init()
{
    MessageBox::takeShown();
    FileDialog::takeAsked();
}

int TestImporter::countIn(QString category) const
{
    return dest.value("SELECT COUNT(*) FROM category_content cc INNER JOIN category cat ON cc.catID=cat.catID "
                      "WHERE cat.catName='" + category.replace('\'', "''") + "'")
        .toInt();
}

std::unique_ptr<dlgTriviaImport> TestImporter::open(const QString& file, const QString& table, bool quizNewt)
{
    auto dialog = std::make_unique<dlgTriviaImport>(nullptr);
    dialog->rbQuizNewt->setChecked(quizNewt);
    dialog->setSourceFile(file);
    if (QListWidgetItem* found = item(dialog->lwSourceTables, table))
        emit dialog->lwSourceTables->itemDoubleClicked(found);
    return dialog;
}

void TestImporter::accessTableWithoutTheColumnsIsRefused()
{
    auto dialog = open(fixture("access/DateTestDatabase.mdb"), "DateTest");
    const QString shown = MessageBox::takeShown().value(0).text;
    QVERIFY2(shown.startsWith("MDB Error: The table \"DateTest\" has no column \"questions\""), qPrintable(shown));
    QCOMPARE(dialog->twSourceContent->topLevelItemCount(), 0);
}

// Three of ten rows selected, then everything twice: each import adds copies.
void TestImporter::importsSelectedThenAllTwice()
{
    auto dialog = open(fixture("triviabot/small.mdb"), "Geography");
    dialog->lwDestTables->setCurrentItem(item(dialog->lwDestTables, "Imported"));
    const QStringList shown = rows(dialog->twSourceContent);
    QList<int> values;
    connect(dialog->progressBar, &QProgressBar::valueChanged, [&](int value) { values << value; });
    for (int i : {2, 5, 7})
        dialog->twSourceContent->topLevelItem(i)->setSelected(true);
    dialog->pbImportSelected->click();
    QCOMPARE(values, (QList<int>{1, 2, 3, 10}));
    QCOMPARE(rows(dialog->twDestContent), (QStringList{shown[2], shown[5], shown[7]}));
    for (int round = 1; round <= 2; ++round) {
        dialog->pbImportAll->click();
        QCOMPARE(countIn("Imported"), 3 + 10 * round);
        // The view shows only the rows just copied, in green.
        QCOMPARE(rows(dialog->twDestContent), shown);
        for (int i = 0; i < 10; ++i)
            QCOMPARE(dialog->twDestContent->topLevelItem(i)->background(1).color(), QColor(Qt::green));
    }
    QCOMPARE(MessageBox::takeShown().size(), 3);
    // Showing the category again lists every copy without colour.
    emit dialog->lwDestTables->itemDoubleClicked(item(dialog->lwDestTables, "Imported"));
    QCOMPARE(dialog->twDestContent->topLevelItemCount(), 23);
    QCOMPARE(dialog->twDestContent->topLevelItem(0)->background(0).style(), Qt::NoBrush);
}

void TestImporter::quotedCategoryNamesLoadAndImport()
{
    auto dialog = open(source.filePath(), "Rock 'n' Roll", true);
    QCOMPARE(rows(dialog->twSourceContent),
             (QStringList{"Who sang 'Hound Dog'?|Elvis", "Chuck Berry's guitar hit?|Johnny B. Goode"}));
    dialog->lwDestTables->setCurrentItem(item(dialog->lwDestTables, "O'Brien's Picks"));
    dialog->pbImportAll->click();
    QCOMPARE(MessageBox::takeShown().value(0).title, QStringLiteral("Import Done"));
    QCOMPARE(countIn("O'Brien's Picks"), 2);
}

void TestImporter::noDestinationStartsNothing()
{
    auto dialog = open(fixture("triviabot/small.mdb"), "Science");
    const QVariant before = dest.value("SELECT COUNT(*) FROM content");
    dialog->pbImportAll->click();
    QCOMPARE(MessageBox::takeShown().value(0).text,
             QStringLiteral("Please click the QuizNewt category to import into in the list below, then import again.\n"));
    QCOMPARE(dest.value("SELECT COUNT(*) FROM content"), before);
}

void TestImporter::questionIsNeverLeftWithoutItsLink()
{
    auto dialog = open(source.filePath(), "Mixed", true);
    dialog->lwDestTables->setCurrentItem(item(dialog->lwDestTables, "Linked"));
    dialog->pbImportAll->click();
    QCOMPARE(MessageBox::takeShown().value(0).title, QStringLiteral("Import Done"));
    QCOMPARE(rows(dialog->twDestContent), (QStringList{"Keep 1|Answer 1", "Keep 0|Answer 0"}));
    QCOMPARE(countIn("Linked"), 2);
    QCOMPARE(dest.column("SELECT question FROM content WHERE contentID NOT IN (SELECT contentID FROM category_content)"),
             QStringList());
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
    auto dialog = open(fixture("triviabot/small.mdb"), "Science");
    dialog->rbQuizNewt->setChecked(true);
    dialog->setSourceFile(source.filePath());
    QVERIFY(MdbSource::connectionNames().contains("MDB") && QSqlDatabase::connectionNames().contains("FDB"));
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
    if (how == "button")
        dialog->pbClose->click();
    else if (how == "frame")
        dialog->close();
    else
        QTest::keyClick(dialog.get(), Qt::Key_Escape);
    QVERIFY(!dialog->isVisible());
    dialog.reset();
    QVERIFY(!MdbSource::connectionNames().contains("MDB") && !QSqlDatabase::connectionNames().contains("FDB"));
}

// Whatever is started while a load or an import runs is refused, closing included.
void TestImporter::workStartedWhileBusyIsRefused()
{
    auto dialog = open(fixture("triviabot/large.mdb"), "none yet");
    dialog->lwDestTables->setCurrentItem(item(dialog->lwDestTables, "Busy"));
    dialog->show();
    QList<bool> busyMeanwhile;
    const auto meddle = [&] {
        busyMeanwhile << dialog->isBusy();
        dialog->reject();
        dialog->pbImportAll->click();
        emit dialog->lwSourceTables->itemDoubleClicked(item(dialog->lwSourceTables, "General"));
        dialog->pbBrowse->click();
    };
    QTimer::singleShot(0, dialog.get(), meddle);
    emit dialog->lwSourceTables->itemDoubleClicked(item(dialog->lwSourceTables, "General"));
    QCOMPARE(countIn("Busy"), 0);
    QTimer::singleShot(0, dialog.get(), meddle);
    dialog->pbImportAll->click();

    QCOMPARE(busyMeanwhile, (QList<bool>{true, true}));
    QVERIFY(dialog->isVisible());
    QCOMPARE(dialog->twSourceContent->topLevelItemCount(), 5000);
    QCOMPARE(countIn("Busy"), 5000);
    QCOMPARE(MessageBox::takeShown().size(), 1);
    QVERIFY(FileDialog::takeAsked().isEmpty());
}

// The editor's Import button runs the importer modally, then reloads its
// questions and offers the importer's file again next time.
void TestImporter::editorReopensTheRememberedFileAsTriviaBot()
{
    dlgQuestionEditor editor(nullptr);
    editor.show();
    const QString category = editor.cbCategory->currentText();
    const auto runImporter = [&](const std::function<void(dlgTriviaImport*)>& step) {
        QTimer poll;
        connect(&poll, &QTimer::timeout, [&] {
            if (auto* importer = qobject_cast<dlgTriviaImport*>(QApplication::activeModalWidget())) {
                poll.stop();
                step(importer);
                importer->reject();
            }
        });
        poll.start(10);
        editor.pbImport->click();
    };
    QStringList files;
    runImporter([&](dlgTriviaImport* importer) {
        files << importer->sourceFile();
        FileDialog::setNextFileName(fixture("triviabot/small.mdb"));
        importer->pbBrowse->click();
        emit importer->lwSourceTables->itemDoubleClicked(item(importer->lwSourceTables, "Science"));
        importer->lwDestTables->setCurrentItem(item(importer->lwDestTables, category));
        importer->pbImportAll->click();
        // Typing opens nothing, but is what the editor remembers.
        importer->leFilename->setText(source.filePath());
        QTest::keyClick(importer, Qt::Key_Escape);
    });
    QCOMPARE(MessageBox::takeShown().value(0).title, QStringLiteral("Import Done"));
    QCOMPARE(editor.twContent->topLevelItemCount(), countIn(category));
    runImporter([&](dlgTriviaImport* importer) { files << importer->sourceFile(); });
    QCOMPARE(files, (QStringList{"", source.filePath()}));
    // A QuizNewt file remembered is still opened as a TriviaBot file.
    QCOMPARE(MessageBox::takeShown().value(0).text, QStringLiteral("Unable to open QuizNewt ODBC database"));
}

QTEST_MAIN(TestImporter)
#include "tst_importer.moc"
