// The rules of the quiz as pure functions: no window, no database.

#include <QtTest>

#include "quiz/command.h"
#include "quiz/rules.h"

using Quiz::Command;
Q_DECLARE_METATYPE(Quiz::Command)

// A random source that plays back fixed numbers.
static Quiz::Random sequence(QList<int> numbers, qint64 max = 32767)
{
    auto next = std::make_shared<QList<int>>(std::move(numbers));
    return {[next] { return next->takeFirst(); }, max};
}

class TestQuizRules : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void lines_data()
    {
        QTest::addColumn<QStringList>("pieces");
        QTest::addColumn<QString>("speaker");
        QTest::addColumn<QString>("text");
        QTest::newRow("pieces join") << QStringList{"Alice", ": Paris", "\n"} << "Alice" << "Paris";
        QTest::newRow("later colons stay in the text")
            << QStringList{"Alice: the answer: Paris", "\n"} << "Alice" << "the answer: Paris";
        QTest::newRow("a piece ending in a newline ends nothing")
            << QStringList{"Alice: Paris\n", "\n"} << "Alice" << "Paris";
        QTest::newRow("blanks simplified") << QStringList{"  Al ice :  New   York  ", "\n"} << "Al ice" << "New York";
        QTest::newRow("no colon is all speaker") << QStringList{"just text", "\n"} << "just text" << "";
    }
    void lines()
    {
        QFETCH(QStringList, pieces);
        QString buffer;
        int ended = 0;
        Quiz::RoomLine line;
        for (const QString& piece : pieces) {
            buffer += piece;
            if (Quiz::endsLine(piece)) {
                line = Quiz::splitLine(buffer);
                ++ended;
            }
        }
        QCOMPARE(ended, 1);
        QTEST(line.speaker, "speaker");
        QTEST(line.text, "text");
    }

    void judging_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("correct");
        QTest::newRow("other case") << "PARIS" << "paris" << true;
        QTest::newRow("full stop") << "Paris." << "Paris" << false;
        QTest::newRow("more words") << "It is Paris" << "Paris" << false;
        QTest::newRow("two blanks in the answer never match") << "New York" << "New  York" << false;
        QTest::newRow("no question open") << "No Answer" << Quiz::noAnswer << false;
        QTest::newRow("other case of the sentinel is an answer") << "no answer" << "no answer" << true;
    }
    void judging()
    {
        QFETCH(QString, text);
        QFETCH(QString, answer);
        QTEST(Quiz::isCorrect(text, answer), "correct");
    }

    void hints_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QList<int>>("numbers");
        QTest::addColumn<QString>("hint");
        QTest::newRow("two words") << "New York" << QList<int>{0, 4} << "N _ _  Y _ _ _ ";
        QTest::newRow("positions wrap") << "New York" << QList<int>{8, 12} << "N _ _  Y _ _ _ ";
        QTest::newRow("one character is revealed") << "7" << QList<int>{5, 9} << "7 ";
        QTest::newRow("same position twice") << "ab" << QList<int>{1, 1} << "_ b ";
        QTest::newRow("a revealed blank keeps its blank") << "a b" << QList<int>{1, 1} << "_   _ ";
        QTest::newRow("empty answer, no hint") << "" << QList<int>{} << "";
    }
    void hints()
    {
        QFETCH(QString, answer);
        QFETCH(QList<int>, numbers);
        QTEST(Quiz::hint(answer, sequence(numbers)), "hint");
    }

    void randomIndex_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<QList<int>>("numbers");
        QTest::addColumn<int>("index");
        QTest::newRow("modulo") << 10 << QList<int>{27} << 7;
        QTest::newRow("nothing to pick") << 0 << QList<int>{} << 0;
        QTest::newRow("past the source's range") << 100000 << QList<int>{3, 5} << 98309;
        QTest::newRow("the last row can come up") << 100000 << QList<int>{3, 1695} << 99999;
    }
    void randomIndex()
    {
        QFETCH(int, count);
        QFETCH(QList<int>, numbers);
        QTEST(Quiz::randomIndex(count, sequence(numbers)), "index");
    }

    void commands_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<Command>("command");
        QTest::addColumn<QString>("argument");
        QTest::newRow("any case") << "!START geography" << Command::Start << "geography";
        QTest::newRow("second word only") << "!start World History" << Command::Start << "World";
        QTest::newRow("no argument") << "!restart" << Command::Restart << "";
        QTest::newRow("q is not a prefix") << "!quit" << Command::Quit << "";
        QTest::newRow("question") << "!q" << Command::Question << "";
        QTest::newRow("unknown") << "!dance now" << Command::None << "now";
    }
    void commands()
    {
        QFETCH(QString, line);
        const Quiz::ChatCommand parsed = Quiz::parseCommand(line);
        QTEST(parsed.command, "command");
        QTEST(parsed.argument, "argument");
    }

    void seconds_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<int>("seconds");
        QTest::newRow("number") << "45" << 45;
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("negative") << "-5" << 0;
        QTest::newRow("past int") << "3000000000" << INT_MAX;
        QTest::newRow("past unsigned") << "99999999999" << 0;
    }
    void seconds()
    {
        QFETCH(QString, argument);
        QTEST(Quiz::secondsArgument(argument), "seconds");
    }
};

QTEST_GUILESS_MAIN(TestQuizRules)
#include "tst_quizrules.moc"
