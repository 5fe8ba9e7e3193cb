#include "roomlink/ircroomlink.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

using Lines = QList<QByteArray>;

// A loopback server that plays the IRC server's part line by line, for the
// cases a real server cannot be made to produce on demand.
class FakeServer : public QObject
{
public:
    FakeServer()
    {
        server.listen(QHostAddress::LocalHost, 0);
        connect(&server, &QTcpServer::pendingConnectionAvailable, this, [this] {
            QTcpSocket* socket = server.nextPendingConnection();
            client = socket;
            ++connections;
            received.clear();
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
                if (socket == client)
                    read();
            });
        });
    }

    IrcRoomSettings settings() const
    {
        IrcRoomSettings settings;
        settings.port = server.serverPort();
        return settings;
    }
    void send(const QByteArray& line)
    {
        client->write(line + "\r\n");
        client->flush();
    }
    void read()
    {
        buffer += client->readAll();
        for (int end; (end = buffer.indexOf("\r\n")) >= 0; buffer.remove(0, end + 2))
            received.append(buffer.left(end));
    }
    Lines lines(const QByteArray& head) const
    {
        Lines found;
        for (const QByteArray& line : received) {
            if (line.startsWith(head))
                found.append(line);
        }
        return found;
    }
    // The first received line starting with head, waiting for it if need be.
    QByteArray waitFor(const QByteArray& head)
    {
        (void)QTest::qWaitFor([&] { return !lines(head).isEmpty(); }, 3000);
        return lines(head).value(0);
    }

    QTcpServer server;
    QPointer<QTcpSocket> client;
    Lines received;
    QByteArray buffer;
    int connections = 0;
};

// Takes the link through a new connection's registration into the channel.
static bool bringIn(IrcRoomLink& link, FakeServer& server)
{
    const int before = server.connections;
    link.join();
    if (!QTest::qWaitFor([&] { return server.connections > before; }, 3000) || server.waitFor("USER ").isNull())
        return false;
    server.send(":irc.test 001 QuizNewt :Welcome");
    if (server.waitFor("JOIN ").isNull())
        return false;
    server.send(":QuizNewt!q@h JOIN #trivia");
    return QTest::qWaitFor([&] { return link.isJoined(); }, 3000);
}

