#include "roomlink/ircroomlink.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <memory>

using Lines = QList<QByteArray>;

// The link registering and joining, as the server sees it.
#define REGISTERED "C * connect | C NICK QuizNewt | C USER quiznewt 0 * :QuizNewt trivia" \
    " | S :irc.test 001 QuizNewt :Hi | C JOIN #trivia"
#define IN REGISTERED " | S :QuizNewt!q@h JOIN #trivia | > until joined"
// The same with a SASL login, up to the server's verdict.
#define REGISTERING "> join | C * connect | C CAP LS 302 | C NICK QuizNewt | C USER quiznewt 0 * :QuizNewt trivia"
#define SASL "= sasl quiz secret | " REGISTERING " | S :irc.test CAP * LS * :multi-prefix" \
    " | S :irc.test CAP * LS :sasl=EXTERNAL,PLAIN | C CAP REQ :sasl | S :irc.test CAP * ACK :sasl" \
    " | C AUTHENTICATE PLAIN | S AUTHENTICATE + | C AUTHENTICATE cXVpegBxdWl6AHNlY3JldA=="

// A loopback server playing the IRC server's part for one link, for the cases a real server cannot be
// made to produce on demand. Driven by steps split by " | ": "S LINE" the server sends ("S+ BYTES"
// without CR LF), "C LINE" the next line it must receive ("* connect" a new connection, "* closed" the
// link closing one), "= password|sasl|base ..." settings, "> join|leave|close|stop|listen|wait|modal",
// "> until EVENT", "> post TEXT", "> reply|room NAME TEXT". Logged as events: stateChanged, joined,
// lost, room text ("\n" as "\\n") and onSent, only if its line is already on the wire.
struct Room
{
    QPointer<QTcpSocket> client;
    QByteArray buffer;
    Lines received;
    int seen = 0;
    qsizetype untilFrom = 0;
    bool modal = false;
    QStringList events;
    QString failure;
    IrcRoomSettings settings;
    int baseMs = 20;
    QTcpServer server; // after what its sockets report into
    std::unique_ptr<IrcRoomLink> link;

    bool expect(const QByteArray& line)
    {
        if (!QTest::qWaitFor([&] { return received.size() > seen; }, 10000))
            failure = "nothing received, wanted " + line;
        else if (received.at(seen++) != line)
            failure = "received " + received.at(seen - 1) + ", wanted " + line;
        return failure.isEmpty();
    }
    void step(const QByteArray& step)
    {
        const QByteArray word = step.split(' ').value(1);
        const QString arg = QString::fromUtf8(step.mid(word.size() + 3));
        if (step.startsWith("= password "))
            settings.password = step.mid(11);
        else if (step.startsWith("= sasl "))
            settings.saslUser = step.split(' ').at(2), settings.saslPassword = step.split(' ').at(3);
        else if (step.startsWith("= base "))
            baseMs = arg.toInt();
        if (!step.startsWith('=') && !link)
            watch();
        if (step.startsWith("C "))
            expect(step.mid(2));
        else if (step.startsWith("S"))
            client->write(step.mid(step.indexOf(' ') + 1) + (step.startsWith("S+") ? "" : "\r\n"));
        else if (word == "join")
            link->join();
        else if (word == "leave")
            link->leave();
        else if (word == "modal")
            modal = true;
        else if (word == "post")
            link->post(arg, [this, arg] { sentEvent(arg); });
        else if (word == "reply" || word == "room")
            link->postReply(arg.section(' ', 0, 0), arg.section(' ', 1), word == "room");
        else if (word == "until" && !QTest::qWaitFor([&] { return events.indexOf(arg, untilFrom) >= 0; }, 10000))
            failure = "no event " + arg;
        else if (word == "until")
            untilFrom = events.indexOf(arg, untilFrom) + 1;
        else if (word == "wait")
            QTest::qWait(200);
        else if ((word == "close" || word == "stop") && client)
            std::exchange(client, nullptr)->disconnectFromHost();
        if (word == "stop")
            server.close();
        else if (word == "listen")
            server.listen(QHostAddress::LocalHost, settings.port);
        if (word == "wait" && seen < received.size())
            expect("(nothing)");
        if (client)
            client->flush();
    }
    void watch()
    {
        link = std::make_unique<IrcRoomLink>(settings);
        link->setReconnectBaseMs(baseMs);
        const QString connecting = "Connecting to 127.0.0.1:" + QString::number(settings.port) + "...";
        QObject::connect(link.get(), &RoomLink::stateChanged, link.get(), [this, connecting](const QString& text) {
            // Past four seconds the jitter shows in the whole seconds.
            const bool jittered = baseMs > 4000 && text.startsWith("Reconnecting in");
            events.append(text == connecting ? "connecting" : text == "In #trivia on 127.0.0.1" ? "in"
                          : jittered ? "Reconnecting" : text);
        });
        QObject::connect(link.get(), &RoomLink::joined, link.get(), [this] { events.append("joined"); });
        QObject::connect(link.get(), &RoomLink::lost, link.get(), [this] { events.append("lost"); });
        QObject::connect(link.get(), &RoomLink::textCaptured, link.get(), [this](const QString& piece) {
            events.append(piece == "\n" ? "\\n" : piece);
            // A slot that opens a modal loop while more room text arrives.
            if (std::exchange(modal, false)) {
                client->write(":Bob!b@h PRIVMSG #trivia :three\r\n");
                QTest::qWait(100);
            }
        });
    }
    bool run(const QByteArray& script)
    {
        server.listen(QHostAddress::LocalHost, 0);
        settings.port = server.serverPort();
        QObject::connect(&server, &QTcpServer::pendingConnectionAvailable, &server, [this] {
            QTcpSocket* socket = client = server.nextPendingConnection();
            received.append("* connect");
            buffer.clear();
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                buffer += socket->readAll();
                for (int end; socket == client && (end = buffer.indexOf("\r\n")) >= 0; buffer.remove(0, end + 2))
                    received.append(buffer.left(end));
            });
            QObject::connect(socket, &QTcpSocket::disconnected, socket, [this, socket] {
                if (socket == client)
                    received.append("* closed");
            });
        });
        for (qsizetype from = 0, to; from <= script.size() && failure.isEmpty(); from = to + 3) {
            to = script.indexOf(" | ", from) < 0 ? script.size() : script.indexOf(" | ", from);
            step(script.mid(from, to - from));
        }
        QTest::qWait(100);
        return (seen == received.size() || expect("(nothing)")) && failure.isEmpty();
    }
    void sentEvent(const QString& text)
    {
        // On the wire before any event loop turn: the game may block the thread right after a post.
        const bool onWire = client && client->waitForReadyRead(5000);
        events.append((onWire ? "sent " : "sent, not on the wire: ") + text);
    }
};

