// The TriviaBot files of tests/data read through the reader process, and the
// importer window against a real destination database (the default
// connection) with those files, a question file and a QuizNewt file as sources.

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProgressBar>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

#include "db/database.h"
#include "editor/dlgquestioneditor.h"
#include "gui/filedialog.h"
#include "gui/messagebox.h"
#include "importer/dlgtriviaimport.h"
#include "tests/common/testwindow.h"
#include "tests/importer/importertestutil.h"

using namespace ImporterTest;

static QByteArray contents(const QString& path)
{
    QFile in(path);
    return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
}

class TestImporter : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    TestDatabase dest;
    TestDatabase source;

    int countIn(QString category) const
    {
        return dest.value("SELECT COUNT(*) FROM category_content cc INNER JOIN category cat ON cc.catID=cat.catID "
                          "WHERE cat.catName='" + category.replace('\'', "''") + "'").toInt();
    }
    // The importer with a table of a TriviaBot file loaded and a destination picked.
    static std::unique_ptr<dlgTriviaImport> open(const QString& file, const QString& table, const QString& destination)
    {
        auto dialog = std::make_unique<dlgTriviaImport>(nullptr);
        dialog->setSourceFile(file);
        emit dialog->lwSourceTables->itemDoubleClicked(item(dialog->lwSourceTables, table));
        dialog->lwDestTables->setCurrentItem(item(dialog->lwDestTables, destination));
        return dialog;
    }

