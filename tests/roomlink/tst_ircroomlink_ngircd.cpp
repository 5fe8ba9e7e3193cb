#include "app/messagebox.h"
#include "app/quiznewt.h"
#include "tests/common/ircclient.h"
#include "tests/common/ngircdserver.h"
#include "tests/common/testdatabase.h"
#include "roomlink/ircroomlink.h"

#include <QPushButton>
#include <QSettings>
#include <QtTest>

// The room link against a real IRC server (ngircd), with a scripted member.
class TestIrcRoomLinkNgircd : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void connectGreetsThroughTheWindow();
    void roomLineReachesTextCaptured();
    void longPostArrivesCompleteAndInOrder();
    void longLineArrivesInPieces();
    void privateReply();
    void serverPassword();

private:
    static IrcRoomSettings settingsFor(const NgircdServer& server);
    static QStringList texts(const QStringList& lines, const QString& speaker);
};

void TestIrcRoomLinkNgircd::init()
{
    if (QStandardPaths::findExecutable(QStringLiteral("ngircd")).isEmpty()
        && QStandardPaths::findExecutable(QStringLiteral("ngircd"), {QStringLiteral("/usr/sbin")}).isEmpty())
        QSKIP("ngircd is not installed");
}

IrcRoomSettings TestIrcRoomLinkNgircd::settingsFor(const NgircdServer& server)
{
    IrcRoomSettings settings;
    settings.server = server.host();
    settings.port = server.port();
    return settings;
}

QStringList TestIrcRoomLinkNgircd::texts(const QStringList& lines, const QString& speaker)
{
    QStringList result;
    const QString head = speaker + QStringLiteral(": ");
    for (const QString& line : lines) {
        if (line.startsWith(head))
            result.append(line.mid(head.size()));
    }
    return result;
}

void TestIrcRoomLinkNgircd::connectGreetsThroughTheWindow()
{
    NgircdServer server;
    QVERIFY2(server.isRunning(), qPrintable(server.error()));
    isolateSettings();
    MessageBox::setTestMode(true);
    TestDatabase db;
    QVERIFY2(db.isValid(), qPrintable(db.error()));
    db.makeInstallDir();
    {
        QSettings settings(QStringLiteral("NewtLiberty"), QStringLiteral("QuizNewt"));
        settings.setValue(QStringLiteral("Room/Server"), server.host());
        settings.setValue(QStringLiteral("Room/Port"), server.port());
        settings.setValue(QStringLiteral("Room/Channel"), QStringLiteral("#quiz"));
    }

    IrcClient alice;
    QVERIFY(alice.connectAndJoin(server.port(), "Alice", "#quiz"));

    QuizNewt window;
    window.pbConnect->click();
    QVERIFY2(alice.waitForChannelLines(1, 10000), qPrintable(MessageBox::takeShown().value(0).text));
    QCOMPARE(alice.channelLines(), QStringList{QStringLiteral("QuizNewt: (O) QuizNewt Connected (O)")});
    QCOMPARE(alice.joins(), QStringList{QStringLiteral("QuizNewt")});

    // Connect again while in the room greets again on the same connection.
    window.pbConnect->click();
    QVERIFY(alice.waitForChannelLines(2));
    QCOMPARE(alice.channelLines().at(1), QStringLiteral("QuizNewt: (O) QuizNewt Connected (O)"));
    QCOMPARE(alice.joins().size(), 1);
    const QList<MessageBox::Shown> shown = MessageBox::takeShown();
    QVERIFY2(shown.isEmpty(), qPrintable(shown.value(0).title + QStringLiteral(": ") + shown.value(0).text));
}

void TestIrcRoomLinkNgircd::roomLineReachesTextCaptured()
{
    NgircdServer server;
    QVERIFY2(server.isRunning(), qPrintable(server.error()));
    IrcClient alice;
    QVERIFY(alice.connectAndJoin(server.port(), "Alice", "#trivia"));
    IrcRoomLink link(settingsFor(server));
    QSignalSpy captured(&link, &RoomLink::textCaptured);
    link.join();
    QVERIFY(alice.waitForJoin(QStringLiteral("QuizNewt")));
    QTRY_VERIFY(link.isJoined());

    alice.say(QStringLiteral("\x03" "04Paris\x03"));
    alice.sayTo("QuizNewt", QStringLiteral("a private word"));
    alice.say(QStringLiteral(u"Zürich"));
    QTRY_COMPARE(captured.size(), 4);
    QCOMPARE(captured.at(0).at(0).toString(), QStringLiteral("Alice: Paris"));
    QCOMPARE(captured.at(1).at(0).toString(), QStringLiteral("\n"));
    QCOMPARE(captured.at(2).at(0).toString(), QStringLiteral(u"Alice: Zürich"));
    QCOMPARE(captured.at(3).at(0).toString(), QStringLiteral("\n"));
}

