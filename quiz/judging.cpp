#include "quiz/judging.h"

#include "quiz/rules.h"

#include <QList>
#include <QVarLengthArray>

#include <algorithm>

namespace Quiz {

Judging judgingFromName(const QString& name, bool* ok)
{
    const QString key = name.trimmed().toLower();
    const bool known = key == judgingName(Judging::Exact) || key == judgingName(Judging::Lenient);
    if (ok)
        *ok = known;
    return key == judgingName(Judging::Lenient) ? Judging::Lenient : Judging::Exact;
}

QString judgingName(Judging judging)
{
    return judging == Judging::Lenient ? QStringLiteral("lenient") : QStringLiteral("exact");
}

QStringList defaultArticles()
{
    return {QStringLiteral("a"), QStringLiteral("an"), QStringLiteral("the")};
}

namespace {

// Stands among the letters where a number was, so that "4 rocky" is not
// "rocky 4" although both hold the same letters and numbers.
constexpr char16_t numberMark = 1;

struct Token {
    qsizetype start;
    qsizetype length;
    bool digits;
};

// A text in lower-case letters without accents and ASCII digits, cut into
// words at everything else and where letters meet digits.
struct Folded {
    QVarLengthArray<char16_t, 128> text;
    QVarLengthArray<Token, 24> tokens;

    QStringView word(qsizetype i) const
    {
        return QStringView(text.constData() + tokens[i].start, tokens[i].length);
    }
};

enum class Kind { Gap, Letter, Digit };

class Folder
{
public:
    explicit Folder(Folded& out) : out(out) {}

    void put(char16_t c, Kind kind)
    {
        if (kind != last && kind != Kind::Gap)
            out.tokens.append({out.text.size(), 0, kind == Kind::Digit});
        last = kind;
        if (kind == Kind::Gap)
            return;
        out.text.append(c);
        ++out.tokens.last().length;
    }

    void putWord(const char* word)
    {
        put(0, Kind::Gap);
        for (; *word; ++word)
            put(char16_t(*word), Kind::Letter);
        put(0, Kind::Gap);
    }

    void putLetter(char32_t code)
    {
        // Letters that no decomposition takes apart.
        switch (code) {
        case U'ß': put(u's', Kind::Letter); put(u's', Kind::Letter); return;
        case U'æ': put(u'a', Kind::Letter); put(u'e', Kind::Letter); return;
        case U'œ': put(u'o', Kind::Letter); put(u'e', Kind::Letter); return;
        case U'þ': put(u't', Kind::Letter); put(u'h', Kind::Letter); return;
        case U'ø': put(u'o', Kind::Letter); return;
        case U'đ': case U'ð': put(u'd', Kind::Letter); return;
        case U'ł': put(u'l', Kind::Letter); return;
        case U'ı': put(u'i', Kind::Letter); return;
        case U'ħ': put(u'h', Kind::Letter); return;
        }
        if (QChar::requiresSurrogates(code)) {
            put(QChar::highSurrogate(code), Kind::Letter);
            put(QChar::lowSurrogate(code), Kind::Letter);
        } else {
            put(char16_t(code), Kind::Letter);
        }
    }

private:
    Folded& out;
    Kind last = Kind::Gap;
};

void fold(QStringView text, Folded& out)
{
    QString decomposed;
    if (std::any_of(text.begin(), text.end(), [](QChar c) { return c.unicode() >= 0x80; })) {
        decomposed = text.toString().normalized(QString::NormalizationForm_KD);
        text = decomposed;
    }
    Folder folder(out);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < 0x80) {
            if (c >= u'a' && c <= u'z')
                folder.put(c, Kind::Letter);
            else if (c >= u'A' && c <= u'Z')
                folder.put(c + (u'a' - u'A'), Kind::Letter);
            else if (c >= u'0' && c <= u'9')
                folder.put(c, Kind::Digit);
            else if (c == u'&')
                folder.putWord("and");
            else
                folder.put(0, Kind::Gap);
            continue;
        }
        char32_t code = c;
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            code = QChar::surrogateToUcs4(c, text[++i].unicode());
        switch (QChar::category(code)) {
        case QChar::Mark_NonSpacing:
        case QChar::Mark_SpacingCombining:
        case QChar::Mark_Enclosing:
            break; // the accents the decomposition split off
        case QChar::Number_DecimalDigit:
            folder.put(char16_t(u'0' + QChar::digitValue(code)), Kind::Digit);
            break;
        case QChar::Letter_Uppercase:
        case QChar::Letter_Lowercase:
        case QChar::Letter_Titlecase:
        case QChar::Letter_Other:
            folder.putLetter(QChar::toLower(code));
            break;
        default:
            folder.put(0, Kind::Gap);
        }
    }
}

