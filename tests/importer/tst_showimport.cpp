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

// The question editor's Import button: the importer runs modally, remembers
// its file for the next opening and the editor shows what was imported.
class TestShowImport : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void importerRemembersItsFileAndTheEditorReloads();

private:
    // Opens the importer from the editor and runs step on it once it is up.
    bool runImporter(dlgQuestionEditor* editor, const std::function<void(dlgTriviaImport*)>& step);

    TestDatabase dest;
};

void TestShowImport::initTestCase()
{
    QVERIFY2(dest.isValid(), qPrintable(dest.error()));
    QString error;
    QVERIFY2(Database::open(dest.filePath(), QLatin1String(QSqlDatabase::defaultConnection), &error).isOpen(),
             qPrintable(error));
    dest.addCategory(QStringLiteral("Alpha"));
    MessageBox::setTestMode(true);
    FileDialog::setTestMode(true);
}

void TestShowImport::cleanupTestCase()
{
    QSqlDatabase::database().close();
    QSqlDatabase::removeDatabase(QLatin1String(QSqlDatabase::defaultConnection));
}

bool TestShowImport::runImporter(dlgQuestionEditor* editor, const std::function<void(dlgTriviaImport*)>& step)
{
    bool ran = false;
    QTimer poll;
    poll.setInterval(10);
    connect(&poll, &QTimer::timeout, [&] {
        auto* importer = qobject_cast<dlgTriviaImport*>(QApplication::activeModalWidget());
        if (!importer || ran)
            return;
        ran = true;
        poll.stop();
        step(importer);
        // Step may have closed it already; then this does nothing.
        importer->reject();
    });
    poll.start();
    const bool invoked = QMetaObject::invokeMethod(editor, "showImport");
    return invoked && ran;
}

void TestShowImport::importerRemembersItsFileAndTheEditorReloads()
{
    dlgQuestionEditor editor(nullptr);
    editor.show();
    QCOMPARE(editor.twContent->topLevelItemCount(), 0);

    QString firstFile = QStringLiteral("unset");
    QVERIFY(runImporter(&editor, [&](dlgTriviaImport* importer) {
        firstFile = importer->sourceFile();
        FileDialog::setNextFileName(fixture("triviabot/small.mdb"));
        importer->pbBrowse->click();
        emit importer->lwSourceTables->itemDoubleClicked(item(importer->lwSourceTables, "Science"));
        importer->lwDestTables->setCurrentItem(item(importer->lwDestTables, "Alpha"));
        importer->pbImportAll->click();
        importer->pbClose->click();
    }));
    QCOMPARE(firstFile, QString());
    QCOMPARE(MessageBox::takeShown().value(0).title, QStringLiteral("Import Done"));
    // The editor lists the imported questions of its current category.
    QCOMPARE(editor.twContent->topLevelItemCount(), 8);
    QVERIFY(!MdbSource::connectionNames().contains("MDB"));
    QVERIFY(!editor.findChild<dlgTriviaImport*>());

    QString secondFile;
    int secondTables = -1;
    QVERIFY(runImporter(&editor, [&](dlgTriviaImport* importer) {
        secondFile = importer->sourceFile();
        secondTables = importer->lwSourceTables->count();
        // Typing opens nothing, but is what the editor remembers.
        importer->leFilename->setText(QStringLiteral("/typed/elsewhere.fdb"));
        QTest::keyClick(importer, Qt::Key_Escape);
    }));
    QCOMPARE(secondFile, fixture("triviabot/small.mdb"));
    QCOMPARE(secondTables, 5);

    QString thirdFile;
    QVERIFY(runImporter(&editor, [&](dlgTriviaImport* importer) { thirdFile = importer->sourceFile(); }));
    QCOMPARE(thirdFile, QStringLiteral("/typed/elsewhere.fdb"));
    // The remembered file is tried as a TriviaBot file.
    QCOMPARE(MessageBox::takeShown().value(0).text, QStringLiteral("Unable to open QuizNewt ODBC database"));
}

QTEST_MAIN(TestShowImport)
#include "tst_showimport.moc"