class TestIrcRoomLink : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void registration()
    {
        FakeServer server;
        IrcRoomSettings settings = server.settings();
        settings.password = "open sesame";
        IrcRoomLink link(settings);
        QSignalSpy joined(&link, &RoomLink::joined);
        link.join();
        QVERIFY(!server.waitFor("USER ").isNull());
        QCOMPARE(server.received.mid(0, 2), (Lines{"PASS :open sesame", "NICK QuizNewt"}));
        // Some servers check the client with a PING before welcoming it.
        server.send("PING :1234567");
        QCOMPARE(server.waitFor("PONG"), QByteArray("PONG :1234567"));
        server.send(":irc.test 433 * QuizNewt :Nickname already in use");
        QVERIFY(!server.waitFor("NICK QuizNewt_").isNull());
        server.send(":irc.test 001 QuizNewt_ :Welcome");
        QCOMPARE(server.waitFor("JOIN "), QByteArray("JOIN #trivia"));
        // Someone else joining is not our join.
        server.send(":Alice!a@h JOIN #trivia");
        server.send("PING :after-alice");
        QVERIFY(!server.waitFor("PONG :after-alice").isNull());
        QVERIFY(!link.isJoined());
        server.send(":quiznewt_!q@h JOIN :#Trivia");
        QTRY_COMPARE(joined.size(), 1);
        QCOMPARE(link.currentNick(), QByteArray("QuizNewt_"));
    }

    void captured_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("piece");
        auto row = [](const char* name, const QByteArray& line, const QString& piece = QString()) {
            QTest::newRow(name) << line << piece;
        };
        row("channel message", ":Alice!a@h PRIVMSG #trivia :Paris", "Alice: Paris");
        row("channel name in other case", ":Alice!a@h PRIVMSG #TRIVIA :Paris", "Alice: Paris");
        row("colons kept in the text", ":Bob!b@h PRIVMSG #trivia :!userscore a:b", "Bob: !userscore a:b");
        row("message tags", "@time=2024-01-01T00:00:00Z;id=1 :Bob!b@h PRIVMSG #trivia :hi", "Bob: hi");
        row("utf-8", ":Chlo\xc3\xab!c@h PRIVMSG #trivia :Z\xc3\xbcrich", u"Chloë: Zürich"_qs);
        row("latin-1", ":Dan!d@h PRIVMSG #trivia :Z\xfcrich", u"Dan: Zürich"_qs);
        row("latin-1 that starts like utf-8", ":Dan!d@h PRIVMSG #trivia :\xc3 la carte", u"Dan: Ã la carte"_qs);
        row("colour stripped", ":Eve!e@h PRIVMSG #trivia :\x03" "04,01Paris\x03", "Eve: Paris");
        row("colour before a number", ":Eve!e@h PRIVMSG #trivia :\x03" "0442", "Eve: 42");
        row("bold and underline stripped", ":Eve!e@h PRIVMSG #trivia :\x02Pa\x1Fris\x02", "Eve: Paris");
        row("private message", ":Alice!a@h PRIVMSG QuizNewt :!myscore");
        row("notice to the channel", ":Alice!a@h NOTICE #trivia :Paris");
        row("action", ":Alice!a@h PRIVMSG #trivia :\x01" "ACTION waves\x01");
        row("other channel", ":Alice!a@h PRIVMSG #other :Paris");
        row("to channel operators only", ":Alice!a@h PRIVMSG @#trivia :Paris");
        row("own nick", ":QuizNewt!q@h PRIVMSG #trivia :(O) echo");
    }
    void captured()
    {
        QFETCH(QByteArray, line);
        QFETCH(QString, piece);
        FakeServer server;
        IrcRoomLink link(server.settings());
        QVERIFY(bringIn(link, server));
        QStringList got;
        connect(&link, &RoomLink::textCaptured, this, [&](const QString& text) { got.append(text); });
        // One read is never one line: the cut falls inside the ü of the UTF-8
        // row, and a marker line ending in a bare line feed follows.
        server.client->write(line.chopped(5));
        server.client->flush();
        QTest::qWait(20);
        server.client->write(line.right(5) + "\r\n:Zed!z@h PRIVMSG #trivia :end\n");
        server.client->flush();
        QTRY_VERIFY(got.contains(QStringLiteral("Zed: end")));
        const QStringList expected = piece.isEmpty() ? QStringList() : QStringList{piece, QStringLiteral("\n")};
        QCOMPARE(got, expected + QStringList({QStringLiteral("Zed: end"), QStringLiteral("\n")}));
    }

    void nestedEventLoopInHandler()
    {
        FakeServer server;
        IrcRoomLink link(server.settings());
        QVERIFY(bringIn(link, server));
        QStringList pieces;
        bool nested = false;
        // A slot that opens a modal loop while more room text arrives.
        connect(&link, &RoomLink::textCaptured, this, [&](const QString& piece) {
            pieces.append(piece);
            if (piece == QStringLiteral("Alice: one") && !nested) {
                nested = true;
                server.send(":Bob!b@h PRIVMSG #trivia :three");
                QTest::qWait(100);
            }
        });
        server.client->write(":Alice!a@h PRIVMSG #trivia :one\r\n:Alice!a@h PRIVMSG #trivia :two\r\n");
        server.client->flush();
        QTRY_COMPARE(pieces.size(), 6);
        QTest::qWait(20);
        QCOMPARE(pieces, (QStringList{"Alice: one", "\n", "Alice: two", "\n", "Bob: three", "\n"}));
    }

    void posts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<Lines>("wire");
        QTest::newRow("channel") << "(O) Connected (O)" << Lines{"PRIVMSG #trivia :(O) Connected (O)"};
        QTest::newRow("private reply") << "/msg Alice \n<b>Your score: 12</b>"
                                       << Lines{"PRIVMSG Alice :\x02Your score: 12\x02"};
        QTest::newRow("every line of a private text") << "/msg Bob one\ntwo"
                                                      << Lines{"PRIVMSG Bob :one", "PRIVMSG Bob :two"};
        QTest::newRow("/msg not at the start") << "say /msg Alice hi" << Lines{"PRIVMSG #trivia :say /msg Alice hi"};
        QTest::newRow("/msg to a channel") << "/msg #other hi" << Lines{"PRIVMSG #trivia :/msg #other hi"};
        QTest::newRow("/msg to several") << "/msg a,b hi" << Lines{"PRIVMSG #trivia :/msg a,b hi"};
        QTest::newRow("empty lines skipped") << "\nfirst\n\nsecond\n"
                                             << Lines{"PRIVMSG #trivia :first", "PRIVMSG #trivia :second"};
        QTest::newRow("bold") << "<b>Question 3 of 10:</b> Capital of France?"
                              << Lines{"PRIVMSG #trivia :\x02Question 3 of 10:\x02 Capital of France?"};
        QTest::newRow("utf-8") << u"Zürich"_qs << Lines{"PRIVMSG #trivia :Z\xc3\xbcrich"};
        QTest::newRow("cr lf injection") << "answer\r\nQUIT :bye"
                                         << Lines{"PRIVMSG #trivia :answer", "PRIVMSG #trivia :QUIT :bye"};
        QTest::newRow("cr in a private name") << "/msg Al\rQUIT x" << Lines{"PRIVMSG #trivia :/msg AlQUIT x"};
        QTest::newRow("nul and ctcp quote") << QStringLiteral("a") + QChar(0) + QStringLiteral("b\x01VERSION\x01")
                                            << Lines{"PRIVMSG #trivia :abVERSION"};
        QTest::newRow("nothing") << QString() << Lines{};
    }
    void posts()
    {
        QFETCH(QString, text);
        QFETCH(Lines, wire);
        FakeServer server;
        IrcRoomLink link(server.settings(), nullptr, 100, 10);
        QVERIFY(bringIn(link, server));
        link.post(text);
        link.post(QStringLiteral("end"));
        QVERIFY(!server.waitFor("PRIVMSG #trivia :end").isNull());
        QCOMPARE(server.lines("PRIVMSG "), wire + Lines{"PRIVMSG #trivia :end"});
    }

    void longLineSplit_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("ascii") << QString(1000, QLatin1Char('a'));
        QTest::newRow("two-byte") << QString(700, QChar(0xE9));
        QTest::newRow("four-byte, odd start") << "x" + QString::fromUtf8(QByteArray("\xf0\x9f\x98\x80").repeated(300));
        QTest::newRow("mixed") << QString::fromUtf8(QByteArray("\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80").repeated(120));
    }
    void longLineSplit()
    {
        QFETCH(QString, text);
        // What others receive is ":nick!user@host " and our line, 512 bytes at most, with
        // a nick of 30, a user name of 10 and a host name of 63 characters.
        const int prefix = 1 + 30 + 1 + 10 + 1 + 63 + 1;
        const QByteArray channel = "#" + QByteArray(49, 'c');
        const QByteArray head = "PRIVMSG " + channel + " :";
        const Lines wire = buildPrivmsgLines(text, channel);
        QVERIFY(wire.size() > 1);
        QString joined;
        for (const QByteArray& line : wire) {
            QVERIFY(line.startsWith(head) && line.endsWith("\r\n"));
            QVERIFY(prefix + line.size() <= 512);
            // Each piece must be valid UTF-8 on its own.
            QStringDecoder utf8(QStringDecoder::Utf8);
            joined += utf8(line.mid(head.size()).chopped(2));
            QVERIFY(!utf8.hasError());
        }
        QCOMPARE(joined, text);
    }

    void postWrittenBeforeReturning()
    {
        FakeServer server;
        IrcRoomLink link(server.settings());
        QVERIFY(bringIn(link, server));
        link.post(QStringLiteral("Capital of France?"));
        // No event loop turn here: the line must already be on the wire, as the
        // game blocks the thread right after posting a start announcement.
        QVERIFY(server.client->waitForReadyRead(2000));
        server.read();
        QCOMPARE(server.received.constLast(), QByteArray("PRIVMSG #trivia :Capital of France?"));
    }

    void burstThenRate()
    {
        FakeServer server;
        IrcRoomLink link(server.settings(), nullptr, 3, 100);
        QVERIFY(bringIn(link, server));
        QElapsedTimer clock;
        clock.start();
        link.post(QStringLiteral("1\n2\n3\n4\n5\n6"));
        QCOMPARE(link.queuedLines(), 3);
        QTRY_COMPARE(server.lines("PRIVMSG").size(), 6);
        // Three lines at once, then one per 100 ms.
        QVERIFY(clock.elapsed() >= 295);
        QCOMPARE(server.lines("PRIVMSG"), (Lines{"PRIVMSG #trivia :1", "PRIVMSG #trivia :2", "PRIVMSG #trivia :3",
                                                 "PRIVMSG #trivia :4", "PRIVMSG #trivia :5", "PRIVMSG #trivia :6"}));
    }

    void serverDropsConnection()
    {
        FakeServer server;
        IrcRoomLink link(server.settings(), nullptr, 1, 10000);
        QSignalSpy joined(&link, &RoomLink::joined);
        QSignalSpy disconnected(&link, &IrcRoomLink::disconnected);
        link.post(QStringLiteral("before joining"));
        QVERIFY(bringIn(link, server));
        link.post(QStringLiteral("one\ntwo\nthree"));
        QCOMPARE(link.queuedLines(), 2);

        server.client->disconnectFromHost();
        QTRY_COMPARE(disconnected.size(), 1);
        QVERIFY(!link.isJoined());
        QCOMPARE(link.queuedLines(), 0);
        link.post(QStringLiteral("into the void"));

        // The next join opens a new connection and enters the room again.
        QVERIFY(bringIn(link, server));
        QCOMPARE(joined.size(), 2);
        link.post(QStringLiteral("back"));
        QCOMPARE(server.waitFor("PRIVMSG"), QByteArray("PRIVMSG #trivia :back"));
        // Nothing queued on the old connection leaks into the new one.
        QCOMPARE(server.lines("PRIVMSG").size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestIrcRoomLink)
#include "tst_ircroomlink.moc"
