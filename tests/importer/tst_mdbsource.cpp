#include <QElapsedTimer>
#include <QJsonArray>
#include <QRandomGenerator>
#include <QtTest>

#include "importer/mdbsource.h"
#include "tests/importer/importertestutil.h"

using namespace ImporterTest;

// Reading TriviaBot Access files through the reader process.
class TestMdbSource : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void listsUserTablesOnly_data();
    void listsUserTablesOnly();
    void readsEveryFixtureTableExactly_data();
    void readsEveryFixtureTableExactly();
    void reportsProgressWithTheClaimedCount();
    void readsNullsMemosAndOddNames();
    void refusesTablesWithoutTheColumns_data();
    void refusesTablesWithoutTheColumns();
    void refusesFilesItCannotOpen_data();
    void refusesFilesItCannotOpen();
    void damagedFilesFailCleanly_data();
    void damagedFilesFailCleanly();
    void readerThatCrashesIsAnError();
    void readerThatStallsIsStopped();

private:
    QTemporaryDir dir;
};

void TestMdbSource::initTestCase()
{
    QVERIFY(dir.isValid());
    QVERIFY2(QFileInfo(MdbSource::readerPath()).isExecutable(), qPrintable(MdbSource::readerPath()));
}

void TestMdbSource::listsUserTablesOnly_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("tables");
    QTest::newRow("five categories in catalog order")
        << fixture("triviabot/small.mdb")
        << QStringList{"Geography", "Science", "80's Music", QStringLiteral("Umlaute äöü"), "Empty"};
    QTest::newRow("one large table") << fixture("triviabot/large.mdb") << QStringList{"General"};
    QTest::newRow("file made by Access") << fixture("access/DateTestDatabase.mdb") << QStringList{"DateTest"};
}

void TestMdbSource::listsUserTablesOnly()
{
    QFETCH(QString, file);
    QFETCH(QStringList, tables);
    MdbSource source(QStringLiteral("MDB"));
    QVERIFY2(source.open(file), qPrintable(source.lastError()));
    QCOMPARE(source.tables(), tables);
}

void TestMdbSource::readsEveryFixtureTableExactly_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("table");
    QTest::addColumn<QStringList>("expected");
    for (const QString& name : {QStringLiteral("small"), QStringLiteral("large")}) {
        QFile json(fixture("triviabot/" + name + ".json"));
        QVERIFY(json.open(QIODevice::ReadOnly));
        const QJsonObject tables = QJsonDocument::fromJson(json.readAll()).object().value("tables").toObject();
        for (auto it = tables.begin(); it != tables.end(); ++it) {
            QStringList expected;
            for (const QJsonValue& row : it.value().toArray())
                expected << row[0].toString() + '|' + row[1].toString();
            QTest::addRow("%s: %s", qPrintable(name), qPrintable(it.key()))
                << fixture("triviabot/" + name + ".mdb") << it.key() << expected;
        }
    }
}

void TestMdbSource::readsEveryFixtureTableExactly()
{
    QFETCH(QString, file);
    QFETCH(QString, table);
    QFETCH(QStringList, expected);
    MdbSource source(QStringLiteral("MDB"));
    QVERIFY(source.open(file));
    QList<SourceRow> rows;
    QVERIFY2(source.readTable(table, &rows), qPrintable(source.lastError()));
    QStringList actual;
    for (const SourceRow& row : rows)
        actual << row.question + '|' + row.answer;
    // The file keeps the rows in the order they were written.
    QCOMPARE(actual, expected);
}

void TestMdbSource::reportsProgressWithTheClaimedCount()
{
    MdbSource source(QStringLiteral("MDB"));
    QVERIFY(source.open(fixture("triviabot/large.mdb")));
    QList<SourceRow> rows;
    qint64 lastReceived = -1;
    qint64 lastTotal = -1;
    bool monotonic = true;
    QVERIFY(source.readTable(QStringLiteral("General"), &rows, [&](qint64 received, qint64 total) {
        monotonic = monotonic && received >= lastReceived;
        lastReceived = received;
        lastTotal = total;
    }));
    QVERIFY(monotonic);
    QCOMPARE(lastTotal, 5000);
    QCOMPARE(lastReceived, 5000);
    QCOMPARE(rows.size(), 5000);
}