class TestIrcRoomLink : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void parse_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QByteArray>("fields"); // "nick COMMAND param|param"
        auto row = [](const char* name, const char* line, const char* fields) {
            QTest::newRow(name) << QByteArray(line) << QByteArray(fields);
        };
        row("user prefix", ":Al!a@h PRIVMSG #trivia :Paris it is", "Al PRIVMSG #trivia|Paris it is");
        row("colons kept in the text", ":B!b@h PRIVMSG #t :!score a:b :c", "B PRIVMSG #t|!score a:b :c");
        row("message tags", "@time=2024-01-01T00:00:00Z;id=1 :Bob!b@h JOIN #t", "Bob JOIN #t");
        row("server prefix, numeric", ":irc.test 001 QuizNewt :Hi", "irc.test 001 QuizNewt|Hi");
        row("no prefix, lower case", "ping :x y", " PING x y");
        row("extra blanks, empty trailing", ":s  CAP  *  LS  :", "s CAP *|LS|");
        row("nothing", "", "  ");
    }
    void parse()
    {
        QFETCH(QByteArray, line);
        const IrcMessage message = IrcMessage::parse(line);
        QTEST(message.nick() + ' ' + message.command + ' ' + message.params.join('|'), "fields");
    }

    void reconnectWait_data()
    {
        QTest::addColumn<int>("attempt");
        QTest::addColumn<double>("jitter");
        QTest::addColumn<qint64>("ms");
        QTest::newRow("first") << 0 << 0.0 << qint64(2000);
        QTest::newRow("doubles") << 3 << 0.0 << qint64(16000);
        QTest::newRow("at most five minutes") << 8 << 0.0 << qint64(300000);
        QTest::newRow("no overflow") << 100000 << 0.0 << qint64(300000);
        QTest::newRow("jitter takes off up to a fifth") << 1 << 0.5 << qint64(3600);
    }
    void reconnectWait()
    {
        QFETCH(int, attempt);
        QFETCH(double, jitter);
        QTEST(reconnectDelayMs(attempt, IrcRoomLink::defaultReconnectBaseMs, jitter), "ms");
    }

    void saslPlain_data()
    {
        // "quiz\0quiz\0" and a password of 290 bytes are 400 in base64, one piece exactly.
        QTest::addColumn<int>("password");
        QTest::addColumn<QByteArray>("pieces");
        QTest::newRow("short") << 6 << QByteArray("24");
        QTest::newRow("exactly one piece: + ends it") << 290 << QByteArray("400 +");
        QTest::newRow("just over one piece") << 291 << QByteArray("400 4");
        QTest::newRow("two pieces: + ends it") << 590 << QByteArray("400 400 +");
    }
    void saslPlain()
    {
        QFETCH(int, password);
        QByteArray encoded;
        Lines pieces;
        for (const QByteArray& line : saslPlainLines("quiz", QByteArray(password, 'p'))) {
            QVERIFY(line.startsWith("AUTHENTICATE "));
            pieces.append(line == "AUTHENTICATE +" ? "+" : QByteArray::number(line.size() - 13));
            encoded += line == "AUTHENTICATE +" ? QByteArray() : line.mid(13);
        }
        QTEST(pieces.join(' '), "pieces");
        QCOMPARE(QByteArray::fromBase64(encoded), QByteArray("quiz\0quiz\0", 10) + QByteArray(password, 'p'));
    }

    void dialogue_data()
    {
        QTest::addColumn<QByteArray>("script");
        QTest::addColumn<QString>("events");
        auto row = [](const char* name, const char* script, const char* events) {
            QTest::newRow(name) << QByteArray(script) << QString(events);
        };
        row("registration", "= password open sesame | > join | C * connect | C PASS :open sesame | C NICK QuizNewt"
            " | C USER quiznewt 0 * :QuizNewt trivia | S PING :1234567 | C PONG :1234567"
            " | S :irc.test 433 * QuizNewt :Nickname already in use | C NICK QuizNewt_ | S :irc.test 001 QuizNewt_ :Hi"
            " | C JOIN #trivia | S :Alice!a@h JOIN #trivia | S PING :x | C PONG :x | > post too early"
            " | S :quiznewt_!q@h JOIN :#Trivia", "connecting | in | joined");
        row("room text: channel lines only, plain, decoded, a read cut anywhere", "> join | " IN
            " | S+ :Chlo\xc3\xab!c@h PRIVMSG #trivia :Z\xc3 | > wait | S \xbcrich"
            " | S :Al!a@h PRIVMSG #TRIVIA :Z\xfcrich | S :Al!a@h PRIVMSG #trivia :\xc3 la carte"
            " | S :Al!a@h PRIVMSG #trivia :\x03" "04,01Paris\x03 \x03" "0442 \x03" "4,x \x02" "b\x1Fu\x0F \x04"
            "FF0000,00FF00red | S :Al!a@h PRIVMSG QuizNewt :!myscore | S :Al!a@h NOTICE #trivia :Paris"
            " | S :Al!a@h PRIVMSG #other :Paris | S :Al!a@h PRIVMSG @#trivia :ops"
            " | S :Al!a@h PRIVMSG #trivia :\x01" "ACTION waves\x01 | S :QuizNewt!q@h PRIVMSG #trivia :echo"
            " | S+ :Zed!z@h PRIVMSG #trivia :end\n | > until Zed: end",
            "connecting | in | joined | Chlo\xc3\xab: Z\xc3\xbcrich | \\n | Al: Z\xc3\xbcrich | \\n"
            " | Al: \xc3\x83 la carte | \\n | Al: Paris 42 ,x bu red | \\n | Zed: end | \\n");
        row("a modal loop in a slot: lines keep their order", "> join | " IN " | > modal"
            " | S :Al!a@h PRIVMSG #trivia :one\r\n:Al!a@h PRIVMSG #trivia :two | > until Bob: three",
            "connecting | in | joined | Al: one | \\n | Al: two | \\n | Bob: three | \\n");
        row("posts as they stand, replies only to a plain nick", "> join | " IN
            " | > post /msg NickServ identify x | C PRIVMSG #trivia :/msg NickServ identify x"
            " | > reply Al <b>12</b> pts | C PRIVMSG Al :\x02" "12\x02 pts | > reply [Bob]_ hi | C PRIVMSG [Bob]_ :hi"
            " | > reply Chlo\xc3\xab hi | C PRIVMSG Chlo\xc3\xab :hi | > room bob Top:\n1. bob"
            " | C PRIVMSG #trivia :Top: | C PRIVMSG #trivia :1. bob | > reply #other hi | > reply &local hi"
            " | > reply a,b hi | > reply Al\rQUIT hi | > reply Al\nQUIT hi | > reply $*.org hi | > reply @#trivia hi"
            " | > reply n!u@h hi | > reply :x hi | > reply * hi | > post end | C PRIVMSG #trivia :end",
            "connecting | in | joined | sent /msg NickServ identify x | sent end");
        // Replies leave the game two of the burst's lines.
        row("a game text goes ahead of waiting replies", "> join | " IN " | > room Al 1\n2\n3\n4 | > post Q"
            " | C PRIVMSG #trivia :1 | C PRIVMSG #trivia :2 | C PRIVMSG #trivia :3 | C PRIVMSG #trivia :Q"
            " | C PRIVMSG #trivia :4", "connecting | in | joined | sent Q");
        // The server goes away and comes back on its port: refused meanwhile, as
        // the waits (0.8 to 1 s, then 1.6 to 2 s) leave it the time to.
        row("server restarted: back alone, nothing queued carries over", "= base 1000 | > join | " IN
            " | > post 1\n2\n3\n4\n5\n6 | C PRIVMSG #trivia :1 | C PRIVMSG #trivia :2 | C PRIVMSG #trivia :3"
            " | C PRIVMSG #trivia :4 | C PRIVMSG #trivia :5 | > stop | > until Connection refused | > post lost"
            " | > listen | " IN " | > post back | C PRIVMSG #trivia :back", "connecting | in | joined"
            " | Server closed the connection | lost | Reconnecting in 1 s | connecting | Connection refused"
            " | Reconnecting in 2 s | connecting | in | joined | sent back");
        row("ERROR line: back alone", "> join | " IN " | S ERROR :Closing Link: x (Excess \x02" "Flood)"
            " | C * closed | " IN, "connecting | in | joined"
            " | Server closed the connection: Closing Link: x (Excess Flood) | lost | Reconnecting in 1 s | connecting"
            " | in | joined");
        row("kicked: out until join()", "> join | " IN " | S :Op!o@h KICK #trivia QuizNewt :no bots | > until lost"
            " | > post unheard | > wait | > join | C JOIN #trivia | S :QuizNewt!q@h JOIN #trivia",
            "connecting | in | joined | Kicked by Op: no bots | lost | in | joined");
        row("banned on coming back: stays out", "> join | " IN " | > close | " REGISTERED
            " | S :irc.test 474 QuizNewt #trivia :Cannot join channel (+b) | > wait",
            "connecting | in | joined | Server closed the connection | lost | Reconnecting in 1 s | connecting"
            " | Banned from #trivia");
        row("refused before the first join: no retry", "> stop | > join | > wait", "connecting | Connection refused");
        row("leave while waiting to reconnect", "= base 4000 | > join | " IN " | > close | > until lost | > leave"
            " | > wait", "connecting | in | joined | Server closed the connection | lost | Reconnecting in 4 s"
            " | Not connected");
        // The wait is far longer than a line may take to come.
        row("join while waiting to reconnect: at once", "= base 60000 | > join | " IN " | > close | > until lost"
            " | > join | " IN, "connecting | in | joined | Server closed the connection | lost | Reconnecting"
            " | connecting | in | joined");
        row("sasl login", SASL " | S :irc.test 900 QuizNewt QuizNewt!q@h quiz :You are now logged in as quiz"
            " | S :irc.test 903 QuizNewt :SASL authentication successful | C CAP END | S :irc.test 001 QuizNewt :Hi"
            " | C JOIN #trivia | S :QuizNewt!q@h JOIN #trivia", "connecting | in | joined");
        row("sasl refused: quits, no retry", SASL " | S :irc.test 904 QuizNewt :SASL authentication failed"
            " | C QUIT | C * closed | > wait", "connecting | SASL login refused");
        row("sasl not offered", "= sasl quiz secret | " REGISTERING " | S :irc.test CAP * LS :multi-prefix"
            " | C QUIT | C * closed", "connecting | SASL not offered by the server");
        row("sasl, server without CAP", "= sasl quiz secret | " REGISTERING " | S :irc.test 421 * CAP :Unknown"
            " | S :irc.test 001 QuizNewt :Hi | C QUIT | C * closed", "connecting | SASL not offered by the server");
    }
    void dialogue()
    {
        QFETCH(QByteArray, script);
        Room room;
        QVERIFY2(room.run(script), qPrintable(room.failure + "; events: " + room.events.join(" | ")));
        QTEST(room.events.join(" | "), "events");
    }
};

QTEST_GUILESS_MAIN(TestIrcRoomLink)
#include "tst_ircroomlink.moc"
