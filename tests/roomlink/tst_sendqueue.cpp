#include "roomlink/sendqueue.h"

#include <QtTest>

using Lines = QList<QByteArray>;

class TestSendQueue : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void lines_data();
    void lines();
    void noCommandInjection_data();
    void noCommandInjection();
    void longLineSplit_data();
    void longLineSplit();
    void linesFitTheProtocol();
    void burstThenRate();
    void refillsWhileIdle();
    void orderKept();
    void resetDropsQueue();
};

void TestSendQueue::lines_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<Lines>("wire");

    QTest::newRow("plain line to the channel") << QStringLiteral("(O) QuizNewt Connected (O)")
        << Lines{"PRIVMSG #trivia :(O) QuizNewt Connected (O)\r\n"};
    QTest::newRow("private reply") << QStringLiteral("/msg Alice Answer time set to: 45 seconds")
        << Lines{"PRIVMSG Alice :Answer time set to: 45 seconds\r\n"};
    QTest::newRow("private reply with leading line feed") << QStringLiteral("/msg Alice \n<b>Your score: 12</b>")
        << Lines{"PRIVMSG Alice :\x02Your score: 12\x02\r\n"};
    QTest::newRow("private reply of nothing sends nothing") << QStringLiteral("/msg Alice ") << Lines{};
    QTest::newRow("every line of a private text goes to the member")
        << QStringLiteral("/msg Bob one\ntwo")
        << Lines{"PRIVMSG Bob :one\r\n", "PRIVMSG Bob :two\r\n"};
    QTest::newRow("/msg without a text goes to the channel") << QStringLiteral("/msg Alice")
        << Lines{"PRIVMSG #trivia :/msg Alice\r\n"};
    QTest::newRow("/msg not at the start goes to the channel") << QStringLiteral("say /msg Alice hi")
        << Lines{"PRIVMSG #trivia :say /msg Alice hi\r\n"};
    QTest::newRow("/msg to a channel name stays in the channel") << QStringLiteral("/msg #other hi")
        << Lines{"PRIVMSG #trivia :/msg #other hi\r\n"};
    QTest::newRow("/msg to several targets stays in the channel") << QStringLiteral("/msg a,b hi")
        << Lines{"PRIVMSG #trivia :/msg a,b hi\r\n"};
    QTest::newRow("line feeds split messages, empty lines skipped")
        << QStringLiteral("\nfirst\n\nsecond\n")
        << Lines{"PRIVMSG #trivia :first\r\n", "PRIVMSG #trivia :second\r\n"};
    QTest::newRow("bold tags") << QStringLiteral("<b>Question 3 of 10:</b> Capital of France?")
        << Lines{"PRIVMSG #trivia :\x02Question 3 of 10:\x02 Capital of France?\r\n"};
    QTest::newRow("utf-8 on the wire") << QStringLiteral(u"Zürich")
        << Lines{"PRIVMSG #trivia :Z\xc3\xbcrich\r\n"};
    QTest::newRow("empty text sends nothing") << QString() << Lines{};
}

void TestSendQueue::lines()
{
    QFETCH(QString, text);
    QFETCH(Lines, wire);
    QCOMPARE(buildPrivmsgLines(text, "#trivia"), wire);
}

void TestSendQueue::noCommandInjection_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("carriage return") << QStringLiteral("answer\rQUIT :bye");
    QTest::newRow("cr lf") << QStringLiteral("answer\r\nQUIT :bye");
    QTest::newRow("nul") << QString(QStringLiteral("answer")) + QChar(0) + QStringLiteral("\nQUIT :bye");
    QTest::newRow("in a private name") << QStringLiteral("/msg Al\rQUIT x");
    QTest::newRow("lone line feed") << QStringLiteral("answer\nQUIT :bye");
    QTest::newRow("ctcp quote") << QStringLiteral("\x01VERSION\x01");
}

void TestSendQueue::noCommandInjection()
{
    QFETCH(QString, text);
    const Lines wire = buildPrivmsgLines(text, "#trivia");
    QVERIFY(!wire.isEmpty());
    for (const QByteArray& line : wire) {
        QVERIFY2(line.startsWith("PRIVMSG "), line.constData());
        QVERIFY(line.endsWith("\r\n"));
        const QByteArray body = line.chopped(2);
        QVERIFY2(!body.contains('\r') && !body.contains('\n') && !body.contains('\0'), line.constData());
        QVERIFY(!body.contains('\x01'));
    }
}