void TestMdbSource::readsNullsMemosAndOddNames()
{
    const QString longText = QString(3000, QLatin1Char('x')) + QStringLiteral("€");
    QJsonObject tables;
    tables.insert(QStringLiteral("Back \\ slash \"Zitat\" – Ä €"),
                  QJsonArray{QJsonArray{"Line one\nline two\ttab \\ slash", "a\r\nb"}});
    tables.insert(QStringLiteral("Memo and nulls"),
                  QJsonObject{{"columns", QJsonArray{QJsonObject{{"name", "ID"}, {"type", "long"}},
                                                     QJsonObject{{"name", "Questions"}, {"type", "memo"}},
                                                     QJsonObject{{"name", "ANSWERS"}, {"type", "text"}}}},
                              {"rows", QJsonArray{QJsonArray{1, longText, "long"},
                                                  QJsonArray{2, QJsonValue(), "no question"},
                                                  QJsonArray{3, "no answer", QJsonValue()}}}});
    const QString file = makeMdb(dir, QStringLiteral("odd"), QJsonObject{{"tables", tables}});
    QVERIFY(!file.isEmpty());
    MdbSource source(QStringLiteral("MDB"));
    QVERIFY(source.open(file));
    QVERIFY(source.tables().contains(QStringLiteral("Back \\ slash \"Zitat\" – Ä €")));

    QList<SourceRow> rows;
    QVERIFY2(source.readTable(QStringLiteral("Back \\ slash \"Zitat\" – Ä €"), &rows), qPrintable(source.lastError()));
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows[0].question, QStringLiteral("Line one\nline two\ttab \\ slash"));
    QCOMPARE(rows[0].answer, QStringLiteral("a\r\nb"));

    // Column names match without regard to case, as in Access; NULL reads as empty.
    QVERIFY2(source.readTable(QStringLiteral("Memo and nulls"), &rows), qPrintable(source.lastError()));
    QCOMPARE(rows.size(), 3);
    QCOMPARE(rows[0].question, longText);
    QCOMPARE(rows[1].question, QString());
    QCOMPARE(rows[1].answer, QStringLiteral("no question"));
    QCOMPARE(rows[2].answer, QString());
}

void TestMdbSource::refusesTablesWithoutTheColumns_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("missing");
    QTest::newRow("file made by Access") << fixture("access/DateTestDatabase.mdb") << "DateTest" << "questions";
    const QJsonObject onlyQuestions{
        {"columns", QJsonArray{QJsonObject{{"name", "questions"}, {"type", "text"}}}},
        {"rows", QJsonArray{QJsonArray{"Q?"}}}};
    QTest::newRow("answers missing")
        << makeMdb(dir, QStringLiteral("noanswers"), QJsonObject{{"tables", QJsonObject{{"Half", onlyQuestions}}}})
        << "Half" << "answers";
}

void TestMdbSource::refusesTablesWithoutTheColumns()
{
    QFETCH(QString, file);
    QFETCH(QString, table);
    QFETCH(QString, missing);
    MdbSource source(QStringLiteral("MDB"));
    QVERIFY(source.open(file));
    QList<SourceRow> rows{{"left", "over"}};
    QVERIFY(!source.readTable(table, &rows));
    QVERIFY(rows.isEmpty());
    QVERIFY2(source.lastError().contains("\"" + table + "\"") && source.lastError().contains("\"" + missing + "\""),
             qPrintable(source.lastError()));
}

void TestMdbSource::refusesFilesItCannotOpen_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("missing file") << dir.filePath("missing.mdb");
    QFile text(dir.filePath("text.mdb"));
    QVERIFY(text.open(QIODevice::WriteOnly));
    text.write(QByteArray(8192, 'x'));
    text.close();
    QTest::newRow("not an Access file") << text.fileName();
    QFile empty(dir.filePath("empty.mdb"));
    QVERIFY(empty.open(QIODevice::WriteOnly));
    empty.close();
    QTest::newRow("empty file") << empty.fileName();
}

void TestMdbSource::refusesFilesItCannotOpen()
{
    QFETCH(QString, file);
    MdbSource source(QStringLiteral("MDB"));
    QVERIFY(source.open(fixture("triviabot/small.mdb")));
    QVERIFY(!source.open(file));
    QVERIFY(!source.lastError().isEmpty());
    // The source open before is gone, as a replaced connection would be.
    QVERIFY(!source.isOpen());
    QVERIFY(source.tables().isEmpty());
    QVERIFY(!MdbSource::connectionNames().contains(QStringLiteral("MDB")));
}

