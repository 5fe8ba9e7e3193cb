// What members receive: the lines a text becomes, and how the send queue
// paces them and shares the room among members.

#include <QStringDecoder>
#include <QTest>

#include "roomlink/sendqueue.h"

using Lines = QList<QByteArray>;
struct Sent { qint64 at; QByteArray line; };

// Drives a SendQueue on a made-up clock the way the link does: after every enqueue and whenever the
// queue says the next line may go. Entries, in time order: "MS g LINES" a game text, "MS s LINES" one
// with an onSent (logged as "sent"), "MS NAME LINES" a reply for NAME; "A*3" is A1 A2 A3. A busy
// notice is "!NAME".
static QList<Sent> runQueue(const QStringList& script)
{
    auto expand = [](const QStringList& words) {
        Lines out;
        for (const QString& word : words) {
            const qsizetype star = word.indexOf('*');
            for (int n = 1; n <= (star < 0 ? 1 : word.mid(star + 1).toInt()); ++n)
                out.append(star < 0 ? word.toUtf8() : word.left(star).toUtf8() + QByteArray::number(n));
        }
        return out;
    };
    SendQueue queue;
    QList<Sent> sent;
    for (qint64 i = 0, now = 0, wait; (wait = queue.msUntilNext(now)) >= 0 || i < script.size();) {
        QStringList words = script.value(i).split(' ');
        if (i < script.size() && (wait < 0 || words.first().toLongLong() <= now + wait)) {
            now = words.takeFirst().toLongLong();
            const QString kind = words.takeFirst();
            if (kind != "g" && kind != "s")
                queue.enqueueReply(kind.toUtf8(), expand(words), "!" + kind.toUtf8());
            else
                queue.enqueueGame(expand(words),
                                  kind == "s" ? [&] { sent.append({now, "sent"}); } : std::function<void()>());
            ++i;
        } else {
            now += wait;
        }
        for (const SendQueue::Line& line : queue.takeDue(now)) {
            if (!line.bytes.isEmpty())
                sent.append({now, line.bytes});
            if (line.onSent)
                line.onSent();
        }
    }
    return sent;
}

// "0:G1-G5 1000..2000:G6-G7": runs of numbered lines written at once or one a second. Without times,
// only the order: "G1-G7".
static QString timeline(const QString& script, bool times = true)
{
    const QList<Sent> sent = runQueue(script.split(" | "));
    auto follows = [&](int j) {
        const QByteArray a = sent[j - 1].line, b = sent[j].line;
        int n = int(a.size());
        while (n > 0 && isdigit(uchar(a.at(n - 1))))
            --n;
        return n < a.size() && b.startsWith(a.left(n)) && b.mid(n) == QByteArray::number(a.mid(n).toInt() + 1);
    };
    QStringList out;
    for (int i = 0, j; i < sent.size(); i = j) {
        const qint64 step = i + 1 < sent.size() && times ? sent[i + 1].at - sent[i].at : 0;
        for (j = i + 1; j < sent.size() && (step == 0 || step == 1000)
                        && (!times || sent[j].at - sent[j - 1].at == step) && follows(j);)
            ++j;
        const bool run = j - i > 1;
        out.append((times ? QString::number(sent[i].at) + (run && step ? ".." + QString::number(sent[j - 1].at)
                                                                        : QString()) + ':' : QString())
                   + sent[i].line + (run ? '-' + sent[j - 1].line : QByteArray()));
    }
    return out.join(QLatin1Char(' '));
}

class TestReplies : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void queue_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("timeline");
        auto row = [](const char* name, const char* script, const char* timeline) {
            QTest::newRow(name) << QString(script) << QString(timeline);
        };
        row("burst, then one a second", "0 g G*7", "0:G1-G5 1000..2000:G6-G7");
        row("refill one a second", "0 g G*6 | 4000 g H*6", "0:G1-G5 1000:G6 4000:H1-H3 5000..7000:H4-H6");
        row("refill up to the burst", "0 g G*6 | 60000 g H*6", "0:G1-G5 1000:G6 60000:H1-H5 61000:H6");
        row("onSent with the last line", "0 g G*4 | 0 s Q1 Q2 | 0 s", "0:G1-G4 0..1000:Q1-Q2 1000:sent 1000:sent");
        // Replies leave two tokens to the game: its texts go the moment they are posted.
        row("game lines before waiting replies", "0 ann A*8 | 500 g Q1 | 600 g Q2",
            "0:A1-A3 500:Q1 600:Q2 3000..7000:A4-A8");
    }
    void queue()
    {
        QFETCH(QString, script);
        QTEST(timeline(script), "timeline");
    }

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
        QTEST(timeline(script, false), "order");
    }

    // The lines a text becomes, "|" between them, "*" for the bold code;
    // "(cut)": a long line, cut into pieces that together give it.
    void lines_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("wire");
        QTest::newRow("every line one message") << "one\n\ntwo\n" << "one|two";
        QTest::newRow("cr lf injection") << "answer\r\nQUIT :bye" << "answer|QUIT :bye";
        QTest::newRow("nul and ctcp quote") << QString("a") + QChar(0) + "b\x01VERSION\x01" << "abVERSION";
        QTest::newRow("long ascii") << QString(1000, 'a') << "(cut)";
        QTest::newRow("long two-byte") << QString(700, QChar(0xE9)) << "(cut)";
        QTest::newRow("long four-byte, odd start") << "x" + QStringLiteral(u"\U0001F600").repeated(300) << "(cut)";
        QTest::newRow("long mixed") << QStringLiteral(u"\u00e9\u20ac\U0001F600").repeated(120) << "(cut)";
        QTest::newRow("help: opening tag alone on its line")
            << "<b>\n(O) Commands (O)\n!q\n!about</b>" << "*(O) Commands (O)|*!q|*!about*";
        QTest::newRow("bold closed mid-text, opened again") << "<b>a\nb</b> c\n<b>d</b>" << "*a|*b* c|*d*";
        QTest::newRow("tags and blanks only") << "\n<b> </b>\n</b>\n  \n" << "";
        QTest::newRow("raw bold codes cannot unbalance") << "\x02x<b>y" << "x*y";
    }
    void lines()
    {
        QFETCH(QString, text);
        QFETCH(QString, wire);
        // Others receive ":nick!user@host " and our line, 512 bytes at most, with a nick of 30, a user
        // name of 10 and a host name of 63 characters.
        const QByteArray target = "#" + QByteArray(49, 'c'), head = "PRIVMSG " + target + " :";
        QStringList got;
        for (const QByteArray& line : buildPrivmsgLines(text, target)) {
            QVERIFY(line.startsWith(head) && line.endsWith("\r\n"));
            QVERIFY(1 + 30 + 1 + 10 + 1 + 63 + 1 + line.size() <= 512);
            QStringDecoder utf8(QStringDecoder::Utf8); // each piece valid UTF-8 on its own
            got.append(utf8(line.mid(head.size()).chopped(2)));
            QVERIFY(!utf8.hasError());
        }
        if (wire == QLatin1String("(cut)"))
            QVERIFY(got.size() > 1 && got.join(QString()) == text);
        else
            QCOMPARE(got.join(QLatin1Char('|')).replace(QChar(0x02), QLatin1Char('*')), wire);
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