void TestIrcRoomLinkNgircd::longPostArrivesCompleteAndInOrder()
{
    NgircdServer server;
    QVERIFY2(server.isRunning(), qPrintable(server.error()));
    IrcClient alice;
    QVERIFY(alice.connectAndJoin(server.port(), "Alice", "#trivia"));
    // The real burst, a quicker rate to keep the test short.
    IrcRoomLink link(settingsFor(server), nullptr, SendQueue::defaultBurst, 100);
    QSignalSpy disconnected(&link, &IrcRoomLink::disconnected);
    link.join();
    QTRY_VERIFY(link.isJoined());

    QStringList expected;
    for (int i = 1; i <= 15; ++i)
        expected.append(QStringLiteral("%1. <b>Player%1</b> %2 points").arg(i).arg(100 - i));
    link.post(expected.join(QLatin1Char('\n')));
    QVERIFY(alice.waitForChannelLines(15, 10000));
    expected.replaceInStrings(QStringLiteral("<b>"), QStringLiteral("\x02"));
    expected.replaceInStrings(QStringLiteral("</b>"), QStringLiteral("\x02"));
    QCOMPARE(texts(alice.channelLines(), QStringLiteral("QuizNewt")), expected);

    link.post(QStringLiteral("still here"));
    QVERIFY(alice.waitForChannelLines(16));
    QVERIFY(link.isJoined());
    QVERIFY(disconnected.isEmpty());
}

void TestIrcRoomLinkNgircd::longLineArrivesInPieces()
{
    NgircdServer server;
    QVERIFY2(server.isRunning(), qPrintable(server.error()));
    IrcClient alice;
    QVERIFY(alice.connectAndJoin(server.port(), "Alice", "#trivia"));
    IrcRoomLink link(settingsFor(server));
    link.join();
    QTRY_VERIFY(link.isJoined());

    // Longer than one protocol line, with characters of every UTF-8 length.
    const QString text = QString::fromUtf8(QByteArray("a\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80 ").repeated(120));
    link.post(text);
    // Servers drop blanks at the end of a line, so compare without them.
    QString expected = text;
    expected.remove(QLatin1Char(' '));
    auto received = [&] {
        return texts(alice.channelLines(), QStringLiteral("QuizNewt")).join(QString()).remove(QLatin1Char(' '));
    };
    QTRY_COMPARE(received(), expected);
    QVERIFY(texts(alice.channelLines(), QStringLiteral("QuizNewt")).size() > 1);
    QVERIFY(link.isJoined());
}

void TestIrcRoomLinkNgircd::privateReply()
{
    NgircdServer server;
    QVERIFY2(server.isRunning(), qPrintable(server.error()));
    IrcClient alice;
    IrcClient bob;
    QVERIFY(alice.connectAndJoin(server.port(), "Alice", "#trivia"));
    QVERIFY(bob.connectAndJoin(server.port(), "Bob", "#trivia"));
    IrcRoomLink link(settingsFor(server));
    link.join();
    QTRY_VERIFY(link.isJoined());

    link.post(QStringLiteral("/msg Alice \n<b>Your score: 12</b>"));
    link.post(QStringLiteral("for everyone"));
    QVERIFY(bob.waitForChannelLines(1));
    QVERIFY(alice.waitForPrivateLines(1));
    QCOMPARE(alice.privateLines(), QStringList{QStringLiteral("QuizNewt: \x02Your score: 12\x02")});
    QCOMPARE(bob.channelLines(), QStringList{QStringLiteral("QuizNewt: for everyone")});
    QVERIFY(bob.privateLines().isEmpty());
}

void TestIrcRoomLinkNgircd::serverPassword()
{
    NgircdServer server("letmein");
    QVERIFY2(server.isRunning(), qPrintable(server.error()));
    IrcRoomSettings settings = settingsFor(server);
    IrcRoomLink refused(settings);
    QSignalSpy disconnected(&refused, &IrcRoomLink::disconnected);
    refused.join();
    QTRY_COMPARE(disconnected.size(), 1);
    QVERIFY(!refused.isJoined());

    settings.password = "letmein";
    IrcRoomLink link(settings);
    link.join();
    QTRY_VERIFY(link.isJoined());
}

QTEST_MAIN(TestIrcRoomLinkNgircd)
#include "tst_ircroomlink_ngircd.moc"
