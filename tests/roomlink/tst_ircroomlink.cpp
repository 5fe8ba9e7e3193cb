#include "roomlink/ircroomlink.h"

#include <QElapsedTimer>
#include <QSettings>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

// A loopback server that plays the IRC server's part line by line, for the
// cases a real server cannot be made to produce on demand.
class FakeServer : public QObject
{
public:
    explicit FakeServer(QTcpServer* listener = new QTcpServer) : server(listener)
    {
        server->setParent(this);
        server->listen(QHostAddress::LocalHost, 0);
        connect(server, &QTcpServer::pendingConnectionAvailable, this, [this] {
            while (QTcpSocket* socket = server->nextPendingConnection()) {
                ++connections;
                client = socket;
                received.clear();
                buffer.clear();
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { read(socket); });
            }
        });
    }

    quint16 port() const { return server->serverPort(); }

    void send(const QByteArray& line)
    {
        client->write(line + "\r\n");
        client->flush();
    }

    bool waitForClient(int count = 1)
    {
        return QTest::qWaitFor([&] { return connections >= count && client; }, 3000);
    }

    // Waits for a received line starting with head; returns it or a null array.
    QByteArray waitForLine(const QByteArray& head, int timeoutMs = 3000)
    {
        QByteArray found;
        (void)QTest::qWaitFor([&] {
            for (const QByteArray& line : std::as_const(received)) {
                if (line.startsWith(head)) {
                    found = line;
                    return true;
                }
            }
            return false;
        }, timeoutMs);
        return found;
    }

    QList<QByteArray> linesStartingWith(const QByteArray& head) const
    {
        QList<QByteArray> lines;
        for (const QByteArray& line : received) {
            if (line.startsWith(head))
                lines.append(line);
        }
        return lines;
    }

    void read(QTcpSocket* socket)
    {
        if (socket != client)
            return;
        buffer += socket->readAll();
        int newline;
        while ((newline = buffer.indexOf("\r\n")) >= 0) {
            received.append(buffer.left(newline));
            buffer.remove(0, newline + 2);
        }
    }

    QTcpServer* server;
    QPointer<QTcpSocket> client;
    QList<QByteArray> received;
    QByteArray buffer;
    int connections = 0;
};

static IrcRoomSettings settingsFor(quint16 port)
{
    IrcRoomSettings settings;
    settings.server = QStringLiteral("127.0.0.1");
    settings.port = port;
    return settings;
}

// Takes the link through registration and into the channel.
static bool bringIn(IrcRoomLink& link, FakeServer& server, const QByteArray& nick = "QuizNewt")
{
    const int before = server.connections;
    link.join();
    if (!server.waitForClient(before + 1) || server.waitForLine("USER ").isNull())
        return false;
    server.send(":irc.test 001 " + nick + " :Welcome");
    if (server.waitForLine("JOIN ").isNull())
        return false;
    server.send(":" + nick + "!quiznewt@localhost JOIN #trivia");
    return QTest::qWaitFor([&] { return link.isJoined(); }, 3000);
}

class TestIrcRoomLink : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void readsSettings();
    void settingsDefaults();
    void registersAndJoins();
    void sendsServerPassword();
    void answersPing();
    void takesAnotherNickWhenInUse();
    void captured_data();
    void captured();
    void linesSplitAcrossReads();
    void nestedEventLoopInHandler();
    void postsDroppedUntilJoined();
    void postWrittenBeforeReturning();
    void burstThenRate();
    void serverDropsConnection();
    void errorFromServer();
    void noServer();
    void rejoinsAfterKick();
    void joinWhileJoinedKeepsConnection();
    void leaveSendsQuit();
    void leaveWithoutRoom();
    void tls();
};