struct NumberWord {
    QLatin1String word;
    int value;
};

const NumberWord numberWords[] = {
    {QLatin1String("zero"), 0},         {QLatin1String("one"), 1},           {QLatin1String("two"), 2},
    {QLatin1String("three"), 3},        {QLatin1String("four"), 4},          {QLatin1String("five"), 5},
    {QLatin1String("six"), 6},          {QLatin1String("seven"), 7},         {QLatin1String("eight"), 8},
    {QLatin1String("nine"), 9},         {QLatin1String("ten"), 10},          {QLatin1String("eleven"), 11},
    {QLatin1String("twelve"), 12},      {QLatin1String("thirteen"), 13},     {QLatin1String("fourteen"), 14},
    {QLatin1String("fifteen"), 15},     {QLatin1String("sixteen"), 16},      {QLatin1String("seventeen"), 17},
    {QLatin1String("eighteen"), 18},    {QLatin1String("nineteen"), 19},     {QLatin1String("twenty"), 20},
    {QLatin1String("thirty"), 30},      {QLatin1String("forty"), 40},        {QLatin1String("fifty"), 50},
    {QLatin1String("sixty"), 60},       {QLatin1String("seventy"), 70},      {QLatin1String("eighty"), 80},
    {QLatin1String("ninety"), 90},      {QLatin1String("hundred"), 100},     {QLatin1String("thousand"), 1000},
    {QLatin1String("million"), 1000000}, {QLatin1String("billion"), 1000000000},
};

int numberWordValue(QStringView word)
{
    if (word.size() < 3 || word.size() > 9)
        return -1;
    for (const NumberWord& number : numberWords) {
        if (number.word.size() == word.size() && word == number.word)
            return number.value;
    }
    return -1;
}

// Reads the number that the words from tokens[at] spell ("three hundred and
// sixty six", "nineteen hundred"); returns how many words it took, 0 when
// tokens[at] is no number word. A word that cannot continue the number ends
// it, so "nineteen eighty four" is 19 then 84.
qsizetype readNumberWords(const Folded& folded, qsizetype at, qint64& value)
{
    qint64 total = 0;
    qint64 current = 0;
    qint64 lastScale = 0;
    bool any = false;
    qsizetype i = at;
    for (; i < folded.tokens.size() && !folded.tokens[i].digits; ++i) {
        const QStringView word = folded.word(i);
        const int number = numberWordValue(word);
        if (number < 0) {
            const bool joins = any && current % 100 == 0 && word == QLatin1String("and")
                && i + 1 < folded.tokens.size() && !folded.tokens[i + 1].digits;
            const int next = joins ? numberWordValue(folded.word(i + 1)) : -1;
            if (next >= 1 && next < 100)
                continue;
            break;
        }
        if (number == 0) {
            if (!any)
                ++i;
            break;
        }
        if (number < 10) {
            if (current % 100 != 0 && (current % 100 < 20 || current % 10 != 0))
                break;
            current += number;
        } else if (number < 100) {
            if (current % 100 != 0)
                break;
            current += number;
        } else if (number == 100) {
            if (current >= 100 || (current == 0 && any))
                break;
            current = (current == 0 ? 1 : current) * 100;
        } else {
            if ((lastScale && number >= lastScale) || (current == 0 && any))
                break;
            total += (current == 0 ? 1 : current) * number;
            current = 0;
            lastScale = number;
        }
        any = true;
    }
    value = total + current;
    return i - at;
}

// The value of a Roman numeral in its usual form (so "iiii" and "vx" are
// none), 0 for any other word.
int romanValue(QStringView word)
{
    // Each decimal place: its one, five and ten; a digit's shape in those.
    static const char16_t places[4][3] = {{u'm', 0, 0}, {u'c', u'd', u'm'}, {u'x', u'l', u'c'}, {u'i', u'v', u'x'}};
    static const char* const shapes[10] = {"", "1", "11", "111", "15", "5", "51", "511", "5111", "1X"};
    int value = 0;
    qsizetype at = 0;
    for (int place = 0, scale = 1000; place < 4; ++place, scale /= 10) {
        int digit = 0;
        qsizetype taken = 0;
        for (int d = 1; d <= (place == 0 ? 3 : 9); ++d) {
            char16_t shape[4];
            qsizetype length = 0;
            for (const char* s = shapes[d]; *s; ++s)
                shape[length++] = places[place][*s == '1' ? 0 : *s == '5' ? 1 : 2];
            if (length > taken && word.mid(at).startsWith(QStringView(shape, length))) {
                digit = d;
                taken = length;
            }
        }
        at += taken;
        value += digit * scale;
    }
    return at == word.size() ? value : 0;
}

