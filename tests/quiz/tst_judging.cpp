// Exact and lenient judging of a room line against a question's answers.

#include <QtTest>

#include "quiz/judging.h"
#include "quiz/rules.h"

using Quiz::Judging;

class TestJudging : public QObject
{
    Q_OBJECT

private:
    static void addColumns()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QStringList>("answers");
        QTest::addColumn<QString>("mode");
        QTest::addColumn<bool>("expected");
    }

    static Quiz::JudgingRules rules(const QString& mode)
    {
        bool ok = false;
        Quiz::JudgingRules rules;
        rules.mode = Quiz::judgingFromName(mode, &ok);
        if (!ok)
            qFatal("unknown judging %s", qPrintable(mode));
        return rules;
    }

    static void row(const char* name, const QString& line, const QStringList& answers, const char* mode, bool expected)
    {
        QTest::newRow(name) << line << answers << QString::fromLatin1(mode) << expected;
    }

private Q_SLOTS:
    void accepted_data()
    {
        addColumns();
        row("exact: other case", "PARIS", {"Paris"}, "exact", true);
        row("exact: full stop", "Paris.", {"Paris"}, "exact", false);
        row("exact: more words", "It is Paris", {"Paris"}, "exact", false);
        row("exact: no slip", "Pariss", {"Paris"}, "exact", false);
        row("exact: blanks are not trimmed", " Paris", {"Paris"}, "exact", false);
        row("exact: Dr. Wily", "Dr Wily", {"Dr. Wily"}, "exact", false);
        row("exact: further answer", "Lutetia", {"Paris", "Lutetia"}, "exact", true);
        row("exact: no question open", "No Answer", {Quiz::noAnswer}, "exact", false);
        row("exact: other case of the sentinel is an answer", "no answer", {"no answer"}, "exact", true);
        row("exact: two blanks in the answer never match", "New York", {"New  York"}, "exact", false);
        row("exact: empty further answer", "", {"Paris", ""}, "exact", false);

        row("punctuation", "Dr Wily", {"Dr. Wily"}, "lenient", true);
        row("full stop and case", "paris.", {"Paris"}, "lenient", true);
        row("runs of blanks", "  New   York ", {"New York"}, "lenient", true);
        row("blank between words", "Spider-Man", {"Spiderman"}, "lenient", true);
        row("more words", "It is Paris", {"Paris"}, "lenient", false);
        row("answer inside the line", "chair", {"air"}, "lenient", false);
        row("accent", "Bronte", {"Brontë"}, "lenient", true);
        row("accent in the line", "Brontë", {"Bronte"}, "lenient", true);
        row("stroke letter", "Soren Kierkegaard", {"Søren Kierkegaard"}, "lenient", true);
        row("leading article", "Beatles", {"The Beatles"}, "lenient", true);
        row("article in the line", "the beatles", {"Beatles"}, "lenient", true);
        row("other article", "an Beatles", {"The Beatles"}, "lenient", true);
        row("article alone", "The", {"The"}, "lenient", true);
        row("article not leading", "Beatles the", {"The Beatles"}, "lenient", false);
        row("ampersand", "Tom and Jerry", {"Tom & Jerry"}, "lenient", true);
        row("and as ampersand", "Simon & Garfunkel", {"Simon and Garfunkel"}, "lenient", true);
        row("number in words", "three hundred and sixty six", {"366"}, "lenient", true);
        row("digits for words", "366", {"three hundred sixty-six"}, "lenient", true);
        row("hyphenated number", "twenty-one", {"21"}, "lenient", true);
        row("year in words", "nineteen eighty-four", {"1984"}, "lenient", true);
        row("a word missing", "one thousand and one", {"1001 Nights"}, "lenient", false);
        row("thousands and a word", "one thousand and one nights", {"1001 Nights"}, "lenient", true);
        row("other number in words", "three hundred and sixty seven", {"366"}, "lenient", false);
        row("number slip never forgiven", "1985", {"1984"}, "lenient", false);
        row("number slip in a long answer", "Apollo Fourteen", {"Apollo 13"}, "lenient", false);
        row("number word slip", "None Inch Nails", {"Nine Inch Nails"}, "lenient", false);
        row("number moved", "4 Rocky", {"Rocky 4"}, "lenient", false);
        row("roman numeral", "Rocky 4", {"Rocky IV"}, "lenient", true);
        row("roman numeral in the line", "rocky iv", {"Rocky 4"}, "lenient", true);
        row("roman numeral, other number", "Rocky V", {"Rocky IV"}, "lenient", false);
        row("roman only at the end", "4 Rocky", {"IV Rocky"}, "lenient", false);
        row("numeral-like letters as written", "ACDC", {"AC/DC"}, "lenient", true);
        row("7 letters: no slip", "Banenas", {"Bananas"}, "lenient", false);
        row("8 letters: one slip", "Einstien", {"Einstein"}, "lenient", true);
        row("8 letters: swap and slip", "Eintsien", {"Einstein"}, "lenient", false);
        row("8 letters: missing letter", "Einstin", {"Einstein"}, "lenient", true);
        row("16 letters: two slips", "Mont Kilimanjro", {"Mount Kilimanjaro"}, "lenient", true);
        row("16 letters: three slips", "Mont Kilmanjro", {"Mount Kilimanjaro"}, "lenient", false);
        row("much shorter line", "Leo", {"Leonardo da Vinci"}, "lenient", false);
        row("slip in a further answer", "Lutetia Parisiorm", {"Paris", "Lutetia Parisiorum"}, "lenient", true);
        row("lenient: no question open", "no answer", {Quiz::noAnswer}, "lenient", false);
        row("nothing but punctuation", "!!!", {"Paris"}, "lenient", false);
        row("answer of punctuation only", "?!", {"?!"}, "lenient", true);
        row("punctuation line, punctuation answer", "!?", {"?!"}, "lenient", false);
        row("empty further answer", "", {"Paris", ""}, "lenient", false);
    }
    void accepted()
    {
        QFETCH(QString, line);
        QFETCH(QStringList, answers);
        QFETCH(QString, mode);
        QTEST(Quiz::isAccepted(line, answers, rules(mode)), "expected");
        // Exact judging is isCorrect() against each answer, and nothing else.
        if (mode == QLatin1String("exact")) {
            QTEST(std::any_of(answers.begin(), answers.end(),
                              [&](const QString& answer) { return !answer.isEmpty() && Quiz::isCorrect(line, answer); }),
                  "expected");
        }
    }

    void nearMisses_data()
    {
        addColumns();
        row("one slip in 7 letters", "Banenas", {"Bananas"}, "lenient", true);
        row("two slips in 8 letters", "Eintsien", {"Einstein"}, "lenient", true);
        row("three slips in 8 letters", "Einsteinium", {"Einstein"}, "lenient", false);
        row("accepted is no near miss", "Einstien", {"Einstein"}, "lenient", false);
        row("4 letters: no slip", "Rone", {"Rome"}, "lenient", false);
        row("punctuation while exact", "Paris.", {"Paris"}, "exact", true);
        row("slip while exact", "Einstien", {"Einstein"}, "exact", true);
        row("correct while exact", "paris", {"Paris"}, "exact", false);
        row("other number", "1985", {"1984"}, "lenient", false);
        row("nothing alike", "no idea", {"Paris"}, "lenient", false);
        row("answer inside the line", "It is Paris", {"Paris"}, "exact", false);
    }
    void nearMisses()
    {
        QFETCH(QString, line);
        QFETCH(QStringList, answers);
        QFETCH(QString, mode);
        QTEST(Quiz::isNearMiss(line, answers, rules(mode)), "expected");
    }

    void articlesFromTheRules()
    {
        Quiz::JudgingRules rules;
        rules.mode = Judging::Lenient;
        rules.articles = QStringList{"Le", "La"};
        QVERIFY(Quiz::isAccepted("Tour Eiffel", {"La Tour Eiffel"}, rules));
        QVERIFY(!Quiz::isAccepted("Beatles", {"The Beatles"}, rules));
    }

    void names()
    {
        bool ok = false;
        QCOMPARE(Quiz::judgingFromName(Quiz::judgingName(Judging::Lenient), &ok), Judging::Lenient);
        QVERIFY(ok);
        QCOMPARE(Quiz::judgingFromName(Quiz::judgingName(Judging::Exact), &ok), Judging::Exact);
        QVERIFY(ok);
        QCOMPARE(Quiz::judgingFromName("strict", &ok), Judging::Exact);
        QVERIFY(!ok);
    }
};

QTEST_GUILESS_MAIN(TestJudging)
#include "tst_judging.moc"
