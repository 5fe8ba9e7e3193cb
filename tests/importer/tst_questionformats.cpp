// Question files as other bots' operators have them: several answers, marked
// answers, list keys, lines that look like comments, other encodings and the
// choices, JSON and CSV variants; read, then imported by quiznewt-import.

#include <QSettings>
#include <QtTest>

#include "db/database.h"
#include "gui/messagebox.h"
#include "importer/dlgtriviaimport.h"
#include "importer/questionfile.h"
#include "tests/common/testdatabase.h"
#include "tests/importer/importertestutil.h"

using namespace QuestionFile;

Q_DECLARE_METATYPE(QuestionFile::Format)

static QString data(const char* name)
{
    return QStringLiteral(QUIZNEWT_TEST_DATA "/questions/") + QLatin1String(name);
}

// The tool of the same build tree.
static QString importTool()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/../../importer/quiznewt-import");
}

class TestQuestionFormats : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { isolateSettings(); }

    // Rows as "line|category|question|answer[|further answers joined by /]";
    // skipped lines as "line: start of the reason"; notes likewise.
    void reads_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<Options>("options");
        QTest::addColumn<Format>("format");
        QTest::addColumn<QString>("encoding");
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QStringList>("skipped");
        QTest::addColumn<QStringList>("notes");
        QTest::addColumn<QString>("ignored");

        const QString separators = data("several_separators.txt");
        QTest::newRow("separators: after a question, the first splits; # lines with one named") << separators
            << Options() << Format::Star << "UTF-8"
            << QStringList{"2||Who wrote Romeo and Juliet?|Shakespeare|William Shakespeare", "3||What is 6*7?|42",
                           "4||Name a primary colour*red|blue", "7||Which river flows through Cairo?| Nile |The Nile",
                           "8||Capital of Japan?|Tokyo|tokyo", "9||Two blanks inside?|New  York|NYC"}
            << QStringList{"5: starts with \"#\" as a comment does, but holds a \"*\""}
            << QStringList{"2: more than one \"*\": read as question*answer*further answers",
                           "3: more than one \"*\": the last one ends the question", "4: more than one",
                           "7: more than one",
                           "8: more than one", "9: more than one"}
            << "";
        Options alternatives;
        alternatives.alternatives = true;
        QTest::newRow("separators, --alternatives: the first always splits") << separators << alternatives
            << Format::Star << "UTF-8"
            << QStringList{"2||Who wrote Romeo and Juliet?|Shakespeare|William Shakespeare", "3||What is 6|7?|42",
                           "4||Name a primary colour|red|blue", "7||Which river flows through Cairo?| Nile |The Nile",
                           "8||Capital of Japan?|Tokyo|tokyo", "9||Two blanks inside?|New  York|NYC"}
            << QStringList{"5: starts with"}
            << QStringList{"2: more than one", "3: more than one \"*\": read as question*answer*further answers",
                           "4: more than one \"*\": read as", "7: more than one", "8: more than one",
                           "9: more than one"}
            << "";
        QTest::newRow("blocks: #marks# out, the marked part a further answer, other keys counted")
            << data("marked_blocks.txt") << Options() << Format::Blocks << "UTF-8"
            << QStringList{"3|Art|Who painted the Mona Lisa?|Leonardo da Vinci|da Vinci",
                           "10|Art|Which planet is known as the red planet?|Mars",
                           "16|Art|Which language has a sharp sign in its name?|C#",
                           "19|Art|Which composer wrote The Magic Flute?|Wolfgang Amadeus Mozart |Mozart"}
            << QStringList{} << QStringList{} << "Author 1, Comment 1, Level 1, Regexp 1, Score 1, Tip 2, Tipcycle 1";
        QTest::newRow("YAML list: its own keys no questions, every answer, numbers as written")
            << data("trivia_list.yaml") << Options() << Format::Yaml << "UTF-8"
            << QStringList{"6||Which comedy troupe made Holy Grail?|Monty Python|Monty  Python's Flying Circus/"
                           "monty python",
                           "10||How many legs has a dog?|four  legs|4", "13||Is the Earth round?|yes|true",
                           "16||Price of a stamp in pounds?|1.50", "18||Which agent number is Bond?|007",
                           "20||Empty answers only?|| "}
            << QStringList{} << QStringList{} << "AUTHOR 1, CONFIG 1, DESCRIPTION 1";
        QTest::newRow("not UTF-8: Windows-1252, its gaps damage") << data("windows1252.txt") << Options()
            << Format::Pipe << "Windows-1252"
            << QStringList{"1||Who founded McDonald\u2019s?|Ray Kroc", "2||What does \u20ac stand for?|Euro"}
            << QStringList{"3: invalid Windows-1252 bytes"} << QStringList{} << "";
        Options koi8;
        koi8.encoding = QStringLiteral("KOI8-R");
        QTest::newRow("--encoding KOI8-R") << data("koi8r.txt") << koi8 << Format::Star << "KOI8-R"
            << QStringList{"1||Capital of Russia?|\u041c\u043e\u0441\u043a\u0432\u0430"} << QStringList{}
            << QStringList{} << "";
        QTest::newRow("#Q blocks: the file's name the category, choices no answers") << data("animals") << Options()
            << Format::Choices << "UTF-8"
            << QStringList{"1|animals|Which animal is the largest mammal on Earth?|Blue whale",
                           "10|animals|How many hearts has an octopus?|3"}
            << QStringList{"17: a #Q question without an answer"} << QStringList{} << "";
        QTest::newRow("web service JSON: entities decoded, wrong answers left") << data("opentdb.json") << Options()
            << Format::Json << "UTF-8"
            << QStringList{"1|Entertainment: Film|Who directed \"Jaws\"?|Steven Spielberg",
                           "2|Science & Nature|Caf\u00e9 is French for coffee, isn't it?|True",
                           "3|History|Who wrote \u201cThe Prince\u201d?|Niccol\u00f2 Machiavelli"}
            << QStringList{} << QStringList{} << "";
        QTest::newRow("CSV: ; and other header names") << data("semicolon.csv") << Options() << Format::Csv << "UTF-8"
            << QStringList{"2|Music|Which genre has choirs and hymns?|Gospel ",
                           "3|Music|Who sang Hello in 2015?| Adele"}
            << QStringList{} << QStringList{} << "";
        Options columns;
        columns.questionColumn = QStringLiteral("Frage");
        columns.answerColumn = QStringLiteral("antwort");
        columns.categoryColumn = QStringLiteral("Thema");
        QTest::newRow("CSV: columns named by the user") << data("columns.csv") << columns << Format::Csv << "UTF-8"
            << QStringList{"2|Geografie|Hauptstadt von Italien?|Rom"} << QStringList{} << QStringList{} << "";
    }

    void reads()
    {
        QFETCH(QString, path);
        QFETCH(Options, options);
        QFETCH(QStringList, skipped);
        QFETCH(QStringList, notes);

        const Contents contents = read(path, options);
        QVERIFY2(contents.ok(), qPrintable(contents.error));
        QTEST(contents.format, "format");
        QTEST(contents.encoding, "encoding");
        QStringList rows;
        QStringList remarks;
        for (const Row& row : contents.rows) {
            QStringList fields{QString::number(row.line), row.category, row.question, row.answer};
            if (!row.accepted.isEmpty())
                fields << row.accepted.join(QLatin1Char('/'));
            rows << fields.join(QLatin1Char('|'));
            if (!row.note.isEmpty())
                remarks << QString::number(row.line) + QStringLiteral(": ") + row.note;
        }
        QTEST(rows, "rows");
        const auto starts = [](QStringList actual, const QStringList& expected) {
            for (qsizetype i = 0; i < actual.size() && i < expected.size(); ++i) {
                if (actual.at(i).startsWith(expected.at(i)))
                    actual[i] = expected.at(i);
            }
            return actual;
        };
        QStringList lines;
        for (const Skip& skip : contents.skipped)
            lines << QString::number(skip.line) + QStringLiteral(": ") + skip.reason;
        QCOMPARE(starts(lines, skipped), skipped);
        QCOMPARE(starts(remarks, notes), notes);
        QStringList keys;
        for (auto key = contents.ignored.constBegin(); key != contents.ignored.constEnd(); ++key)
            keys << QStringLiteral("%1 %2").arg(key.key()).arg(key.value());
        QTEST(keys.join(QLatin1String(", ")), "ignored");
    }

    void refusesUnknownEncoding()
    {
        Options options;
        options.encoding = QStringLiteral("no-such-encoding");
        const Contents contents = read(data("koi8r.txt"), options);
        QVERIFY(contents.error.contains(QLatin1String("unknown encoding \"no-such-encoding\"")));
    }

    // Files far larger than a part, read a part at a time: every row in
    // order, or the fault however late it comes.
    void readsInParts_data()
    {
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("rows");
        QTest::addColumn<QString>("error");

        const int count = 25000;
        QByteArray yaml;
        QByteArray json = "{\"response_code\": 0,\n \"results\": [\n";
        for (int i = 1; i <= count; ++i) {
            yaml += "Question " + QByteArray::number(i) + "?: [A" + QByteArray::number(i) + ", B]\n";
            json += "  {\"category\": \"C\", \"question\": \"Q" + QByteArray::number(i)
                + "?\", \"correct_answer\": \"A\", \"incorrect_answers\": [\"x\", \"y\"]}"
                + (i < count ? ",\n" : "\n");
        }
        QTest::newRow("YAML") << "yaml" << yaml << count << "";
        QTest::newRow("YAML, broken at the end") << "yaml" << yaml + "Last?: [open\n" << count << "line 25002: YAML error";
        QTest::newRow("JSON") << "json" << json + "]}\n" << count << "";
        QByteArray broken = json;
        broken.replace("\"Q20000?\", \"correct_answer\": \"A\"", "\"Q20000?\", \"correct_answer\": tru");
        QTest::newRow("JSON, an item broken") << "json" << broken + "]}" << 19999 << "line 20002: JSON error";
        QTest::newRow("JSON, cut off") << "json" << json << count << "line 25003: JSON error: unterminated array";
        QTest::newRow("JSON, more after the end") << "json" << json + "]} {" << count << "line 25003: JSON error: garbage";
        QTest::newRow("JSON, a value missing") << "json" << QByteArray("{\"results\": [], \"m\":\n }") << 0
                                               << "line 2: JSON error: illegal value";
        QTest::newRow("JSON, results no list") << "json" << QByteArray("{\"results\": 5}") << 0
                                               << "the JSON holds no \"results\" list";
    }

    void readsInParts()
    {
        QFETCH(QString, suffix);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, error);

        Reader reader(bytes, suffix);
        QList<Row> rows;
        QList<Skip> skipped;
        while (reader.next(1000, &rows, &skipped))
            QVERIFY(rows.size() % 1000 == 0 || !reader.error().isEmpty());
        QTEST(int(rows.size()), "rows");
        QVERIFY2(error.isEmpty() ? reader.error().isEmpty() : reader.error().startsWith(error),
                 qPrintable(reader.error()));
        QVERIFY(skipped.isEmpty());
        for (qsizetype i = 0; i < rows.size(); ++i)
            QVERIFY(rows.at(i).question.startsWith((suffix == "json" ? "Q" : "Question ") + QString::number(i + 1) + "?"));

        // Put away half read, the YAML parser's thread is stopped, not left waiting.
        Reader half(bytes, suffix);
        QVERIFY(half.next(1000, &rows, &skipped) || !error.isEmpty());
    }

    // The tool on a real database: every playable answer kept, the first as
    // the answer and the others accepted, each line accounted for.
    void imports_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QStringList>("output");
        // "question|answer|accepted/accepted", by question.
        QTest::addColumn<QStringList>("stored");

        QTest::newRow("YAML list") << QStringList{"--category", "Mixed", "--create-category", data("trivia_list.yaml")}
            << QStringList{"trivia_list.yaml: 5 imported, 1 skipped, 1 further answer, 3 lines of other keys ignored "
                           "(AUTHOR 1, CONFIG 1, DESCRIPTION 1)",
                           "  line 6: answer \"Monty  Python's Flying Circus\" not kept: the answer holds two blanks "
                           "in a row",
                           "  line 10: answer \"four  legs\" not kept", "  line 20: no playable answer; the first: the "
                           "answer is empty"}
            << QStringList{"How many legs has a dog?|4", "Is the Earth round?|yes|true",
                           "Price of a stamp in pounds?|1.50", "Which agent number is Bond?|007",
                           "Which comedy troupe made Holy Grail?|Monty Python"};
        QTest::newRow("line file: answers trimmed, # lines counted") << QStringList{"--category", "Mixed",
            "--create-category", data("several_separators.txt")}
            << QStringList{"several_separators.txt: 6 imported, 1 skipped, 2 further answers, 1 answer trimmed",
                           "  line 5: starts with \"#\"", "  line 9: answer \"New  York\" not kept"}
            << QStringList{"Capital of Japan?|Tokyo", "Name a primary colour*red|blue", "Two blanks inside?|NYC",
                           "What is 6*7?|42", "Which river flows through Cairo?|Nile|The Nile",
                           "Who wrote Romeo and Juliet?|Shakespeare|William Shakespeare"};
        QTest::newRow("marked answers") << QStringList{"--create-category", data("marked_blocks.txt")}
            << QStringList{"marked_blocks.txt: 4 imported, 0 skipped, 2 further answers, 1 answer trimmed, 8 lines "
                           "of other keys ignored"}
            << QStringList{"Which composer wrote The Magic Flute?|Wolfgang Amadeus Mozart|Mozart",
                           "Which language has a sharp sign in its name?|C#",
                           "Which planet is known as the red planet?|Mars",
                           "Who painted the Mona Lisa?|Leonardo da Vinci|da Vinci"};
    }

    void imports()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, output);

        TestDatabase db;
        QVERIFY2(db.isValid(), qPrintable(db.error()));
        db.makeInstallDir();
        db.connection().close();
        QVERIFY2(QFileInfo(importTool()).isExecutable(), "build quiznewt-import first");
        QString printed;
        QVERIFY2(runTool(importTool(), arguments, &printed) == 0, qPrintable(printed));
        for (const QString& text : output)
            QVERIFY2(printed.contains(text), qPrintable(printed));

        QVERIFY(db.connection().open());
        const QStringList stored = db.column(
            "SELECT c.question || '|' || c.answer || COALESCE('|' || (SELECT LIST(a.answer, '/') FROM content_answer a "
            "WHERE a.contentID = c.contentID), '') FROM content c ORDER BY c.question");
        QTEST(stored, "stored");
    }

    // The window reads through the same options and reports as the tool.
    void windowReadsTheSameWay()
    {
        TestDatabase dest;
        QVERIFY2(dest.isValid(), qPrintable(dest.error()));
        dest.addCategory(QStringLiteral("Mixed"));
        QString error;
        QVERIFY2(Database::open(dest.filePath(), QLatin1String(QSqlDatabase::defaultConnection), &error).isOpen(),
                 qPrintable(error));
        MessageBox::setTestMode(true);
        const auto questions = [](const dlgTriviaImport& dialog) {
            QStringList texts;
            for (int i = 0; i < dialog.twSourceContent->topLevelItemCount(); ++i)
                texts << dialog.twSourceContent->topLevelItem(i)->text(0);
            texts.sort();
            return texts;
        };
        {
            dlgTriviaImport dialog(nullptr);
            dialog.chkAlternatives->setChecked(true);
            dialog.setSourceFile(data("several_separators.txt"));
            const QString entry = QStringLiteral("several_separators.txt");
            emit dialog.lwSourceTables->itemDoubleClicked(ImporterTest::item(dialog.lwSourceTables, entry));
            QVERIFY(questions(dialog).contains(QStringLiteral("What is 6")));
            // Unticked, the file is read again: the last separator splits.
            dialog.chkAlternatives->setChecked(false);
            emit dialog.lwSourceTables->itemDoubleClicked(ImporterTest::item(dialog.lwSourceTables, entry));
            QVERIFY(questions(dialog).contains(QStringLiteral("What is 6*7?")));
            dialog.lwDestTables->setCurrentItem(ImporterTest::item(dialog.lwDestTables, QStringLiteral("Mixed")));
            MessageBox::takeShown();
            dialog.pbImportAll->click();
            const MessageBox::Shown done = MessageBox::takeShown().value(0);
            QCOMPARE(done.text, QStringLiteral("several_separators.txt: 6 imported, 1 skipped, 2 further answers, "
                                               "1 answer trimmed"));
            const QString lastSplits = QStringLiteral("lines 3-4: more than one \"*\": the last one ends the question");
            QVERIFY2(done.details.contains(lastSplits), qPrintable(done.details));
            QCOMPARE(dest.value("SELECT COUNT(*) FROM content_answer").toInt(), 2);

            dialog.cbEncoding->setCurrentText(QStringLiteral("KOI8-R"));
            dialog.setSourceFile(data("koi8r.txt"));
            emit dialog.lwSourceTables->itemDoubleClicked(
                ImporterTest::item(dialog.lwSourceTables, QStringLiteral("koi8r.txt")));
            QCOMPARE(dialog.twSourceContent->topLevelItem(0)->text(1),
                     QStringLiteral("\u041c\u043e\u0441\u043a\u0432\u0430"));
        }
        QSqlDatabase::database(QLatin1String(QSqlDatabase::defaultConnection), false).close();
        QSqlDatabase::removeDatabase(QLatin1String(QSqlDatabase::defaultConnection));
    }
};

QTEST_MAIN(TestQuestionFormats)
#include "tst_questionformats.moc"