void TestIrcRoomLink::readsSettings()
{
    QTemporaryDir dir;
    QSettings settings(dir.filePath(QStringLiteral("s.conf")), QSettings::IniFormat);
    settings.setValue(QStringLiteral("Room/Server"), QStringLiteral("irc.example.org"));
    settings.setValue(QStringLiteral("Room/Port"), 6697);
    settings.setValue(QStringLiteral("Room/Tls"), true);
    settings.setValue(QStringLiteral("Room/Password"), QStringLiteral("pw"));
    settings.setValue(QStringLiteral("Room/Nick"), QStringLiteral("Quizzer"));
    settings.setValue(QStringLiteral("Room/Channel"), QStringLiteral("#quiz"));
    const IrcRoomSettings room = IrcRoomSettings::read(settings);
    QCOMPARE(room.server, QStringLiteral("irc.example.org"));
    QCOMPARE(room.port, quint16(6697));
    QVERIFY(room.tls);
    QCOMPARE(room.password, QByteArray("pw"));
    QCOMPARE(room.nick, QByteArray("Quizzer"));
    QCOMPARE(room.channel, QByteArray("#quiz"));
    // Reading does not write anything back.
    QCOMPARE(settings.allKeys().size(), 6);
}

void TestIrcRoomLink::settingsDefaults()
{
    QTemporaryDir dir;
    QSettings settings(dir.filePath(QStringLiteral("s.conf")), QSettings::IniFormat);
    IrcRoomSettings room = IrcRoomSettings::read(settings);
    QCOMPARE(room.server, QStringLiteral("127.0.0.1"));
    QCOMPARE(room.port, quint16(6667));
    QVERIFY(!room.tls);
    QVERIFY(room.password.isEmpty());
    QCOMPARE(room.nick, QByteArray("QuizNewt"));
    QCOMPARE(room.channel, QByteArray("#trivia"));
    QVERIFY(settings.allKeys().isEmpty());

    // Values that would break a protocol line are cleaned.
    settings.setValue(QStringLiteral("Room/Nick"), QStringLiteral("Quiz Newt\r\nQUIT"));
    settings.setValue(QStringLiteral("Room/Channel"), QStringLiteral("trivia\r\nQUIT"));
    settings.setValue(QStringLiteral("Room/Port"), 99999);
    room = IrcRoomSettings::read(settings);
    QCOMPARE(room.nick, QByteArray("QuizNewtQUIT"));
    QCOMPARE(room.channel, QByteArray("#triviaQUIT"));
    QCOMPARE(room.port, quint16(6667));
}

void TestIrcRoomLink::registersAndJoins()
{
    FakeServer server;
    IrcRoomLink link(settingsFor(server.port()));
    QSignalSpy joined(&link, &RoomLink::joined);
    link.join();
    QVERIFY(server.waitForClient());
    QVERIFY(!server.waitForLine("USER ").isNull());
    QCOMPARE(server.received.value(0), QByteArray("NICK QuizNewt"));
    QVERIFY(server.linesStartingWith("PASS").isEmpty());
    QVERIFY(!link.isJoined());

    server.send(":irc.test 001 QuizNewt :Welcome to the test network");
    QCOMPARE(server.waitForLine("JOIN "), QByteArray("JOIN #trivia"));
    QVERIFY(!link.isJoined());
    // Someone else joining is not our join.
    server.send(":Alice!a@h JOIN #trivia");
    server.send(":quiznewt!quiznewt@localhost JOIN :#Trivia");
    QTRY_COMPARE(joined.size(), 1);
    QVERIFY(link.isJoined());
}

void TestIrcRoomLink::sendsServerPassword()
{
    FakeServer server;
    IrcRoomSettings settings = settingsFor(server.port());
    settings.password = "open sesame";
    IrcRoomLink link(settings);
    link.join();
    QVERIFY(server.waitForClient());
    QVERIFY(!server.waitForLine("USER ").isNull());
    // PASS must come before NICK and USER.
    QCOMPARE(server.received.value(0), QByteArray("PASS :open sesame"));
    QCOMPARE(server.received.value(1), QByteArray("NICK QuizNewt"));
}

void TestIrcRoomLink::answersPing()
{
    FakeServer server;
    IrcRoomLink link(settingsFor(server.port()));
    link.join();
    QVERIFY(server.waitForClient());
    QVERIFY(!server.waitForLine("USER ").isNull());
    // Some servers check the client with a PING before welcoming it.
    server.send("PING :1234567");
    QCOMPARE(server.waitForLine("PONG"), QByteArray("PONG :1234567"));
    server.send(":irc.test 001 QuizNewt :Welcome");
    QVERIFY(!server.waitForLine("JOIN ").isNull());
    server.send(":QuizNewt!q@h JOIN #trivia");
    QTRY_VERIFY(link.isJoined());
    server.send(":irc.test PING irc.test");
    QTRY_COMPARE(server.linesStartingWith("PONG").size(), 2);
    QCOMPARE(server.linesStartingWith("PONG").at(1), QByteArray("PONG :irc.test"));
}

