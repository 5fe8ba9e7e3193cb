// A short game in a real IRC room (ngircd on loopback) with scripted players.

#include <QElapsedTimer>
#include <QFile>
#include <QMutex>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <atomic>
#include <memory>

#include "app/messagebox.h"
#include "app/quiznewt.h"
#include "tests/common/ircclient.h"
#include "tests/common/ngircdserver.h"
#include "tests/common/testdatabase.h"

// A member who only listens, on a thread of its own: the game's pause blocks
// the main thread, so only a listener elsewhere sees when lines really arrive.
class RoomWatcher
{
public:
    struct Line {
        qint64 atMs;
        QString text;
    };

    RoomWatcher(quint16 port, const QByteArray& channel)
    {
        clock.start();
        thread.reset(QThread::create([this, port, channel] {
            IrcClient client;
            joinedRoom = client.connectAndJoin(port, "Watcher", channel);
            ready = true;
            int seen = 0;
            while (!stopping) {
                client.waitForChannelLines(seen + 1, 20);
                const QStringList all = client.channelLines();
                QMutexLocker lock(&mutex);
                for (; seen < all.size(); ++seen)
                    lines.append({clock.elapsed(), all.at(seen)});
            }
        }));
        thread->start();
    }
    ~RoomWatcher()
    {
        stopping = true;
        thread->wait();
    }

    bool waitUntilJoined()
    {
        QTest::qWaitFor([this] { return bool(ready); }, 10000);
        return joinedRoom;
    }
    QList<Line> from(const QString& nick)
    {
        QMutexLocker lock(&mutex);
        QList<Line> result;
        const QString head = nick + QStringLiteral(": ");
        for (const Line& line : lines) {
            if (line.text.startsWith(head))
                result.append({line.atMs, line.text.mid(head.size())});
        }
        return result;
    }

private:
    QElapsedTimer clock;
    std::unique_ptr<QThread> thread;
    QMutex mutex;
    QList<Line> lines;
    std::atomic<bool> stopping{false};
    std::atomic<bool> ready{false};
    bool joinedRoom = false;
};

static bool sawLine(IrcClient& client, const QString& line, int times = 1, int timeoutMs = 10000)
{
    return QTest::qWaitFor([&] { return client.channelLines().count(line) >= times; }, timeoutMs);
}

class tst_GameEndToEnd : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void gameInTheRoom()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("ngircd")).isEmpty()
            && QStandardPaths::findExecutable(QStringLiteral("ngircd"), {QStringLiteral("/usr/sbin")}).isEmpty())
            QSKIP("ngircd is not installed");
        NgircdServer server;
        QVERIFY2(server.isRunning(), qPrintable(server.error()));

        isolateSettings();
        MessageBox::setTestMode(true);
        TestDatabase db;
        QVERIFY2(db.isValid(), qPrintable(db.error()));
        db.addUser(QStringLiteral("Host"), 0, 1, 0);
        db.addQuestion(db.addCategory(QStringLiteral("Capitals")), QStringLiteral("Capital of France?"),
                       QStringLiteral("Paris"));
        db.makeInstallDir();
        {
            QSettings settings(QStringLiteral("NewtLiberty"), QStringLiteral("QuizNewt"));
            settings.setValue(QStringLiteral("Room/Server"), server.host());
            settings.setValue(QStringLiteral("Room/Port"), server.port());
            settings.setValue(QStringLiteral("Room/Channel"), QStringLiteral("#quiz"));
        }

        RoomWatcher watcher(server.port(), "#quiz");
        QVERIFY(watcher.waitUntilJoined());
        IrcClient host;
        IrcClient bob;
        QVERIFY(host.connectAndJoin(server.port(), "Host", "#quiz"));
        QVERIFY(bob.connectAndJoin(server.port(), "Bob", "#quiz"));

        QuizNewt window; // the real pause of one second
        window.sbAnswer->setValue(3);
        window.sbWaitTime->setValue(1);
        window.pbConnect->click();
        QVERIFY(sawLine(bob, QStringLiteral("QuizNewt: (O) QuizNewt Connected (O)")));
        QVERIFY(MessageBox::takeShown().isEmpty());

        host.say(QStringLiteral("!start capitals"));
        QVERIFY2(QTest::qWaitFor(
            [&] {
                return !bob.channelLines().filter(QRegularExpression(QStringLiteral("^QuizNewt: Hint: "))).isEmpty();
            },
            10000), qPrintable(bob.channelLines().join(QLatin1Char('|'))));
        bob.say(QStringLiteral("paris"));
        QVERIFY(sawLine(bob, QStringLiteral("QuizNewt: Capital of France?"), 2));
        host.say(QStringLiteral("!quit"));
        QVERIFY(sawLine(bob, QStringLiteral("QuizNewt: (O) Trivia ended by Host (O)")));
        QTest::qWait(100);

        const QList<RoomWatcher::Line> lines = watcher.from(QStringLiteral("QuizNewt"));
        QStringList texts;
        // Trailing blanks do not survive the trip through the server.
        for (const RoomWatcher::Line& line : lines)
            texts.append(QString(line.text).remove(QRegularExpression(QStringLiteral(" +$"))));
        QCOMPARE(texts.size(), 8);
        QCOMPARE(texts.at(1), QStringLiteral("(O) QuizNewt started by Host (O)"));
        QCOMPARE(texts.at(2), QStringLiteral("Capital of France?"));
        QVERIFY2(QRegularExpression(QStringLiteral("^Hint: [P_] [a_] [r_] [i_] [s_]$")).match(texts.at(3)).hasMatch(),
                 qPrintable(texts.at(3)));
        QCOMPARE(texts.at(4), QStringLiteral("(*)Bob(*) Is Correct!  Score: 1"));
        QCOMPARE(texts.at(5), QStringLiteral("Next Question in 1 Seconds"));
        QCOMPARE(texts.at(6), QStringLiteral("Capital of France?"));
        QCOMPARE(texts.at(7), QStringLiteral("(O) Trivia ended by Host (O)"));

        const qint64 gap = lines.at(2).atMs - lines.at(1).atMs;
        QVERIFY2(gap >= 900, qPrintable(QStringLiteral("announcement to question: %1 ms").arg(gap)));
        QCOMPARE(db.value(QStringLiteral("SELECT score FROM users WHERE username='Bob'")).toInt(), 1);
    }
};

QTEST_MAIN(tst_GameEndToEnd)
#include "tst_game_e2e.moc"