// Truncated copies, single and multiple random byte changes (fixed seed), and
// table definitions whose counts lie: every one either reads or fails with a
// reason, never crashes this process and never hangs.
void TestMdbSource::damagedFilesFailCleanly_data()
{
    QTest::addColumn<QString>("file");
    const QStringList originals{fixture("triviabot/small.mdb"), fixture("triviabot/large.mdb")};
    int n = 0;
    auto add = [&](const QString& label, const QByteArray& data) {
        const QString path = dir.filePath(QStringLiteral("damaged-%1.mdb").arg(n++));
        QFile out(path);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(data);
        out.close();
        QTest::newRow(qPrintable(label)) << path;
    };
    QRandomGenerator random(20240101);
    for (const QString& original : originals) {
        QFile in(original);
        QVERIFY(in.open(QIODevice::ReadOnly));
        const QByteArray data = in.readAll();
        const QString base = QFileInfo(original).baseName();
        for (int length : {100, 4096, 4096 * 2 + 17, 4096 * 3, int(data.size()) / 2, int(data.size()) - 1})
            add(QStringLiteral("%1 cut to %2 bytes").arg(base).arg(length), data.left(length));
        for (int i = 0; i < 12; ++i) {
            QByteArray copy = data;
            const int changes = 1 + int(random.bounded(40));
            // Most of the structure sits in the first pages; aim there often.
            const int span = i % 2 ? int(copy.size()) : 4096 * 4;
            for (int c = 0; c < changes; ++c)
                copy[int(random.bounded(span))] = char(random.bounded(256));
            add(QStringLiteral("%1 with %2 random bytes (%3)").arg(base).arg(changes).arg(i), copy);
        }
        // Table definition pages (type 2) after the catalog's own: the user tables.
        struct Lie { const char* what; int offset; QByteArray bytes; };
        const QList<Lie> lies{{"row count", 16, QByteArray(4, '\xff')},
                              {"column count", 45, QByteArray(2, '\xff')},
                              {"variable column count", 43, QByteArray(2, '\xff')},
                              {"definition length", 8, QByteArray(4, '\x7f')},
                              {"first column length", 63 + 23, QByteArray(2, '\xff')}};
        for (const Lie& lie : lies) {
            QByteArray copy = data;
            for (int page = 3 * 4096; page + 4096 <= copy.size(); page += 4096) {
                if (copy[page] == 2 && copy[page + 1] == 1)
                    copy.replace(page + lie.offset, lie.bytes.size(), lie.bytes);
            }
            add(QStringLiteral("%1 whose table definition lies about its %2").arg(base, lie.what), copy);
        }
    }
}

void TestMdbSource::damagedFilesFailCleanly()
{
    QFETCH(QString, file);
    MdbSource::setLimits(5000, 64 * 1024 * 1024);
    QElapsedTimer timer;
    timer.start();
    MdbSource source(QStringLiteral("MDB"));
    if (source.open(file)) {
        for (const QString& table : source.tables().mid(0, 6)) {
            QList<SourceRow> rows;
            if (!source.readTable(table, &rows)) {
                QVERIFY(!source.lastError().isEmpty());
                QVERIFY(rows.isEmpty());
            }
        }
    } else {
        QVERIFY(!source.lastError().isEmpty());
    }
    // Each read is cut off after five idle seconds at worst.
    QVERIFY2(timer.elapsed() < 40000, qPrintable(QString::number(timer.elapsed())));
    MdbSource::setLimits(15000, qint64(256) * 1024 * 1024);
}

void TestMdbSource::readerThatCrashesIsAnError()
{
    // One byte in a data page of Geography that makes libmdb crash.
    QFile in(fixture("triviabot/small.mdb"));
    QVERIFY(in.open(QIODevice::ReadOnly));
    QByteArray data = in.readAll();
    data[24631] = char(199);
    QFile out(dir.filePath("crash.mdb"));
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write(data);
    out.close();

    MdbSource source(QStringLiteral("MDB"));
    QVERIFY(source.open(out.fileName()));
    QList<SourceRow> rows;
    QVERIFY(!source.readTable(QStringLiteral("Geography"), &rows));
    QVERIFY(rows.isEmpty());
    QVERIFY2(source.lastError().startsWith(QStringLiteral("The file is damaged")), qPrintable(source.lastError()));
    // The source stays usable for its other tables.
    QVERIFY(source.readTable(QStringLiteral("Science"), &rows));
    QCOMPARE(rows.size(), 8);
}

void TestMdbSource::readerThatStallsIsStopped()
{
    // A FIFO gives the reader a file whose first read never returns.
    const QString fifo = dir.filePath("stall.mdb");
    if (QProcess::execute(QStringLiteral("mkfifo"), {fifo}) != 0)
        QSKIP("mkfifo is not available");
    MdbSource::setLimits(500, 64 * 1024 * 1024);
    QElapsedTimer timer;
    timer.start();
    MdbSource source(QStringLiteral("MDB"));
    QVERIFY(!source.open(fifo));
    MdbSource::setLimits(15000, qint64(256) * 1024 * 1024);
    QVERIFY(source.lastError().contains(QStringLiteral("too long")));
    QVERIFY(timer.elapsed() < 5000);
}

QTEST_GUILESS_MAIN(TestMdbSource)
#include "tst_mdbsource.moc"
