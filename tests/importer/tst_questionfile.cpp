// The question file reader on the files of tests/data/questions: every
// format, encoding and line end, and the lines it cannot read.

#include <QtTest>

#include "importer/questionfile.h"
#include "importer/questionfile_p.h"

using namespace QuestionFile;
using Detail::chunkBytes;

Q_DECLARE_METATYPE(QuestionFile::Format)

static QString file(const char* name)
{
    return QStringLiteral(QUIZNEWT_TEST_DATA "/questions/") + QLatin1String(name);
}

static QByteArray utf16le(const QString& text)
{
    return QByteArray("\xff\xfe") + QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
}

class TestQuestionFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Rows as "line|category|question|answer[|left-out answers]".
    void readsEachFile_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<Format>("format");
        QTest::addColumn<QString>("encoding");
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QList<int>>("skippedLines");

        // Answers come as written: the import's plan judges them.
        QTest::newRow("star: comments, blanks, * in questions, answers as written") << file("star.txt") << Format::Star
            << "UTF-8"
            << QStringList{"2||What is the capital of France?|Paris",
                           "4||Which star is closest to Earth?|Hint: not Proxima|Sun",
                           "5||How many sides has a hexagon|6", "7||What is 6*7?|42",
                           "8||what is the capital of france?|PARIS", "9||Empty answer here|",
                           "10||Leading blank answer| Rome", "11||Two blanks|New  York"}
            << QList<int>{6};
        QTest::newRow("pipe: UTF-8 BOM, CRLF, | in a question") << file("pipe_bom_crlf.txt") << Format::Pipe
            << "UTF-8 with BOM"
            << QStringList{"1||Largest planet?|Jupiter", "2||Is a|b a pipe?|yes", "3||Smallest planet?|Mercury"}
            << QList<int>{};
        QTest::newRow("tab: Windows-1252, CR, category column") << file("tab_latin1_cr.tsv") << Format::Tab << "Windows-1252"
            << QStringList{"1|Geografie|Hauptstadt von Österreich?|Wien",
                           "2|Geografie|Größter See der Schweiz?|Neuenburgersee", "3||Wer schrieb Faust?|Goethe",
                           "6|Geschichte|Erfinder des Buchdrucks?|Gutenberg"}
            << QList<int>{4, 5};
        const QStringList greekAndCat{"1||Ελληνικά: capital of Greece?|Αθήνα", "2||Japanese for cat?|猫"};
        QTest::newRow("UTF-16LE with BOM, CRLF") << file("utf16le.txt") << Format::Star << "UTF-16LE" << greekAndCat
                                                 << QList<int>{};
        QTest::newRow("UTF-16BE with BOM, LF") << file("utf16be.txt") << Format::Star << "UTF-16BE" << greekAndCat
                                               << QList<int>{};
        QTest::newRow("blocks: categories, labels in any case, broken blocks") << file("blocks.txt") << Format::Blocks
            << "UTF-8"
            << QStringList{"3|History|In which year did the Berlin Wall fall?|1989",
                           "8|History|Who was the first Roman emperor?|Augustus", "14|Science|What is H2O?|Water",
                           "25|Science|Chemical symbol of gold?|Au"}
            << QList<int>{18, 20, 24};
        QTest::newRow("YAML named .txt: several answers, author, bad entries") << file("yaml_list.txt")
            << Format::Yaml << "UTF-8"
            << QStringList{"2||What is 2 + 2?|4|four", "5||Capital of Italy?|Rome|Roma", "6||Longest river?|Nile",
                           "8||Quoted blank answer?| Paris"}
            << QList<int>{7, 9};
        QTest::newRow("CSV: quoted commas, quotes and line breaks, short row") << file("questions.csv") << Format::Csv
            << "UTF-8"
            << QStringList{"2|Science|Name the elements: H, He, Li?|Hydrogen",
                           "3|Science|A question\nover two lines?|Helium", "5|Science|Say \"hi\" to?|Bob",
                           "8|Music|Answer with a line break?|Line one\nline two",
                           "10|Music|Who sang Thriller?|Michael Jackson"}
            << QList<int>{7};
    }

    void readsEachFile()
    {
        QFETCH(QString, path);
        QFETCH(Format, format);
        QFETCH(QString, encoding);
        QFETCH(QStringList, rows);
        QFETCH(QList<int>, skippedLines);

        const Contents contents = read(path);
        QVERIFY2(contents.ok(), qPrintable(contents.error));
        QCOMPARE(contents.format, format);
        QCOMPARE(contents.encoding, encoding);
        QStringList actual;
        for (const Row& row : contents.rows) {
            QStringList fields{QString::number(row.line), row.category, row.question, row.answer};
            if (!row.accepted.isEmpty())
                fields << row.accepted.join(QLatin1Char('/'));
            actual << fields.join(QLatin1Char('|'));
        }
        QCOMPARE(actual, rows);
        QList<int> lines;
        for (const Skip& skip : contents.skipped) {
            QVERIFY2(!skip.reason.isEmpty(), qPrintable(QString::number(skip.line)));
            lines << skip.line;
        }
        QCOMPARE(lines, skippedLines);
    }

    // A part of the file is decoded at a time; the parts meet anywhere.
    void readsBytes_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QStringList>("skipped");

        const auto padded = [](qsizetype length) { return QByteArray("Q1?*") + QByteArray(length - 4, 'x'); };
        QTest::newRow("CR LF split") << padded(chunkBytes - 1) + "\r\nQ2?*A2\r\n" << QStringList{"1|xx", "2|A2"}
                                     << QStringList{};
        QTest::newRow("a UTF-8 character split") << padded(chunkBytes - 1) + "\xc3\xa9\nQ2?*A2\n"
                                                 << QStringList{"1|x\u00e9", "2|A2"} << QStringList{};
        const QString pair = QStringLiteral("\U0001F600");
        QTest::newRow("a UTF-16 surrogate pair split")
            << utf16le(QString(padded(chunkBytes / 2 - 2)) + pair + "\nQ2?*A2\n") << QStringList{"1|x" + pair, "2|A2"}
            << QStringList{};
        QTest::newRow("a line too long to hold, alone") << padded(Detail::maxLineLength + 2) + "\nQ2?*A2"
                                                        << QStringList{"2|A2"}
                                                        << QStringList{"1: a line of more than"};
        // Text that is no character is never stored as something else: its row
        // is skipped, naming the line that holds it.
        const QString lone(QChar(0xdc00));
        QTest::newRow("UTF-16 lines") << utf16le("Q1?*A1\nQ2?*A" + lone + "\nQ3?*A3\n") << QStringList{"1|A1", "3|A3"}
                                      << QStringList{"2: a lone UTF-16 surrogate"};
        QTest::newRow("UTF-16 YAML, in a second answer") << utf16le("Q1?:\n  - A1\n  - B" + lone + "\nQ2?: [A2]\n")
                                                         << QStringList{"4|A2"}
                                                         << QStringList{"3: a lone UTF-16 surrogate"};
        QTest::newRow("UTF-16 CSV, in a category") << utf16le("question,answer,category\nQ1?,A1,C" + lone + "\nQ2?,A2,C\n")
                                                   << QStringList{"3|A2"} << QStringList{"2: a lone UTF-16 surrogate"};
        QTest::newRow("UTF-8 with BOM, an invalid byte") << QByteArray("\xef\xbb\xbfQ1?|A\xff\nQ2?|A2\n")
                                                         << QStringList{"2|A2"} << QStringList{"1: invalid UTF-8 bytes"};
        QTest::newRow("UTF-8 with BOM, cut inside its last character") << QByteArray("\xef\xbb\xbfQ1?|A1\nQ2?|A\xc3")
                                                                       << QStringList{"1|A1"}
                                                                       << QStringList{"2: invalid UTF-8 bytes"};
        QTest::newRow("blocks: a damaged category skips its rows")
            << QByteArray("\xef\xbb\xbf" "Category: C\xff\nQuestion: Q1?\nAnswer: A1\n\nCategory: D\nQuestion: Q2?\n"
                          "Answer: A2\n")
            << QStringList{"6|A2"} << QStringList{"2: its category (line 1) holds invalid UTF-8 bytes"};
        QTest::newRow("the file's own noncharacter, which the marks use")
            << QByteArray("Q1?*A\xef\xb7\x90\nQ2?*A2\n") << QStringList{"2|A2"} << QStringList{"1: a noncharacter"};
    }

    // Rows as "line|end of the answer"; skipped lines as "line: start of the reason".
    void readsBytes()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, rows);
        QFETCH(QStringList, skipped);
        const Contents contents = parse(bytes);
        QVERIFY2(contents.ok(), qPrintable(contents.error));
        QStringList actual;
        for (const Row& row : contents.rows) {
            const QString end = rows.value(actual.size()).section('|', 1);
            actual << QString::number(row.line) + '|' + (row.answer.endsWith(end) ? end : row.answer.right(8));
        }
        QCOMPARE(actual, rows);
        QStringList lines;
        for (const Skip& skip : contents.skipped) {
            const QString start = skipped.value(lines.size()).section(": ", 1);
            lines << QString::number(skip.line) + ": " + (skip.reason.startsWith(start) ? start : skip.reason);
        }
        QCOMPARE(lines, skipped);
    }

    // A damaged YAML file and a missing one: tst_importtool.
    void refusesUnusableFiles_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("error");
        QTest::newRow("unterminated CSV quote") << file("unterminated.csv") << "broken CSV quoting";
        QTest::newRow("CSV without a header") << file("noheader.csv") << "header names no";
        QTest::newRow("binary data") << file("binary.txt") << "not a text file";
    }

    void refusesUnusableFiles()
    {
        QFETCH(QString, path);
        QFETCH(QString, error);
        const Contents contents = read(path);
        QVERIFY2(contents.error.contains(error), qPrintable(contents.error));
        QVERIFY(contents.rows.isEmpty() && contents.skipped.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestQuestionFile)
#include "tst_questionfile.moc"