void TestIrcRoomLink::takesAnotherNickWhenInUse()
{
    FakeServer server;
    IrcRoomLink link(settingsFor(server.port()));
    link.join();
    QVERIFY(server.waitForClient());
    QVERIFY(!server.waitForLine("USER ").isNull());
    server.send(":irc.test 433 * QuizNewt :Nickname already in use");
    QCOMPARE(server.waitForLine("NICK QuizNewt_"), QByteArray("NICK QuizNewt_"));
    server.send(":irc.test 433 * QuizNewt_ :Nickname already in use");
    QTRY_COMPARE(server.linesStartingWith("NICK ").size(), 3);
    const QByteArray third = server.linesStartingWith("NICK ").at(2).mid(5);
    QVERIFY(third != "QuizNewt" && third != "QuizNewt_");
    QVERIFY(third.size() <= 9);

    server.send(":irc.test 001 " + third + " :Welcome");
    QVERIFY(!server.waitForLine("JOIN ").isNull());
    server.send(":" + third + "!q@h JOIN #trivia");
    QTRY_VERIFY(link.isJoined());
    QCOMPARE(link.currentNick(), third);
}

void TestIrcRoomLink::captured_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QStringList>("pieces");
    const QStringList none;

    QTest::newRow("channel message") << QByteArray(":Alice!a@h PRIVMSG #trivia :Paris")
        << QStringList{QStringLiteral("Alice: Paris"), QStringLiteral("\n")};
    QTest::newRow("channel name in other case") << QByteArray(":Alice!a@h PRIVMSG #TRIVIA :Paris")
        << QStringList{QStringLiteral("Alice: Paris"), QStringLiteral("\n")};
    QTest::newRow("colons kept in the text") << QByteArray(":Bob!b@h PRIVMSG #trivia :!userscore a:b")
        << QStringList{QStringLiteral("Bob: !userscore a:b"), QStringLiteral("\n")};
    QTest::newRow("utf-8") << QByteArray(":Chlo\xc3\xab!c@h PRIVMSG #trivia :Z\xc3\xbcrich")
        << QStringList{QStringLiteral(u"Chloë: Zürich"), QStringLiteral("\n")};
    QTest::newRow("latin-1") << QByteArray(":Dan!d@h PRIVMSG #trivia :Z\xfcrich")
        << QStringList{QStringLiteral(u"Dan: Zürich"), QStringLiteral("\n")};
    QTest::newRow("colour stripped") << QByteArray(":Eve!e@h PRIVMSG #trivia :\x03" "04,01Paris\x03")
        << QStringList{QStringLiteral("Eve: Paris"), QStringLiteral("\n")};
    QTest::newRow("bold stripped") << QByteArray(":Eve!e@h PRIVMSG #trivia :\x02Paris\x02")
        << QStringList{QStringLiteral("Eve: Paris"), QStringLiteral("\n")};
    QTest::newRow("private message") << QByteArray(":Alice!a@h PRIVMSG QuizNewt :!myscore") << none;
    QTest::newRow("notice to the channel") << QByteArray(":Alice!a@h NOTICE #trivia :Paris") << none;
    QTest::newRow("action") << QByteArray(":Alice!a@h PRIVMSG #trivia :\x01" "ACTION waves\x01") << none;
    QTest::newRow("ctcp version") << QByteArray(":Alice!a@h PRIVMSG QuizNewt :\x01VERSION\x01") << none;
    QTest::newRow("other channel") << QByteArray(":Alice!a@h PRIVMSG #other :Paris") << none;
    QTest::newRow("to channel operators only") << QByteArray(":Alice!a@h PRIVMSG @#trivia :Paris") << none;
    QTest::newRow("server notice") << QByteArray(":irc.test NOTICE QuizNewt :*** Looking up your hostname") << none;
    QTest::newRow("numeric") << QByteArray(":irc.test 332 QuizNewt #trivia :Topic") << none;
    QTest::newRow("join of another member") << QByteArray(":Alice!a@h JOIN #trivia") << none;
    QTest::newRow("own nick") << QByteArray(":QuizNewt!q@h PRIVMSG #trivia :(O) echo") << none;
}

