#include "roomlink/ircmessage.h"

#include <QtTest>

using Params = QList<QByteArray>;

class TestIrcMessage : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void parse_data();
    void parse();
    void nick_data();
    void nick();
    void decode_data();
    void decode();
    void strip_data();
    void strip();
    void lowerCase();
};

void TestIrcMessage::parse_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("prefix");
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<Params>("params");

    QTest::newRow("channel message") << QByteArray(":Alice!a@host PRIVMSG #trivia :Paris")
        << QByteArray("Alice!a@host") << QByteArray("PRIVMSG") << Params{"#trivia", "Paris"};
    QTest::newRow("trailing with blanks and colons") << QByteArray(":Bob!b@h PRIVMSG #t :a: b :c")
        << QByteArray("Bob!b@h") << QByteArray("PRIVMSG") << Params{"#t", "a: b :c"};
    QTest::newRow("no prefix") << QByteArray("PING :irc.example.org")
        << QByteArray() << QByteArray("PING") << Params{"irc.example.org"};
    QTest::newRow("numeric reply") << QByteArray(":irc.test 433 * QuizNewt :Nickname already in use")
        << QByteArray("irc.test") << QByteArray("433")
        << Params{"*", "QuizNewt", "Nickname already in use"};
    QTest::newRow("command in lower case") << QByteArray("ping token")
        << QByteArray() << QByteArray("PING") << Params{"token"};
    QTest::newRow("message tags skipped") << QByteArray("@time=2024-01-01T00:00:00Z;id=1 :A!a@h PRIVMSG #t :hi")
        << QByteArray("A!a@h") << QByteArray("PRIVMSG") << Params{"#t", "hi"};
    QTest::newRow("repeated blanks") << QByteArray(":s  JOIN   #trivia  ")
        << QByteArray("s") << QByteArray("JOIN") << Params{"#trivia"};
    QTest::newRow("empty trailing") << QByteArray(":A!a@h PRIVMSG #t :")
        << QByteArray("A!a@h") << QByteArray("PRIVMSG") << Params{"#t", ""};
    QTest::newRow("no params") << QByteArray("QUIT")
        << QByteArray() << QByteArray("QUIT") << Params{};
    QTest::newRow("empty line") << QByteArray() << QByteArray() << QByteArray() << Params{};
    QTest::newRow("prefix only") << QByteArray(":server") << QByteArray("server") << QByteArray() << Params{};
    QTest::newRow("bytes kept as sent") << QByteArray(":A!a@h PRIVMSG #t :\xc3\xa9t\xe9")
        << QByteArray("A!a@h") << QByteArray("PRIVMSG") << Params{"#t", "\xc3\xa9t\xe9"};
}

void TestIrcMessage::parse()
{
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, prefix);
    QFETCH(QByteArray, command);
    QFETCH(Params, params);

    const IrcMessage message = IrcMessage::parse(line);
    QCOMPARE(message.prefix, prefix);
    QCOMPARE(message.command, command);
    QCOMPARE(message.params, params);
    QCOMPARE(message.isValid(), !command.isEmpty());
}

void TestIrcMessage::nick_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("nick");
    QTest::newRow("full prefix") << QByteArray(":Alice!alice@host.example PRIVMSG #t :x") << QByteArray("Alice");
    QTest::newRow("nick@host") << QByteArray(":Alice@host PRIVMSG #t :x") << QByteArray("Alice");
    QTest::newRow("server") << QByteArray(":irc.example.org NOTICE * :x") << QByteArray("irc.example.org");
    QTest::newRow("no prefix") << QByteArray("PING :x") << QByteArray();
}

void TestIrcMessage::nick()
{
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, nick);
    QCOMPARE(IrcMessage::parse(line).nick(), nick);
}

void TestIrcMessage::decode_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("ascii") << QByteArray("Paris") << QStringLiteral("Paris");
    QTest::newRow("utf-8") << QByteArray("Z\xc3\xbcrich") << QStringLiteral(u"Zürich");
    QTest::newRow("utf-8 four bytes") << QByteArray("ok \xf0\x9f\x98\x80") << QStringLiteral(u"ok 😀");
    QTest::newRow("latin-1") << QByteArray("Z\xfcrich") << QStringLiteral(u"Zürich");
    QTest::newRow("latin-1 that starts like utf-8") << QByteArray("\xc3 la carte")
                                                    << QStringLiteral(u"Ã la carte");
    QTest::newRow("utf-8 cut short is latin-1") << QByteArray("caf\xc3") << QStringLiteral(u"cafÃ");
    QTest::newRow("overlong encoding is latin-1") << QByteArray("\xc0\xaf") << QStringLiteral(u"À¯");
}

void TestIrcMessage::decode()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(decodeIrcText(bytes), text);
}

void TestIrcMessage::strip_data()
{
    QTest::addColumn<QString>("raw");
    QTest::addColumn<QString>("plain");
    auto row = [](const char* name, const char* raw, const char* plain) {
        QTest::newRow(name) << QString::fromUtf8(raw) << QString::fromUtf8(plain);
    };
    row("plain text", "Paris", "Paris");
    row("bold", "\x02Paris\x02", "Paris");
    row("colour one digit", "\x03" "4Paris", "Paris");
    row("colour two digits", "\x03" "04Paris\x03", "Paris");
    row("colour with background", "\x03" "4,12Paris", "Paris");
    row("colour keeps third digit", "\x03" "123", "3");
    row("colour answer is a number", "\x03" "0442", "42");
    row("comma without background digit stays", "\x03" "4,Paris", ",Paris");
    row("bare colour", "\x03Paris", "Paris");
    row("bare colour then comma", "\x03,5x", ",5x");
    row("hex colour", "\x04" "ff0000Paris", "Paris");
    row("hex colour with background", "\x04" "FF0000,00ff00Paris", "Paris");
    row("short hex colour keeps text", "\x04" "ffParis", "ffParis");
    row("all single codes", "\x02P\x0F" "a\x11r\x16i\x1Ds\x1E\x1F", "Paris");
    row("underline in the middle", "Pa\x1Fri\x1Fs", "Paris");
    row("colour at the end", "Paris\x03", "Paris");
    row("non-ascii kept", "\x03" "3Z\xc3\xbcrich", "Z\xc3\xbcrich");
}

void TestIrcMessage::strip()
{
    QFETCH(QString, raw);
    QFETCH(QString, plain);
    QCOMPARE(stripIrcFormatting(raw), plain);
}

void TestIrcMessage::lowerCase()
{
    QCOMPARE(ircLower("QuizNewt[1]\\~"), QByteArray("quiznewt{1}|^"));
    QCOMPARE(ircLower("#Trivia"), QByteArray("#trivia"));
}

QTEST_GUILESS_MAIN(TestIrcMessage)
#include "tst_ircmessage.moc"
