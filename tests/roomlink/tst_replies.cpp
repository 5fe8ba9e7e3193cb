// What members receive: the lines a text becomes, and how the send queue
// shares the room among them.

#include <QRegularExpression>
#include <QTest>

#include "roomlink/sendqueue.h"

using Lines = QList<QByteArray>;

// Runs a script on a made-up clock and gives the order in which lines went,
// numbered runs joined ("A1-A3"). Steps: "MS g LINES" a game text, "MS NAME
// LINES" a reply for NAME; "A*3" is A1 A2 A3. A busy notice is "!NAME".
static QString sendOrder(const QString& script)
{
    SendQueue queue;
    QStringList sent;
    qint64 now = 0;
    auto drain = [&](qint64 until) {
        for (qint64 wait; (wait = queue.msUntilNext(now)) >= 0 && now + wait <= until;) {
            now += wait;
            for (const SendQueue::Line& line : queue.takeDue(now))
                sent.append(QString::fromUtf8(line.bytes));
        }
        now = until;
    };
    for (const QString& step : script.split(QStringLiteral(" | "))) {
        QStringList words = step.split(QLatin1Char(' '));
        drain(words.takeFirst().toLongLong());
        const QString who = words.takeFirst();
        Lines lines;
        for (const QString& word : std::as_const(words)) {
            const int count = word.contains(QLatin1Char('*')) ? word.section(QLatin1Char('*'), 1).toInt() : 0;
            for (int n = 1; n <= qMax(1, count); ++n)
                lines.append(count ? word.section(QLatin1Char('*'), 0, 0).toUtf8() + QByteArray::number(n)
                                   : word.toUtf8());
        }
        if (who == QLatin1String("g"))
            queue.enqueueGame(lines);
        else
            queue.enqueueReply(who.toUtf8(), lines, "!" + who.toUtf8());
    }
    drain(1000000);
    // Runs of one letter counting up are joined.
    QStringList runs;
    static const QRegularExpression numbered(QStringLiteral("^(\\D+)(\\d+)$"));
    for (const QString& line : std::as_const(sent)) {
        const QRegularExpressionMatch now = numbered.match(line);
        const QRegularExpressionMatch last = numbered.match(runs.isEmpty() ? QString() : runs.last().section('-', -1));
        if (now.hasMatch() && last.hasMatch() && now.captured(1) == last.captured(1)
            && now.captured(2).toInt() == last.captured(2).toInt() + 1)
            runs.last() = runs.last().section('-', 0, 0) + QLatin1Char('-') + line;
        else
            runs.append(line);
    }
    return runs.join(QLatin1Char(' '));
}

class TestReplies : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void fairShares_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("order");
        auto row = [](const char* name, const char* script, const char* order) {
            QTest::newRow(name) << QString(script) << QString(order);
        };
        row("a second request answered too, after the first", "0 g G*5 | 0 ann A*2 | 500 ann B*2", "G1-G5 A1-A2 B1-B2");
        row("the same request while it waits: once", "0 g G*5 | 0 ann A*2 | 500 ann A*2 | 900 ann B1",
            "G1-G5 A1-A2 B1");
        row("a flooder does not delay a newcomer", "0 g G*5 | 0 ann A*8 | 0 ann B*8 | 0 ann C*8 | 2500 cy D1",
            "G1-G5 A1 D1 A2-A8 B1-B8 C1-C8");
        row("past a member's bound: one notice, then silence",
            "0 g G*5 | 0 ann A*20 | 0 ann B*5 | 0 ann C*4 | 0 bob D1", "G1-G5 A1 D1 A2-A20 !ann");
        row("a flood leaves room for a newcomer", "0 g G*5 | 0 a A*20 | 0 b B*20 | 0 c C*8 | 0 c X1 | 0 d D1",
            "G1-G5 A1 B1 C1 D1 A2 B2 C2 A3 B3 C3 A4 B4 C4 A5 B5 C5 A6 B6 C6 A7 B7 C7 A8 B8 C8 A9 B9 !c A10 B10 A11 "
            "B11 A12 B12 A13 B13 A14 B14 A15 B15 A16 B16 A17 B17 A18 B18 A19 B19 A20 B20");
        row("a long reply alone is never cut", "0 ann A*90", "A1-A90");
    }
    void fairShares()
    {
        QFETCH(QString, script);
        QTEST(sendOrder(script), "order");
    }

    // Bold as the member sees it; "*" stands for the bold code.
    void bold_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("wire");
        QTest::newRow("help: opening tag alone on its line")
            << "<b>\n(O) Commands (O)\n!q\n!about</b>" << "*(O) Commands (O)|*!q|*!about*";
        QTest::newRow("bold closed mid-text, opened again") << "<b>a\nb</b> c\n<b>d</b>" << "*a|*b* c|*d*";
        QTest::newRow("tags and blanks only") << "\n<b> </b>\n</b>\n  \n" << "";
        QTest::newRow("raw bold codes cannot unbalance") << "\x02x<b>y" << "x*y";
    }
    void bold()
    {
        QFETCH(QString, text);
        QStringList got;
        for (const QByteArray& line : buildPrivmsgLines(text, "bob"))
            got.append(QString::fromUtf8(line.mid(13).chopped(2)).replace(QChar(0x02), QLatin1Char('*')));
        QTEST(got.join(QLatin1Char('|')), "wire");
    }

    // A bold line cut in two stays bold in its second piece.
    void boldAcrossACut()
    {
        const Lines lines = buildPrivmsgLines("<b>" + QString(600, 'a'), "bob");
        QCOMPARE(lines.size(), 2);
        QVERIFY(lines.at(0).startsWith("PRIVMSG bob :\x02" "a") && lines.at(1).startsWith("PRIVMSG bob :\x02" "a"));
    }
};

QTEST_GUILESS_MAIN(TestReplies)
#include "tst_replies.moc"
