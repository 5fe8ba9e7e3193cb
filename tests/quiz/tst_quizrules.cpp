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

    // Boards by period start at local midnight, on Monday, on the 1st.
    void periods_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("name");
        QTest::newRow("today") << "Today" << "2026-12-10 00:00" << "today";
        QTest::newRow("week from Monday") << "week" << "2026-12-07 00:00" << "this week";
        QTest::newRow("month") << "MONTH" << "2026-12-01 00:00" << "this month";
        QTest::newRow("anything else is all time") << "year" << "" << "";
    }
    void periods()
    {
        QFETCH(QString, argument);
        const Quiz::Period period = Quiz::periodFromArgument(argument);
        const QDateTime thursdayNoon(QDate(2026, 12, 10), QTime(12, 30));
        QTEST(Quiz::periodStart(period, thursdayNoon).toString(QStringLiteral("yyyy-MM-dd HH:mm")), "start");
        QTEST(Quiz::periodName(period), "name");
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