void TestIrcRoomLink::captured()
{
    QFETCH(QByteArray, line);
    QFETCH(QStringList, pieces);

    FakeServer server;
    IrcRoomLink link(settingsFor(server.port()));
    QVERIFY(bringIn(link, server));
    QSignalSpy captured(&link, &RoomLink::textCaptured);
    server.send(line);
    // A marker line after it shows that the line under test was handled.
    server.send(":Zed!z@h PRIVMSG #trivia :end");
    QTRY_VERIFY(!captured.isEmpty() && captured.constLast().at(0) == QStringLiteral("\n")
                && captured.size() >= 2
                && captured.at(captured.size() - 2).at(0) == QStringLiteral("Zed: end"));
    QStringList got;
    for (const QList<QVariant>& args : std::as_const(captured))
        got.append(args.at(0).toString());
    got.resize(got.size() - 2);
    QCOMPARE(got, pieces);
}

void TestIrcRoomLink::linesSplitAcrossReads()
{
    FakeServer server;
    IrcRoomLink link(settingsFor(server.port()));
    QVERIFY(bringIn(link, server));
    QSignalSpy captured(&link, &RoomLink::textCaptured);

    // One read is never one message: parts of lines, then several at once.
    server.client->write(":Alice!a@h PRIVMSG #trivia :Pa");
    server.client->flush();
    QTest::qWait(20);
    QVERIFY(captured.isEmpty());
    server.client->write("ris\r\n:Bob!b@h PRIVMSG #trivia :Rome\n:Carl!c@h PRIVMSG #trivia :Z\xc3");
    server.client->flush();
    QTest::qWait(20);
    server.client->write("\xbcrich\r\n");
    server.client->flush();
    QTRY_COMPARE(captured.size(), 6);
    QCOMPARE(captured.at(0).at(0).toString(), QStringLiteral("Alice: Paris"));
    QCOMPARE(captured.at(1).at(0).toString(), QStringLiteral("\n"));
    QCOMPARE(captured.at(2).at(0).toString(), QStringLiteral("Bob: Rome"));
    QCOMPARE(captured.at(4).at(0).toString(), QStringLiteral(u"Carl: Zürich"));
    QCOMPARE(captured.at(5).at(0).toString(), QStringLiteral("\n"));
}