void TestSendQueue::longLineSplit_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("ascii") << QString(1000, QLatin1Char('a'));
    QTest::newRow("two-byte characters") << QString(700, QChar(0xE9));
    QTest::newRow("three-byte characters") << QString(500, QChar(0x20AC));
    QTest::newRow("four-byte characters") << QString::fromUtf8(QByteArray("\xf0\x9f\x98\x80").repeated(300));
    QTest::newRow("mixed with an odd start") << QStringLiteral("x") + QString::fromUtf8(QByteArray("\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80").repeated(120));
}

void TestSendQueue::longLineSplit()
{
    QFETCH(QString, text);
    const QByteArray head = "PRIVMSG #trivia :";
    const Lines wire = buildPrivmsgLines(text, "#trivia");
    QVERIFY(wire.size() > 1);
    QString joined;
    for (const QByteArray& line : wire) {
        const QByteArray body = line.mid(head.size()).chopped(2);
        QVERIFY(body.size() <= maxTextBytes("#trivia"));
        // Each piece must be valid UTF-8 on its own.
        QStringDecoder utf8(QStringDecoder::Utf8);
        joined += utf8(body);
        QVERIFY2(!utf8.hasError(), body.left(20).toHex().constData());
    }
    QCOMPARE(joined, text);
}

void TestSendQueue::linesFitTheProtocol()
{
    // What others receive: ":nick!user@host " + our line, within 512 bytes.
    const QByteArray prefix = ":" + QByteArray(30, 'n') + "!" + QByteArray(10, 'u') + "@"
                              + QByteArray(63, 'h') + " ";
    const QByteArray channel = "#" + QByteArray(49, 'c');
    for (const QByteArray& line : buildPrivmsgLines(QString(3000, QLatin1Char('z')), channel))
        QVERIFY(prefix.size() + line.size() <= 512);
}

void TestSendQueue::burstThenRate()
{
    SendQueue queue(3, 1000);
    for (int i = 0; i < 6; ++i)
        queue.enqueue(QByteArray::number(i));
    QCOMPARE(queue.takeDue(10000), (Lines{"0", "1", "2"}));
    QCOMPARE(queue.msUntilNext(10000), 1000);
    QVERIFY(queue.takeDue(10999).isEmpty());
    QCOMPARE(queue.msUntilNext(10999), 1);
    QCOMPARE(queue.takeDue(11000), (Lines{"3"}));
    QCOMPARE(queue.takeDue(12500), (Lines{"4"}));
    // The half interval left over counts towards the next line.
    QCOMPARE(queue.msUntilNext(12500), 500);
    QCOMPARE(queue.takeDue(13000), (Lines{"5"}));
    QCOMPARE(queue.msUntilNext(13000), -1);
}

void TestSendQueue::refillsWhileIdle()
{
    SendQueue queue(3, 1000);
    for (int i = 0; i < 3; ++i)
        queue.enqueue("a");
    QCOMPARE(queue.takeDue(0).size(), 3);
    // Two intervals of quiet give two lines at once, not more.
    for (int i = 0; i < 3; ++i)
        queue.enqueue("b");
    QCOMPARE(queue.takeDue(2000).size(), 2);
    QCOMPARE(queue.takeDue(2000).size(), 0);
    // A long quiet fills the bucket only up to the burst.
    QCOMPARE(queue.takeDue(60000).size(), 1);
    for (int i = 0; i < 5; ++i)
        queue.enqueue("c");
    QCOMPARE(queue.takeDue(120000).size(), 3);
}

void TestSendQueue::orderKept()
{
    SendQueue queue(2, 1000);
    Lines sent;
    qint64 now = 0;
    for (int i = 0; i < 7; ++i) {
        queue.enqueue(QByteArray::number(i));
        sent += queue.takeDue(now);
        now += 300;
    }
    while (!queue.isEmpty()) {
        now += queue.msUntilNext(now);
        sent += queue.takeDue(now);
    }
    QCOMPARE(sent, (Lines{"0", "1", "2", "3", "4", "5", "6"}));
}

void TestSendQueue::resetDropsQueue()
{
    SendQueue queue(1, 1000);
    queue.enqueue("a");
    queue.enqueue("b");
    QCOMPARE(queue.takeDue(0).size(), 1);
    queue.reset();
    QVERIFY(queue.isEmpty());
    queue.enqueue("c");
    // A fresh connection starts with a full bucket.
    QCOMPARE(queue.takeDue(1), (Lines{"c"}));
}

QTEST_GUILESS_MAIN(TestSendQueue)
#include "tst_sendqueue.moc"