// What lenient judging compares: the letters, with a mark where each number
// stands, and the numbers' digits apart, since no slip is forgiven in them.
struct Form {
    QVarLengthArray<char16_t, 64> letters;
    QVarLengthArray<char16_t, 16> numbers;
    int length = 0; // letters and digits

    QStringView letterView() const { return QStringView(letters.constData(), letters.size()); }
    QStringView numberView() const { return QStringView(numbers.constData(), numbers.size()); }
};

class FormBuilder
{
public:
    explicit FormBuilder(Form& form) : form(form) {}

    void letters(QStringView word)
    {
        form.letters.append(word.utf16(), word.size());
        form.length += int(word.size());
        afterNumber = false;
    }

    // Numbers with only blanks or punctuation between are one ("1,000",
    // "19 84").
    void number(QStringView digits)
    {
        if (!afterNumber) {
            if (!form.numbers.isEmpty())
                form.numbers.append(u',');
            form.letters.append(numberMark);
        }
        form.numbers.append(digits.utf16(), digits.size());
        form.length += int(digits.size());
        afterNumber = true;
    }

    void number(qint64 value)
    {
        char16_t digits[24];
        qsizetype at = 24;
        do {
            digits[--at] = char16_t(u'0' + value % 10);
            value /= 10;
        } while (value > 0);
        number(QStringView(digits + at, 24 - at));
    }

private:
    Form& form;
    bool afterNumber = false;
};

// Builds the form of the words from first on; with converting, number words
// and a final Roman numeral become numbers, and the result says whether any
// did.
bool buildForm(const Folded& folded, qsizetype first, bool converting, Form& form)
{
    FormBuilder builder(form);
    bool converted = false;
    const qsizetype end = folded.tokens.size();
    for (qsizetype i = first; i < end;) {
        const QStringView word = folded.word(i);
        if (folded.tokens[i].digits) {
            builder.number(word);
            ++i;
            continue;
        }
        if (converting) {
            qint64 value = 0;
            const qsizetype used = readNumberWords(folded, i, value);
            if (used > 0) {
                builder.number(value);
                converted = true;
                i += used;
                continue;
            }
            const int roman = i == end - 1 && i > first ? romanValue(word) : 0;
            if (roman > 0) {
                builder.number(roman);
                converted = true;
                ++i;
                continue;
            }
        }
        builder.letters(word);
        ++i;
    }
    return converted;
}

// A text's form with numbers read, and, when reading them changed it, its
// form as written: either may match an answer, so "ACDC" stays "AC/DC"
// although "DC" alone would be 600.
struct Forms {
    Form converted;
    Form plain;
    bool hasPlain = false;

    const Form& written() const { return hasPlain ? plain : converted; }
};

void makeForms(QStringView text, const QList<QString>& articles, Forms& forms)
{
    Folded folded;
    fold(text, folded);
    qsizetype first = 0;
    if (folded.tokens.size() > 1 && !folded.tokens[0].digits) {
        const QStringView head = folded.word(0);
        if (std::any_of(articles.begin(), articles.end(), [head](const QString& a) { return a == head; }))
            first = 1;
    }
    if (buildForm(folded, first, true, forms.converted)) {
        buildForm(folded, first, false, forms.plain);
        forms.hasPlain = true;
    }
}

