// The import pipeline on a real database: what a plan stores, skips (and
// why) and trims, stored in batches of two, and the report.

#include <QtTest>

#include "importer/importpipeline.h"
#include "tests/common/testdatabase.h"

using namespace Import;

Q_DECLARE_METATYPE(Import::SourceKind)

class TestImportPipeline : public QObject
{
    Q_OBJECT

    TestDatabase db;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(db.isValid(), qPrintable(db.error()));
        // Links of questions starting with "Refuse" are turned down.
        QVERIFY(db.exec("CREATE EXCEPTION link_refused 'link refused'"));
        QVERIFY(db.exec("CREATE TRIGGER refuse_link FOR category_content BEFORE INSERT AS BEGIN "
                        "IF (EXISTS(SELECT 1 FROM content WHERE contentID = NEW.contentID "
                        "AND question STARTING WITH 'Refuse')) THEN EXCEPTION link_refused; END"));
    }
    // Every row starts from these two categories.
    void init()
    {
        for (const char* table : {"category_content", "content", "category"})
            QVERIFY(db.exec(QStringLiteral("DELETE FROM ") + table));
        db.addQuestion(db.addCategory("Target"), "Capital of Peru?", "Lima");
        db.addQuestion(db.addCategory("Science"), "Old?", "Yes");
    }

    // Rows as "category|question|answer[|left-out answer]"; a row's
    // line is its place in the list. The report: the summary, then the start
    // of each detail line.
    void plansStoresAndReports_data()
    {
        QTest::addColumn<SourceKind>("kind");
        QTest::addColumn<bool>("keepCopies");
        QTest::addColumn<QString>("into"); // empty: each row's own category
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QStringList>("added");
        QTest::addColumn<QStringList>("missing");
        QTest::addColumn<QStringList>("report");

        const QStringList peru{"Target|Capital of Peru?|Lima"};
        QTest::newRow("TriviaBot: blanks trimmed, unplayable answers skipped, copies kept")
            << SourceKind::TriviaBot << true << "target"
            << QStringList{"|Capital of France?| Paris\t", "|Capital of Peru?|Lima", "|Capital of Peru?|Lima",
                           "|Empty answer?|   ", "|Two blanks?|New  York", "|Two lines?|a\nb", "|   |Nobody",
                           "|The sentinel?|No Answer"}
            << QStringList{"Target|Capital of France?|Paris"} + peru + peru << QStringList{}
            << QStringList{"src: 3 imported, 5 skipped, 1 answer trimmed", "line 4: the answer is empty",
                           "line 5: the answer holds two blanks in a row", "line 6: the answer spans more than one line",
                           "line 7: the question is empty", "line 8: the game can never match the answer \"No Answer\""};
        QTest::newRow("question file: a blank at either end is trimmed")
            << SourceKind::QuestionFile << false << "Target"
            << QStringList{"|Capital of Italy?| Rome", "|Capital of Spain?|Madrid ", "|Tab?|a\tb"}
            << QStringList{"Target|Capital of Italy?|Rome", "Target|Capital of Spain?|Madrid"} << QStringList{}
            << QStringList{"src: 2 imported, 1 skipped, 2 answers trimmed", "line 3: the game can never match"};
        QTest::newRow("duplicates: in the category and in the import, ignoring case; further answers kept")
            << SourceKind::QuestionFile << false << "Target"
            << QStringList{"|capital of peru? |LIMA", "|Q1?|A", "|q1?|a", "|Two plus two?|4|four"}
            << QStringList{"Target|Q1?|A", "Target|Two plus two?|4"} << QStringList{}
            << QStringList{"src: 2 imported, 2 skipped, 1 further answer", "line 1: already in category \"Target\"",
                           "line 3: same question and answer as line 2"};
        QTest::newRow("rows' own categories, found ignoring case or created")
            << SourceKind::QuestionFile << false << ""
            << QStringList{"science|New?|Yes", "|Homeless?|Yes", "Music|Thriller?|Michael Jackson",
                           "MUSIC|thriller?|michael jackson", "science|Old?|yes"}
            << QStringList{"Music|Thriller?|Michael Jackson", "Science|New?|Yes"} << QStringList{"Music"}
            << QStringList{"src: 2 imported, 3 skipped", "line 2: no category; name one with --category",
                           "line 4: same question and answer as line 3", "line 5: already in category \"Science\""};
        // Firebird counts characters: 1000 outside the BMP fit.
        const QString wide = QStringLiteral("\U0001F600").repeated(1000);
        // A lone surrogate would be stored as "?".
        const QString lone(QChar(0xdc00));
        QTest::newRow("columns measured in characters; no lone surrogate")
            << SourceKind::QuizNewt << true << "Target"
            << QStringList{"|" + QString(4001, 'q') + "|Yes", "|Long?|" + QString(1001, 'a'), "|Smileys?|" + wide,
                           "|Lone" + lone + "?|Yes", "|Lone?|Y" + lone}
            << QStringList{"Target|Smileys?|" + wide} << QStringList{}
            << QStringList{"src: 1 imported, 4 skipped", "line 1: the question is longer than 4000 characters",
                           "line 2: the answer is longer than 1000 characters",
                           "line 4: the question holds a lone UTF-16 surrogate",
                           "line 5: the answer holds a lone UTF-16 surrogate"};
        QTest::newRow("a link the database refuses leaves that row out, and only that")
            << SourceKind::TriviaBot << true << "Target"
            << QStringList{"|Keep me?|Yes", "|Refuse me?|No", "|Keep me too?|Yes"}
            << QStringList{"Target|Keep me too?|Yes", "Target|Keep me?|Yes"} << QStringList{}
            << QStringList{"src: 2 imported, 1 skipped", "line 2: refused by the database: "};
    }

    // Planned in two chunks, stored in batches of two.
    void plansStoresAndReports()
    {
        QFETCH(QString, into);
        QFETCH(QStringList, rows);

        QList<Row> input;
        for (int i = 0; i < rows.size(); ++i) {
            const QStringList fields = rows[i].split('|');
            input.append({i + 1, fields[0], fields[1], fields[2], fields.mid(3)});
        }

        QFETCH(bool, keepCopies);
        QFETCH(SourceKind, kind);
        QFETCH(QStringList, added);
        QFETCH(QStringList, report);
        Pipeline pipeline(db.connection(), keepCopies ? Pipeline::Duplicates::Keep : Pipeline::Duplicates::Skip);
        QVERIFY2(pipeline.begin(), qPrintable(pipeline.error()));
        if (!into.isEmpty())
            pipeline.intoCategory(into);
        Report done;
        done.source = QStringLiteral("src");
        done.kind = kind;
        QList<Planned> planned;
        const qsizetype half = input.size() / 2;
        QVERIFY(pipeline.plan(input.mid(0, half), &done, &planned) && pipeline.plan(input.mid(half), &done, &planned));
        QTEST(pipeline.missingCategories(), "missing");
        QVERIFY2(pipeline.createCategories(), qPrintable(pipeline.error()));
        int batches = 0;
        StoreHooks hooks;
        hooks.committed = [&](const QList<Row>&) { ++batches; };
        QVERIFY2(pipeline.store(planned, &done, BatchPolicy{2, INT_MAX}, hooks), qPrintable(pipeline.error()));
        QCOMPARE(batches, int(planned.size() + 1) / 2);

        QStringList stored = db.column("SELECT cat.catName || '|' || c.question || '|' || c.answer FROM content c "
                                       "JOIN category_content cc ON cc.contentID = c.contentID "
                                       "JOIN category cat ON cat.catID = cc.catID");
        QStringList expected = QStringList{"Science|Old?|Yes", "Target|Capital of Peru?|Lima"} + added;
        stored.sort();
        expected.sort();
        QCOMPARE(stored, expected);
        QCOMPARE(db.value("SELECT COUNT(*) FROM content WHERE contentID NOT IN "
                          "(SELECT contentID FROM category_content)").toInt(), 0);
        // Detail lines compared by their start.
        QStringList lines = QStringList{done.summary()} + done.details();
        for (int i = 1; i < lines.size(); ++i)
            lines[i].truncate(report.value(i).size());
        QCOMPARE(lines, report);
    }

    // Rows go many to a statement; one the database refuses sends its group
    // row by row, and costs only itself. Long rows go a few at a time.
    void storesInGroups()
    {
        QList<Row> input;
        for (int i = 1; i <= 50; ++i) {
            const QString question = i == 7 ? QStringLiteral("Refuse %1?").arg(i)
                : i > 40 ? QStringLiteral("Long %1?").arg(i) + QString(300, 'x') : QStringLiteral("Q%1?").arg(i);
            // Some with further answers, stored in the same statement.
            const QStringList accepted = i >= 20 && i < 26 ? QStringList{QStringLiteral("B%1").arg(i), QStringLiteral("C")}
                                                           : QStringList{};
            input.append({i, {}, question, QStringLiteral("A%1").arg(i), accepted, {}});
        }
        Pipeline pipeline(db.connection(), Pipeline::Duplicates::Skip);
        QVERIFY2(pipeline.begin(), qPrintable(pipeline.error()));
        pipeline.intoCategory(QStringLiteral("Target"));
        Report done;
        QList<Planned> planned;
        QVERIFY(pipeline.plan(input, &done, &planned));
        QVERIFY2(pipeline.store(planned, &done, BatchPolicy{INT_MAX, INT_MAX}), qPrintable(pipeline.error()));
        QCOMPARE(done.imported, 49);
        QCOMPARE(done.accepted, 12);
        QCOMPARE(db.value("SELECT COUNT(*) FROM content_answer a JOIN content c ON c.contentID = a.contentID "
                          "WHERE a.answer IN ('C', 'B' || SUBSTRING(c.answer FROM 2))").toInt(), 12);
        QCOMPARE(done.details().value(0).left(33), QStringLiteral("line 7: refused by the database: "));
        // Every row whole and linked: Q1? to Q40? but Q7, and 10 long ones.
        QCOMPARE(db.value("SELECT COUNT(*) || ' ' || SUM(CHAR_LENGTH(c.question)) FROM content c JOIN category_content "
                          "cc ON cc.contentID = c.contentID WHERE c.question NOT IN ('Capital of Peru?', 'Old?')")
                     .toString(),
                 QStringLiteral("49 %1").arg(8 * 3 + 31 * 4 + 10 * 308));
    }

    // stop() lets the batch in flight finish, whole, and stores no further
    // one; the report counts the rows never come to.
    void stopsAfterTheBatchInFlight_data()
    {
        QTest::addColumn<int>("stopAfter"); // committed batches of two
        QTest::addColumn<QString>("summary");
        QTest::newRow("before the first") << 0 << "src: 0 imported, 0 skipped; cancelled, 5 not imported";
        QTest::newRow("after the first") << 1 << "src: 2 imported, 0 skipped; cancelled, 3 not imported";
        QTest::newRow("after the last, nothing left") << 3 << "src: 5 imported, 0 skipped";
    }
    void stopsAfterTheBatchInFlight()
    {
        QFETCH(int, stopAfter);
        Pipeline pipeline(db.connection(), Pipeline::Duplicates::Keep);
        pipeline.intoCategory(QStringLiteral("Target"));
        Report done;
        done.source = QStringLiteral("src");
        QList<Planned> planned;
        for (int i = 1; i <= 5; ++i)
            QVERIFY(pipeline.plan({{i, {}, QStringLiteral("Q%1?").arg(i), QStringLiteral("A"), {}}}, &done, &planned));
        int batches = 0;
        StoreHooks hooks;
        hooks.committed = [&](const QList<Row>&) {
            if (++batches == stopAfter)
                pipeline.stop();
        };
        if (stopAfter == 0)
            pipeline.stop();
        QVERIFY2(pipeline.store(planned, &done, BatchPolicy{2, INT_MAX}, hooks), qPrintable(pipeline.error()));
        QTEST(done.summary(), "summary");
        QCOMPARE(db.value("SELECT COUNT(*) FROM content WHERE question STARTING WITH 'Q'").toInt(), done.imported);
    }

    // A file of junk lines cannot fill the memory with its report: past
    // maxListed entries, lines and notes are counted but not kept.
    void reportListsAtMostMaxListed()
    {
        Report report;
        report.source = QStringLiteral("src");
        const int lines = int(Report::maxListed) + 3;
        for (int i = 0; i < lines; ++i)
            report.skip({2 * i + 1, QStringLiteral("junk"), {}});
        report.skip({2 * lines, QStringLiteral("junk"), {}});
        report.note({2 * lines + 2, QStringLiteral("a note"), {}});
        QCOMPARE(report.skipped.size(), Report::maxListed);
        QCOMPARE(report.skipped.last().count, 1);
        QCOMPARE(report.summary(), QStringLiteral("src: 0 imported, %1 skipped").arg(lines + 1));
        const QStringList details = report.details();
        QCOMPARE(details.size(), Report::maxListed + 1);
        QCOMPARE(details.last(), QStringLiteral("... and 5 more not listed"));
    }
};

QTEST_GUILESS_MAIN(TestImportPipeline)
#include "tst_importpipeline.moc"