private Q_SLOTS:
    void initTestCase()
    {
        for (const char* name : {"small.mdb", "small.json", "large.mdb", "DateTestDatabase.mdb"})
            QVERIFY2(QFileInfo::exists(fixture(name)), qPrintable(fixture(name) + " is missing"));
        QVERIFY2(dest.isValid() && source.isValid(), qPrintable(dest.error() + source.error()));
        QString error;
        QVERIFY2(Database::open(dest.filePath(), QLatin1String(QSqlDatabase::defaultConnection), &error).isOpen(),
                 qPrintable(error));
        MessageBox::setTestMode(true);
        FileDialog::setTestMode(true);
        for (const char* name : {"Imported", "O'Brien's Picks", "Busy"})
            dest.addCategory(QString::fromUtf8(name));
        const qint64 rock = source.addCategory(QStringLiteral("Rock 'n' Roll"));
        source.addQuestion(rock, QStringLiteral("Who sang 'Hound Dog'?"), QStringLiteral("Elvis "));
        source.addQuestion(rock, QStringLiteral("Chuck Berry's guitar hit?"), QString());
        source.addQuestion(rock, QStringLiteral("Chuck Berry's first hit?"), QStringLiteral("Maybellene"));
    }
    void init()
    {
        MessageBox::takeShown();
        FileDialog::takeAsked();
    }

    // Truncated copies, table definitions whose counts lie, a byte that
    // crashes the reader and a FIFO: one case for each of the reader's
    // defences.
    void damagedFilesFailCleanly_data()
    {
        QTest::addColumn<QString>("file");
        // First, so that the table is never empty: Qt would run the test without data.
        QTest::newRow("a FIFO, refused before the reader runs") << dir.filePath("stall.mdb");
        QCOMPARE(::mkfifo(QFile::encodeName(dir.filePath("stall.mdb")).constData(), 0600), 0);
        const auto add = [&](const QString& label, const QByteArray& data) {
            QFile out(dir.filePath(label));
            QVERIFY(out.open(QIODevice::WriteOnly) && out.write(data) == data.size());
            QTest::newRow(qPrintable(label)) << out.fileName();
        };
        for (const QString base : {"small", "large"}) {
            const QByteArray data = contents(fixture(base + ".mdb"));
            QVERIFY2(data.size() > 24631, qPrintable(fixture(base + ".mdb") + " is too short to damage"));
            for (int length : {100, 4096 * 2 + 17, 4096 * 3, int(data.size()) / 2, int(data.size()) - 1})
                add(QStringLiteral("%1 cut to %2 bytes").arg(base).arg(length), data.left(length));
            // Offsets in the table definition pages (type 2) of the user tables.
            const QList<std::tuple<const char*, int, QByteArray>> lies{{"row count", 16, QByteArray(4, '\xff')},
                                                                      {"column count", 45, QByteArray(2, '\xff')}};
            for (const auto& [what, offset, bytes] : lies) {
                QByteArray copy = data;
                for (int page = 3 * 4096; page + 4096 <= copy.size(); page += 4096) {
                    if (copy[page] == 2 && copy[page + 1] == 1)
                        copy.replace(page + offset, bytes.size(), bytes);
                }
                add(QStringLiteral("%1 whose table definition lies about its %2").arg(base, what), copy);
            }
        }
        QByteArray crash = contents(fixture("small.mdb"));
        crash[24631] = char(199);
        add(QStringLiteral("small with a byte that crashes the reader in Geography"), crash);
    }
    // Each reads or fails with a reason, never crashes this process nor hangs,
    // and the source reads a sound file afterwards, exactly as small.json has
    // it. The importer's box for a file that does not open names it and the
    // reason under its details.
    void damagedFilesFailCleanly()
    {
        QFETCH(QString, file);
        MdbSource::setLimits(5000, 64 * 1024 * 1024);
        QElapsedTimer timer;
        timer.start();
        MdbSource source(QStringLiteral("probe"));
        if (!source.open(file)) {
            QVERIFY(!source.lastError().isEmpty());
            FileDialog::setNextFileName(file);
            dlgTriviaImport(nullptr).pbBrowse->click();
            const MessageBox::Shown box = MessageBox::takeShown().value(0);
            QCOMPARE(box.text, QStringLiteral("Unable to open QuizNewt ODBC database"));
            QVERIFY2(box.details.contains(file) && box.details.contains(source.lastError()), qPrintable(box.details));
        }
        QList<SourceRow> rows;
        for (const QString& table : source.tables().mid(0, 6)) {
            if (!source.readTable(table, &rows))
                QVERIFY(!source.lastError().isEmpty() && rows.isEmpty());
        }
        // Each read is cut off after five idle seconds at worst.
        QVERIFY2(timer.elapsed() < 40000, qPrintable(QString::number(timer.elapsed())));
        QVERIFY(source.open(fixture("small.mdb")));
        QCOMPARE(source.tables(), QStringList({"Geography", "Science", "80's Music", "Umlaute äöü", "Empty"}));
        const QJsonObject small = QJsonDocument::fromJson(contents(fixture("small.json"))).object()["tables"].toObject();
        for (const QString& table : source.tables()) {
            QStringList expected;
            for (const QJsonValue& row : small[table].toArray())
                expected << row[0].toString() + '|' + row[1].toString();
            QVERIFY2(source.readTable(table, &rows), qPrintable(source.lastError()));
            QStringList actual;
            for (const SourceRow& row : rows)
                actual << row.question + '|' + row.answer;
            QCOMPARE(actual, expected);
        }
    }

    // A FIFO chosen as a question file or as a QuizNewt file is refused at
    // once with the reason; nothing waits for a writer, the game included.
    // The rows of the source listed before go with it, never to be imported.
    void refusesAFifo_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("textFile");
        QTest::newRow("question file") << "fifo.txt" << true;
        QTest::newRow("QuizNewt file") << "fifo.fdb" << false;
    }
    void refusesAFifo()
    {
        QFETCH(QString, name);
        QFETCH(bool, textFile);
        const QString fifo = dir.filePath(name);
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        dlgTriviaImport dialog(nullptr);
        dialog.setSourceFile(fixture("small.mdb"));
        emit dialog.lwSourceTables->itemDoubleClicked(item(dialog.lwSourceTables, "Geography"));
        (textFile ? dialog.rbTextFile : dialog.rbQuizNewt)->setChecked(true);
        FileDialog::setNextFileName(fifo);
        // A window that waited on the FIFO is killed by the alarm rather than hanging.
        ::alarm(60);
        dialog.pbBrowse->click();
        ::alarm(0);
        const MessageBox::Shown box = MessageBox::takeShown().value(0);
        QVERIFY2((box.text + '\n' + box.details).contains(name + ": a named pipe (FIFO), not a regular file"),
                 qPrintable(box.text + '|' + box.details));
        QCOMPARE(dialog.lwSourceTables->count() + dialog.twSourceContent->topLevelItemCount(), 0);
        dialog.lwDestTables->setCurrentRow(0);
        dialog.pbImportAll->click();
        QCOMPARE(MessageBox::takeShown().value(0).title, QStringLiteral("No Content"));
    }

    // A question file listed after a TriviaBot table: its rows show in file
    // order; a category of it imports with a report of what was skipped, the
    // file's lines and the plan's together.
    void importsACategoryOfAQuestionFile()
    {
        dest.addQuestion(dest.addCategory("Chemistry"), "what is h2o?", "WATER");
        dlgTriviaImport dialog(nullptr);
        dialog.setSourceFile(fixture("small.mdb"));
        emit dialog.lwSourceTables->itemDoubleClicked(item(dialog.lwSourceTables, "Geography"));
        dialog.rbTextFile->setChecked(true);
        FileDialog::setNextFileName(fixture("questions/blocks.txt"));
        dialog.pbBrowse->click();
        // The table's rows went with its list.
        QCOMPARE(QString::number(dialog.twSourceContent->topLevelItemCount()) + dialog.lblSourceCount->text(), "0");
        QCOMPARE(dialog.lwSourceTables->count(), 2);
        QCOMPARE(dialog.lwSourceTables->item(0)->text() + dialog.lwSourceTables->item(1)->text(), "HistoryScience");
        emit dialog.lwSourceTables->itemDoubleClicked(item(dialog.lwSourceTables, "Science"));
        QCOMPARE(treeRows(dialog.twSourceContent), (QStringList{"What is H2O?|Water", "Chemical symbol of gold?|Au"}));
        dialog.lwDestTables->setCurrentItem(item(dialog.lwDestTables, "Chemistry"));
        dialog.pbImportAll->click();
        const MessageBox::Shown shown = MessageBox::takeShown().value(0);
        QCOMPARE(shown.text, QStringLiteral("blocks.txt: 1 imported, 4 skipped"));
        QVERIFY2(shown.details.startsWith("line 14: already in category \"Chemistry\"\nline 18: "),
                 qPrintable(shown.details));
        QCOMPARE(dialog.progressBar->value(), dialog.progressBar->maximum());
    }

    // Three of ten rows selected, then everything twice: each import adds
    // copies. Nothing starts before a destination is picked.
    void importsSelectedThenAllTwice()
    {
        auto dialog = open(fixture("small.mdb"), "Geography", "");
        dialog->pbImportAll->click();
        QCOMPARE(MessageBox::takeShown().value(0).text,
                 "Please click the QuizNewt category to import into in the list below, then import again.\n");
        QCOMPARE(countIn("Imported"), 0);
        dialog->lwDestTables->setCurrentItem(item(dialog->lwDestTables, "Imported"));
        // Both views start A to Z.
        const QStringList shown = treeRows(dialog->twSourceContent);
        QCOMPARE(shown.size(), 10);
        QVERIFY(std::is_sorted(shown.begin(), shown.end()));
        QList<int> values;
        connect(dialog->progressBar, &QProgressBar::valueChanged, [&](int value) { values << value; });
        for (int i : {2, 5, 7})
            dialog->twSourceContent->topLevelItem(i)->setSelected(true);
        QCOMPARE(dialog->lblSourceCount->text(), QStringLiteral("10 questions, 3 selected"));
        dialog->pbImportSelected->click();
        // The bar counts against every source row.
        QCOMPARE(values, (QList<int>{1, 2, 3, 10}));
        QCOMPARE(treeRows(dialog->twDestContent), (QStringList{shown[2], shown[5], shown[7]}));
        QCOMPARE(dialog->lblDestCount->text(), QStringLiteral("3 imported into \"Imported\""));
        for (int round = 1; round <= 2; ++round) {
            dialog->pbImportAll->click();
            QCOMPARE(countIn("Imported"), 3 + 10 * round);
            // The view shows only the rows just copied, in green.
            QCOMPARE(treeRows(dialog->twDestContent), shown);
            for (int i = 0; i < 10; ++i)
                QCOMPARE(dialog->twDestContent->topLevelItem(i)->background(1).color(), QColor(Qt::green));
        }
        // One report box per import; what a report says is the pipeline's.
        QCOMPARE(MessageBox::takeShown().size(), 3);
        // Showing the category again lists every copy without colour.
        emit dialog->lwDestTables->itemDoubleClicked(item(dialog->lwDestTables, "Imported"));
        const QStringList stored = treeRows(dialog->twDestContent);
        QCOMPARE(stored.size(), 23);
        QCOMPARE(dialog->lblDestCount->text(), QStringLiteral("23 questions in \"Imported\""));
        QVERIFY(std::is_sorted(stored.begin(), stored.end()));
        QCOMPARE(dialog->twDestContent->topLevelItem(0)->background(0).style(), Qt::NoBrush);
    }

    void fdbSourceImportThenClose_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("Close button") << "button";
        QTest::newRow("window frame") << "frame";
        QTest::newRow("Escape key") << "escape";
    }
    // An Access table without the columns is refused; a QuizNewt file that
    // does not open is refusesAFifo's box. Quoted names load
    // and import, an answer's blank trimmed and an empty one reported. However
    // the window closes, both sources' names go with it.
    void fdbSourceImportThenClose()
    {
        QFETCH(QString, how);
        auto dialog = open(fixture("DateTestDatabase.mdb"), "DateTest", "O'Brien's Picks");
        const QString refusal = MessageBox::takeShown().value(0).text;
        QVERIFY2(refusal.startsWith("MDB Error: The table \"DateTest\" has no column \"questions\""), qPrintable(refusal));
        QCOMPARE(dialog->twSourceContent->topLevelItemCount(), 0);
        const int before = countIn("O'Brien's Picks");
        dialog->setSourceFile(source.filePath());
        emit dialog->lwSourceTables->itemDoubleClicked(item(dialog->lwSourceTables, "Rock 'n' Roll"));
        QCOMPARE(dialog->twSourceContent->topLevelItemCount(), 3);
        dialog->pbImportAll->click();
        const MessageBox::Shown done = MessageBox::takeShown().value(0);
        QCOMPARE(done.title + '|' + done.text + '|' + done.details,
                 "Import Done|" + QFileInfo(source.filePath()).fileName()
                     + ": 2 imported, 1 skipped, 1 answer trimmed|line 2: the answer is empty");
        QCOMPARE(treeRows(dialog->twDestContent),
                 (QStringList{"Chuck Berry's first hit?|Maybellene", "Who sang 'Hound Dog'?|Elvis"}));
        QCOMPARE(countIn("O'Brien's Picks"), before + 2);

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

    // Whatever is started while a load or an import runs is refused; a Close
    // during a load closes the window once the load is done.
    void workStartedWhileBusyIsRefused()
    {
        auto dialog = open(fixture("large.mdb"), "none yet", "Busy");
        dialog->show();
        QList<bool> busyMeanwhile;
        const auto meddle = [&] {
            busyMeanwhile << dialog->isBusy();
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
        QCOMPARE(dialog->twSourceContent->topLevelItemCount(), 5000);
        QCOMPARE(countIn("Busy"), 5000);
        QCOMPARE(MessageBox::takeShown().size(), 1);
        QVERIFY(FileDialog::takeAsked().isEmpty());

        QTimer::singleShot(0, dialog.get(), [&] { dialog->reject(); });
        emit dialog->lwSourceTables->itemDoubleClicked(item(dialog->lwSourceTables, "General"));
        QCOMPARE(dialog->twSourceContent->topLevelItemCount(), 5000);
        QVERIFY(!dialog->isVisible());
    }

    // Cancel, or Close answered Yes, stops the import after the batch in
    // flight: what was committed by then stays, whole, and the report says
    // how much. Close answered No changes nothing.
    void importStopsAfterTheBatchInFlight_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("stops");
        QTest::newRow("Cancel") << "Cancel" << true;
        QTest::newRow("Close, stop it") << "Yes" << true;
        QTest::newRow("Close, go on") << "No" << false;
    }
    void importStopsAfterTheBatchInFlight()
    {
        QFETCH(QString, how);
        QFETCH(bool, stops);
        const QString category = QTest::currentDataTag();
        dest.addCategory(category);
        auto dialog = open(fixture("large.mdb"), "General", category);
        dialog->show();
        // Events are handled first after the first batch.
        int committed = -1;
        QTimer::singleShot(0, dialog.get(), [&] {
            committed = dialog->twDestContent->topLevelItemCount();
            MessageBox::setNextAnswer(how == "Yes" ? QMessageBox::Yes : QMessageBox::No);
            (how == "Cancel" ? dialog->pbCancel : dialog->pbClose)->click();
        });
        dialog->pbImportAll->click();

        const int stored = countIn(category);
        QVERIFY2(committed > 0 && committed < 5000, qPrintable(QString::number(committed)));
        QCOMPARE(stored, stops ? committed : 5000);
        QCOMPARE(dialog->twDestContent->topLevelItemCount(), stored);
        QCOMPARE(dest.value("SELECT COUNT(*) FROM content WHERE contentID NOT IN "
                            "(SELECT contentID FROM category_content)").toInt(), 0);
        const QList<MessageBox::Shown> boxes = MessageBox::takeShown();
        QCOMPARE(boxes.size(), how == "Cancel" ? 1 : 2);
        QCOMPARE(boxes.last().title + ": " + boxes.last().text,
                 QStringLiteral("Import Done: large.mdb: %1 imported, 0 skipped").arg(stored)
                     + (stops ? QStringLiteral("; cancelled, %1 not imported").arg(5000 - stored) : QString()));
        QCOMPARE(dialog->isVisible(), how != "Yes");
    }

    // The editor's Import button runs the importer modally, then reloads its
    // questions and hands the importer's file to the next one, which opens it
    // as the kind of file it is, without a box.
    void editorRemembersTheImportFile()
    {
        dlgQuestionEditor editor(nullptr);
        editor.show();
        const QString category = editor.cbCategory->currentText();
        QStringList seen;
        const auto runImporter = [&](const std::function<void()>& meanwhile) {
            QTimer poll;
            connect(&poll, &QTimer::timeout, [&] {
                if (auto* importer = qobject_cast<dlgTriviaImport*>(QApplication::activeModalWidget())) {
                    poll.stop();
                    seen << importer->sourceFile() << QString::number(MessageBox::takeShown().size());
                    if (importer->rbQuizNewt->isChecked() && importer->lwSourceTables->count() == 1)
                        seen << importer->lwSourceTables->item(0)->text();
                    FileDialog::setNextFileName(source.filePath());
                    importer->rbQuizNewt->setChecked(true);
                    importer->pbBrowse->click();
                    meanwhile();
                    importer->reject();
                }
            });
            poll.start(10);
            editor.pbImport->click();
        };
        runImporter([&] {
            dest.addQuestion(dest.value("SELECT catID FROM category WHERE catName='" + category + "'").toLongLong(),
                             QStringLiteral("Added meanwhile?"), QStringLiteral("Yes"));
        });
        // The list comes a page at a time as one scrolls.
        for (int listed = -1; listed != editor.twContent->topLevelItemCount();) {
            listed = editor.twContent->topLevelItemCount();
            editor.twContent->scrollToBottom();
            QCoreApplication::processEvents();
        }
        QCOMPARE(editor.twContent->topLevelItemCount(), countIn(category));
        runImporter([] {});
        QCOMPARE(seen, (QStringList{"", "0", source.filePath(), "0", "Rock 'n' Roll"}));
    }
};

QTEST_MAIN(TestImporter)
#include "tst_importer.moc"
