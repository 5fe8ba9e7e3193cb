// quiznewt-import run as a user runs it, each case on a fresh real database
// that the settings name.

#include <QSettings>
#include <QtTest>

#include <sys/stat.h>

#include "tests/common/testdatabase.h"

static QString data(const char* name)
{
    return QStringLiteral(QUIZNEWT_TEST_DATA "/questions/") + QLatin1String(name);
}

class TestImportTool : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { isolateSettings(); }
    void runs_data()
    {
        QTest::addColumn<bool>("installed"); // the settings name the database
        QTest::addColumn<QString>("seed"); // a category there before the run
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("output"); // texts the output holds
        QTest::addColumn<int>("categories");
        QTest::addColumn<int>("questions");

        const QString blocks = data("blocks.txt");
        const QString csv = data("questions.csv");
        const QString star = data("star.txt");
        QTest::newRow("no file") << true << "" << QStringList{} << 2 << QStringList{"Usage:"} << 0 << 0;
        QTest::newRow("category without a name") << true << "" << QStringList{star, "--category"} << 2
                                                 << QStringList{} << 0 << 0;
        QTest::newRow("no database") << false << "" << QStringList{"--category", "A", "--create-category", star} << 1
                                     << QStringList{"no database"} << 0 << 0;
        QTest::newRow("missing categories refused") << true << "" << QStringList{blocks, csv} << 1
            << QStringList{"no category \"History\", \"Music\", \"Science\"", "--create-category"} << 0 << 0;
        QTest::newRow("an unreadable file stores nothing") << true << ""
            << QStringList{"--create-category", blocks, data("none.txt")} << 1
            << QStringList{"none.txt: cannot be opened"} << 0 << 0;
        QTest::newRow("a damaged file stores nothing") << true << "Kept"
            << QStringList{"--category", "Kept", star, data("damaged.yaml")} << 1
            << QStringList{"damaged.yaml: line"} << 1 << 0;
        // "%late.yaml": more rows than the tool stores at a time, then a fault.
        QTest::newRow("a fault after many rows stores nothing") << true << "Kept"
            << QStringList{"--category", "Kept", "%late.yaml"} << 1 << QStringList{"late.yaml: line 15002: YAML error"}
            << 1 << 0;
        QTest::newRow("dry run") << true << "" << QStringList{"--dry-run", "--create-category", blocks, csv} << 0
            << QStringList{"blocks.txt: 4 imported, 3 skipped", "questions.csv: 4 imported, 2 skipped", "Dry run"} << 0
            << 0;
        QTest::newRow("the files' categories, created") << true << ""
            << QStringList{"--create-category", blocks, csv, data("tab_latin1_cr.tsv")} << 0
            << QStringList{"blocks.txt: 4 imported, 3 skipped, 5 lines of other keys ignored (Author 1, Comment 1, Level 1, "
                           "Regexp 1, Tip 1)\n  line 18: a Question line without an Answer line\n",
                           "questions.csv: 4 imported, 2 skipped", "tab_latin1_cr.tsv: 3 imported, 3 skipped",
                           "  line 3: no category; name one with --category"}
            << 5 << 11;
        QTest::newRow("one category found ignoring case; a second copy skipped") << true << "SCIENCE"
            << QStringList{"--category", "science", star, star} << 0
            << QStringList{"star.txt: 5 imported, 4 skipped", "star.txt: 0 imported, 9 skipped"} << 1 << 5;
        // "@fdb": another QuizNewt database, of one category.
        QTest::newRow("a QuizNewt database: its categories, answers trimmed") << true << ""
            << QStringList{"--create-category", "@fdb"} << 0 << QStringList{".fdb: 2 imported, 0 skipped, 1 answer trimmed"}
            << 1 << 2;
        // What is no regular file is refused at once, whatever kind of source its
        // name says it is; a tool that waited on a FIFO fails after a minute. "%": in a temporary folder.
        const auto refused = [](const char* row, const QString& path, const QString& reason) {
            QTest::newRow(row) << true << "A" << QStringList{"--category", "A", path} << 1 << QStringList{reason} << 1 << 0;
        };
        const QString fifo = QStringLiteral("a named pipe (FIFO), not a regular file");
        refused("a FIFO named as a question file", "%fifo.txt", fifo);
        refused("a FIFO named as a TriviaBot file", "%fifo.mdb", fifo);
        refused("a FIFO named as a QuizNewt file", "%fifo.fdb", fifo);
        refused("a device whose size reads 0", "/dev/zero", "/dev/zero: a device, not a regular file");
        refused("a folder", "%", "a folder, not a regular file");
    }

    void runs()
    {
        QFETCH(bool, installed);
        QFETCH(QString, seed);
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QStringList, output);

        TestDatabase db;
        QVERIFY2(db.isValid(), qPrintable(db.error()));
        if (installed)
            db.makeInstallDir();
        else
            QSettings(QStringLiteral("NewtLiberty"), QStringLiteral("QuizNewt")).remove(QStringLiteral("InstallDir"));
        if (!seed.isEmpty())
            db.addCategory(seed);
        std::unique_ptr<TestDatabase> other;
        if (arguments.contains("@fdb")) {
            other = std::make_unique<TestDatabase>();
            const qint64 rock = other->addCategory("Rock");
            other->addQuestion(rock, "Who sang 'Hound Dog'?", "Elvis ");
            other->addQuestion(rock, "Who sang Thriller?", "Michael Jackson");
            other->connection().close();
            arguments.replaceInStrings("@fdb", other->filePath());
        }
        QTemporaryDir dir;
        for (QString& argument : arguments) {
            if (argument.startsWith('%')) {
                argument = dir.filePath(argument.mid(1));
                if (argument.contains("fifo"))
                    QCOMPARE(::mkfifo(QFile::encodeName(argument).constData(), 0600), 0);
                if (argument.endsWith("late.yaml")) {
                    QFile file(argument);
                    QVERIFY(file.open(QIODevice::WriteOnly));
                    for (int i = 1; i <= 15000; ++i)
                        file.write("Question " + QByteArray::number(i) + "?: [Answer]\n");
                    file.write("Broken?: [open\n");
                }
            }
        }
        // The tool opens the files in a process of its own.
        db.connection().close();

        QString printed;
        QVERIFY2(runTool(QStringLiteral(IMPORT_TOOL), arguments, &printed) == exitCode, qPrintable(printed));
        for (const QString& text : output)
            QVERIFY2(printed.contains(text), qPrintable(printed));

        QVERIFY(db.connection().open());
        QTEST(db.value("SELECT COUNT(*) FROM category").toInt(), "categories");
        // Every question stored with its link.
        QTEST(db.value("SELECT COUNT(*) FROM content").toInt(), "questions");
        QTEST(db.value("SELECT COUNT(*) FROM category_content").toInt(), "questions");
    }
};

QTEST_GUILESS_MAIN(TestImportTool)
#include "tst_importtool.moc"
