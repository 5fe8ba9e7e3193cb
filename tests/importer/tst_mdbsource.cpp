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
    void listsUserTablesOnly();
    void readsEveryFixtureTableExactly_data();
    void readsEveryFixtureTableExactly();
    void damagedFilesFailCleanly_data();
    void damagedFilesFailCleanly();

private:
    QTemporaryDir dir;
};

static QByteArray readFile(const QString& path)
{
    QFile in(path);
    in.open(QIODevice::ReadOnly);
    return in.readAll();
}

void TestMdbSource::listsUserTablesOnly()
{
    const auto tablesOf = [](const QString& file) {
        MdbSource source(QStringLiteral("MDB"));
        source.open(file);
        return source.tables();
    };
    QCOMPARE(tablesOf(fixture("triviabot/small.mdb")),
             (QStringList{"Geography", "Science", "80's Music", QStringLiteral("Umlaute äöü"), "Empty"}));
    QCOMPARE(tablesOf(fixture("triviabot/large.mdb")), QStringList{"General"});
    QCOMPARE(tablesOf(fixture("access/DateTestDatabase.mdb")), QStringList{"DateTest"});
}

void TestMdbSource::readsEveryFixtureTableExactly_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("table");
    QTest::addColumn<QStringList>("expected");
    for (const QString& name : {QStringLiteral("small"), QStringLiteral("large")}) {
        const QJsonObject tables =
            QJsonDocument::fromJson(readFile(fixture("triviabot/" + name + ".json"))).object()["tables"].toObject();
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
    QCOMPARE(actual, expected);
}

// Truncated copies, random byte changes (fixed seed), table definitions whose
// counts lie, a byte that crashes the reader and a file whose first read never
// returns: each reads or fails with a reason, never crashes this process and
// never hangs.
void TestMdbSource::damagedFilesFailCleanly_data()
{
    QTest::addColumn<QString>("file");
    int n = 0;
    const auto add = [&](const QString& label, const QByteArray& data) {
        const QString path = dir.filePath(QStringLiteral("damaged-%1.mdb").arg(n++));
        QFile out(path);
        QVERIFY(out.open(QIODevice::WriteOnly) && out.write(data) == data.size());
        QTest::newRow(qPrintable(label)) << path;
    };
    QRandomGenerator random(20240101);
    for (const QString& base : {QStringLiteral("small"), QStringLiteral("large")}) {
        const QByteArray data = readFile(fixture("triviabot/" + base + ".mdb"));
        for (int length : {100, 4096 * 2 + 17, 4096 * 3, int(data.size()) / 2, int(data.size()) - 1})
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
        // Offsets in the table definition pages (type 2) of the user tables.
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
    // Makes libmdb crash while it reads Geography.
    QByteArray crash = readFile(fixture("triviabot/small.mdb"));
    crash[24631] = char(199);
    add(QStringLiteral("small with a byte that crashes the reader"), crash);
    QTest::newRow("reader that stalls") << dir.filePath("stall.mdb");
    QCOMPARE(QProcess::execute(QStringLiteral("mkfifo"), {dir.filePath("stall.mdb")}), 0);
}

void TestMdbSource::damagedFilesFailCleanly()
{
    QFETCH(QString, file);
    MdbSource::setLimits(5000, 64 * 1024 * 1024);
    QElapsedTimer timer;
    timer.start();
    MdbSource source(QStringLiteral("MDB"));
    if (!source.open(file))
        QVERIFY(!source.lastError().isEmpty());
    for (const QString& table : source.tables().mid(0, 6)) {
        QList<SourceRow> rows;
        if (!source.readTable(table, &rows))
            QVERIFY(!source.lastError().isEmpty() && rows.isEmpty());
    }
    // Each read is cut off after five idle seconds at worst.
    QVERIFY2(timer.elapsed() < 40000, qPrintable(QString::number(timer.elapsed())));
}

QTEST_GUILESS_MAIN(TestMdbSource)
#include "tst_mdbsource.moc"
