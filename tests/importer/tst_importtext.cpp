// A question file imported through the importer window into a real database
// (the default connection), from Browse to the report.

#include <QtTest>

#include "db/database.h"
#include "gui/filedialog.h"
#include "gui/messagebox.h"
#include "importer/dlgtriviaimport.h"
#include "tests/common/testdatabase.h"

static QStringList texts(const QListWidget* list)
{
    QStringList result;
    for (int i = 0; i < list->count(); ++i)
        result << list->item(i)->text();
    return result;
}

class TestImportText : public QObject
{
    Q_OBJECT

    TestDatabase dest;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(dest.isValid(), qPrintable(dest.error()));
        QString error;
        QVERIFY2(Database::open(dest.filePath(), QLatin1String(QSqlDatabase::defaultConnection), &error).isOpen(),
                 qPrintable(error));
        MessageBox::setTestMode(true);
        FileDialog::setTestMode(true);
        // Stored already, in another case: the file's row is skipped.
        dest.addQuestion(dest.addCategory(QStringLiteral("Imported")), QStringLiteral("what is h2o?"),
                         QStringLiteral("WATER"));
    }

    void importsACategoryOfAFileWithAReport()
    {
        dlgTriviaImport dialog(nullptr);
        dialog.rbTextFile->setChecked(true);
        FileDialog::setNextFileName(QStringLiteral(QUIZNEWT_TEST_DATA "/questions/blocks.txt"));
        dialog.pbBrowse->click();
        QVERIFY(FileDialog::takeAsked().value(0).filter.contains(QLatin1String("*.yaml")));
        QCOMPARE(texts(dialog.lwSourceTables), (QStringList{"History", "Science"}));

        emit dialog.lwSourceTables->itemDoubleClicked(dialog.lwSourceTables->item(1));
        QCOMPARE(dialog.twSourceContent->topLevelItemCount(), 2);
        // File order, not sorted.
        QCOMPARE(dialog.twSourceContent->topLevelItem(0)->text(0), QStringLiteral("What is H2O?"));
        QCOMPARE(dialog.twSourceContent->topLevelItem(1)->text(0), QStringLiteral("Chemical symbol of gold?"));

        dialog.lwDestTables->setCurrentItem(dialog.lwDestTables->findItems("Imported", Qt::MatchExactly).value(0));
        dialog.pbImportAll->click();
        const QList<MessageBox::Shown> shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].text, QStringLiteral("blocks.txt: 1 imported, 4 skipped"));
        QCOMPARE(shown[0].details.split('\n').size(), 4);
        QVERIFY2(shown[0].details.startsWith(QLatin1String("line 14: already in category \"Imported\"\nline 18: ")),
                 qPrintable(shown[0].details));
        QCOMPARE(dest.column("SELECT c.answer FROM content c JOIN category_content cc ON cc.contentID=c.contentID "
                             "ORDER BY c.contentID"),
                 (QStringList{"WATER", "Au"}));
        QCOMPARE(dialog.progressBar->value(), dialog.progressBar->maximum());
    }
};

QTEST_MAIN(TestImportText)
#include "tst_importtext.moc"