void TestIrcRoomLink::nestedEventLoopInHandler()
{
    FakeServer server;
    IrcRoomLink link(settingsFor(server.port()));
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

void TestIrcRoomLink::postsDroppedUntilJoined()
{
    FakeServer server;
    IrcRoomLink link(settingsFor(server.port()));
    link.post(QStringLiteral("before connecting"));
    link.join();
    QVERIFY(server.waitForClient());
    QVERIFY(!server.waitForLine("USER ").isNull());
    link.post(QStringLiteral("while registering"));
    server.send(":irc.test 001 QuizNewt :Welcome");
    QVERIFY(!server.waitForLine("JOIN ").isNull());
    link.post(QStringLiteral("before the join is confirmed"));
    server.send(":QuizNewt!q@h JOIN #trivia");
    QTRY_VERIFY(link.isJoined());
    link.post(QStringLiteral("joined"));
    QCOMPARE(server.waitForLine("PRIVMSG"), QByteArray("PRIVMSG #trivia :joined"));
    QCOMPARE(server.linesStartingWith("PRIVMSG").size(), 1);
}

void TestIrcRoomLink::postWrittenBeforeReturning()
{
    FakeServer server;
    IrcRoomLink link(settingsFor(server.port()));
    QVERIFY(bringIn(link, server));
    link.post(QStringLiteral("<b>Question 1:</b> Capital of France?"));
    // No event loop turn here: the line must already be on the wire, as the
    // game blocks the thread right after posting a start announcement.
    QVERIFY(server.client->waitForReadyRead(2000));
    server.read(server.client);
    QCOMPARE(server.received.constLast(), QByteArray("PRIVMSG #trivia :\x02Question 1:\x02 Capital of France?"));
}

void TestIrcRoomLink::burstThenRate()
{
    FakeServer server;
    IrcRoomLink link(settingsFor(server.port()), nullptr, 3, 100);
    QVERIFY(bringIn(link, server));
    QElapsedTimer clock;
    clock.start();
    link.post(QStringLiteral("1\n2\n3\n4\n5\n6"));
    QCOMPARE(link.queuedLines(), 3);
    QTRY_COMPARE(server.linesStartingWith("PRIVMSG").size(), 3);
    QTRY_COMPARE(server.linesStartingWith("PRIVMSG").size(), 6);
    // Three lines at once, then one per 100 ms.
    QVERIFY2(clock.elapsed() >= 295, QByteArray::number(clock.elapsed()).constData());
    QStringList order;
    for (const QByteArray& line : server.linesStartingWith("PRIVMSG"))
        order.append(QString::fromLatin1(line.mid(int(strlen("PRIVMSG #trivia :")))));
    QCOMPARE(order, (QStringList{"1", "2", "3", "4", "5", "6"}));
    QCOMPARE(link.queuedLines(), 0);
}

void TestIrcRoomLink::serverDropsConnection()
{
    FakeServer server;
    IrcRoomLink link(settingsFor(server.port()), nullptr, 1, 10000);
    QSignalSpy joined(&link, &RoomLink::joined);
    QSignalSpy disconnected(&link, &IrcRoomLink::disconnected);
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
    QCOMPARE(server.connections, 2);
    QCOMPARE(joined.size(), 2);
    link.post(QStringLiteral("back"));
    QCOMPARE(server.waitForLine("PRIVMSG"), QByteArray("PRIVMSG #trivia :back"));
    // Nothing queued on the old connection leaks into the new one.
    QCOMPARE(server.linesStartingWith("PRIVMSG").size(), 1);
}

void TestIrcRoomLink::errorFromServer()
{
    FakeServer server;
    IrcRoomLink link(settingsFor(server.port()));
    QSignalSpy disconnected(&link, &IrcRoomLink::disconnected);
    QVERIFY(bringIn(link, server));
    server.send("ERROR :Closing Link: QuizNewt (Excess Flood)");
    QTRY_COMPARE(disconnected.size(), 1);
    QVERIFY(!link.isJoined());
    QVERIFY(!link.isConnected());
}

void TestIrcRoomLink::noServer()
{
    quint16 closedPort;
    {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        closedPort = probe.serverPort();
    }
    IrcRoomLink link(settingsFor(closedPort));
    QSignalSpy joined(&link, &RoomLink::joined);
    QSignalSpy disconnected(&link, &IrcRoomLink::disconnected);
    link.join();
    QTRY_COMPARE(disconnected.size(), 1);
    QVERIFY(!link.isJoined());
    QVERIFY(joined.isEmpty());
    link.post(QStringLiteral("nobody hears this"));
    // A later join tries again rather than staying stuck.
    link.join();
    QTRY_COMPARE(disconnected.size(), 2);
}

void TestIrcRoomLink::rejoinsAfterKick()
{
    FakeServer server;
    IrcRoomLink link(settingsFor(server.port()));
    QSignalSpy joined(&link, &RoomLink::joined);
    QVERIFY(bringIn(link, server));
    server.send(":Op!o@h KICK #trivia QuizNewt :out");
    QTRY_VERIFY(!link.isJoined());
    link.post(QStringLiteral("dropped"));
    link.join();
    QTRY_COMPARE(server.linesStartingWith("JOIN ").size(), 2);
    QCOMPARE(server.connections, 1);
    server.send(":QuizNewt!q@h JOIN #trivia");
    QTRY_COMPARE(joined.size(), 2);
    QVERIFY(server.linesStartingWith("PRIVMSG").isEmpty());
}

void TestIrcRoomLink::joinWhileJoinedKeepsConnection()
{
    FakeServer server;
    IrcRoomLink link(settingsFor(server.port()));
    QSignalSpy joined(&link, &RoomLink::joined);
    QVERIFY(bringIn(link, server));
    link.join();
    link.post(QStringLiteral("still here"));
    QCOMPARE(server.waitForLine("PRIVMSG"), QByteArray("PRIVMSG #trivia :still here"));
    QCOMPARE(server.connections, 1);
    QCOMPARE(server.linesStartingWith("JOIN ").size(), 1);
    QCOMPARE(joined.size(), 1);
}

void TestIrcRoomLink::leaveSendsQuit()
{
    FakeServer server;
    IrcRoomLink link(settingsFor(server.port()), nullptr, 1, 10000);
    QVERIFY(bringIn(link, server));
    link.post(QStringLiteral("last words\nqueued words"));
    link.leave();
    QVERIFY(!link.isJoined());
    QVERIFY(!link.isConnected());
    QTRY_VERIFY(!server.waitForLine("QUIT").isNull());
    // What was still queued went out before the QUIT.
    const qsizetype quit = server.received.indexOf(server.waitForLine("QUIT"));
    QCOMPARE(server.received.at(quit - 1), QByteArray("PRIVMSG #trivia :queued words"));
    link.post(QStringLiteral("after leaving"));
    link.leave();
    QCOMPARE(server.linesStartingWith("PRIVMSG").size(), 2);
}

void TestIrcRoomLink::leaveWithoutRoom()
{
    IrcRoomLink neverJoined(settingsFor(1));
    neverJoined.leave();
    QVERIFY(!neverJoined.isJoined());

    // Leaving while the connection is still being made abandons it.
    FakeServer server;
    IrcRoomLink connecting(settingsFor(server.port()));
    connecting.join();
    connecting.leave();
    QVERIFY(!connecting.isConnected());
    connecting.join();
    QVERIFY(server.waitForClient());
    QVERIFY(!server.waitForLine("NICK").isNull());
}

void TestIrcRoomLink::tls()
{
    if (!QSslSocket::supportsSsl())
        QSKIP("no TLS backend");
    const QString data = QStringLiteral(ROOMLINK_TEST_DATA);
    QFile certFile(data + QStringLiteral("/localhost.crt"));
    QFile keyFile(data + QStringLiteral("/localhost.key"));
    QVERIFY(certFile.open(QIODevice::ReadOnly) && keyFile.open(QIODevice::ReadOnly));
    const QSslCertificate cert(&certFile, QSsl::Pem);
    const QSslKey key(&keyFile, QSsl::Rsa, QSsl::Pem);
    QVERIFY(!cert.isNull() && !key.isNull());

    auto* listener = new QSslServer;
    QSslConfiguration serverConfig = QSslConfiguration::defaultConfiguration();
    serverConfig.setLocalCertificate(cert);
    serverConfig.setPrivateKey(key);
    listener->setSslConfiguration(serverConfig);
    FakeServer server(listener);

    // The link verifies the server; trust the test certificate as a CA.
    const QSslConfiguration saved = QSslConfiguration::defaultConfiguration();
    QSslConfiguration trusting = saved;
    trusting.addCaCertificate(cert);
    QSslConfiguration::setDefaultConfiguration(trusting);
    auto restore = qScopeGuard([&] { QSslConfiguration::setDefaultConfiguration(saved); });

    IrcRoomSettings settings = settingsFor(server.port());
    settings.tls = true;
    IrcRoomLink link(settings);
    QVERIFY(bringIn(link, server));
    QVERIFY(qobject_cast<QSslSocket*>(server.client.data())->isEncrypted());
    link.post(QStringLiteral("over TLS"));
    QCOMPARE(server.waitForLine("PRIVMSG"), QByteArray("PRIVMSG #trivia :over TLS"));

    // An untrusted certificate is refused: no room, nothing visible.
    QSslConfiguration::setDefaultConfiguration(saved);
    IrcRoomLink untrusting(settings);
    QSignalSpy disconnected(&untrusting, &IrcRoomLink::disconnected);
    untrusting.join();
    QTRY_COMPARE(disconnected.size(), 1);
    QVERIFY(!untrusting.isJoined());
}

QTEST_GUILESS_MAIN(TestIrcRoomLink)
#include "tst_ircroomlink.moc"