// Optimal string alignment distance, or limit + 1 once it exceeds limit; only
// the cells within limit of the diagonal are computed.
int slipsBetween(QStringView a, QStringView b, int limit)
{
    const qsizetype n = a.size();
    const qsizetype m = b.size();
    const int over = limit + 1;
    if (qAbs(n - m) > limit)
        return over;
    if (limit == 0)
        return a == b ? 0 : over;
    QVarLengthArray<int, 192> rows(3 * (m + 1));
    int* before = rows.data();
    int* previous = before + m + 1;
    int* row = previous + m + 1;
    for (qsizetype j = 0; j <= m; ++j)
        previous[j] = j <= limit ? int(j) : over;
    for (qsizetype i = 1; i <= n; ++i) {
        const qsizetype low = std::max<qsizetype>(1, i - limit);
        const qsizetype high = std::min<qsizetype>(m, i + limit);
        row[low - 1] = low == 1 ? std::min<int>(int(i), over) : over;
        int best = row[low - 1];
        for (qsizetype j = low; j <= high; ++j) {
            int cell = std::min({previous[j] + 1, row[j - 1] + 1, previous[j - 1] + (a[i - 1] != b[j - 1] ? 1 : 0)});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                cell = std::min(cell, before[j - 2] + 1);
            row[j] = std::min(cell, over);
            best = std::min(best, row[j]);
        }
        if (high < m)
            row[high + 1] = over;
        if (best > limit)
            return over;
        std::swap(before, row);
        std::swap(before, previous);
    }
    return previous[m];
}

bool within(const Form& line, const Form& answer, int slips)
{
    return line.numberView() == answer.numberView()
        && slipsBetween(line.letterView(), answer.letterView(), slips) <= slips;
}

bool same(const Form& a, const Form& b)
{
    return a.letterView() == b.letterView() && a.numberView() == b.numberView();
}

// Slips are forgiven only between the forms with numbers read: in a form as
// written, "nine" is one slip from "none".
bool matches(const Forms& line, const Forms& answer, int slips)
{
    if (within(line.converted, answer.converted, slips))
        return true;
    if (!line.hasPlain && !answer.hasPlain)
        return false;
    return same(line.written(), answer.converted) || same(line.converted, answer.written())
        || same(line.written(), answer.written());
}

}

struct AnswerJudge::Prepared {
    struct Answer {
        QString lowered;
        Forms forms;
        bool lenient = false; // false when normalising leaves nothing of it
        int slips = 0;
        int nearSlips = 0;
    };

    Judging mode = Judging::Exact;
    QList<QString> articles;
    QList<Answer> answers;

    Verdict judge(const QString& line, bool nearMisses) const;
};

AnswerJudge::AnswerJudge(const QStringList& answers, const JudgingRules& rules)
{
    auto p = std::make_shared<Prepared>();
    p->mode = rules.mode;
    for (const QString& article : rules.articles) {
        Folded folded;
        fold(article, folded);
        if (folded.tokens.size() == 1 && !folded.tokens[0].digits)
            p->articles.append(folded.word(0).toString());
    }
    for (const QString& text : answers) {
        // isCorrect() never matches the no-question state; an empty accepted
        // answer would make an empty line correct.
        if (text.isEmpty() || text == noAnswer)
            continue;
        Prepared::Answer answer;
        answer.lowered = text.toLower();
        makeForms(text, p->articles, answer.forms);
        const int length = answer.forms.converted.length;
        answer.lenient = length > 0;
        answer.slips = length / 8;
        answer.nearSlips = std::max(2 * answer.slips, length >= 5 ? 1 : 0);
        p->answers.append(answer);
    }
    prepared = std::move(p);
}

Verdict AnswerJudge::Prepared::judge(const QString& line, bool nearMisses) const
{
    QString lowered;
    const auto exactly = [&](const Answer& answer) {
        if (lowered.isNull())
            lowered = line.toLower();
        return lowered == answer.lowered;
    };
    if (mode == Judging::Exact) {
        if (std::any_of(answers.begin(), answers.end(), exactly))
            return Verdict::Correct;
        if (!nearMisses)
            return Verdict::Wrong;
    }
    Forms forms;
    makeForms(line, articles, forms);
    if (mode == Judging::Lenient) {
        for (const Answer& answer : answers) {
            if (answer.lenient ? matches(forms, answer.forms, answer.slips) : exactly(answer))
                return Verdict::Correct;
        }
    }
    if (nearMisses) {
        for (const Answer& answer : answers) {
            if (answer.lenient && matches(forms, answer.forms, answer.nearSlips))
                return Verdict::NearMiss;
        }
    }
    return Verdict::Wrong;
}

Verdict AnswerJudge::judge(const QString& line) const
{
    return prepared->judge(line, true);
}

bool AnswerJudge::accepts(const QString& line) const
{
    return prepared->judge(line, false) == Verdict::Correct;
}

bool isAccepted(const QString& line, const QStringList& answers, const JudgingRules& rules)
{
    return AnswerJudge(answers, rules).accepts(line);
}

bool isNearMiss(const QString& line, const QStringList& answers, const JudgingRules& rules)
{
    return AnswerJudge(answers, rules).judge(line) == Verdict::NearMiss;
}

}
