// The real program stopped by a signal, as a terminal or a service manager
// stops it: it leaves the room and exits at once with code 0.

#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QtTest>

#include <csignal>
#include <ibase.h>
#include <memory>

#include "app/stopsignals.h"
#include "gui/log.h"
#include "tests/common/ircclient.h"
#include "tests/common/ngircdserver.h"
#include "tests/common/testdatabase.h"

class TestStopSignals : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestDatabase> db;
    std::unique_ptr<NgircdServer> server;

private Q_SLOTS:
    // One database and one server for every start; each start ends before the next.
    void initTestCase()
    {
        isolateSettings();
        db = std::make_unique<TestDatabase>();
        QVERIFY2(db->isValid(), qPrintable(db->error()));
        db->makeInstallDir();
        server = std::make_unique<NgircdServer>();
        QVERIFY2(server->isRunning(), qPrintable(server->error()));
        QSettings("NewtLiberty", "QuizNewt").setValue("Room/Port", server->port());
        QSettings("NewtLiberty", "QuizNewt").setValue("Room/AutoConnect", true);
    }

    // The embedded engine catches SIGINT and SIGTERM on its own and then asks
    // its shutdown callbacks; the program's answer keeps the database open
    // and turns the signal into its own orderly stop.
    void engineLeavesTheDatabaseOpen()
    {
        StopSignals stop;
        QSignalSpy requested(&stop, &StopSignals::stopRequested);
        QVERIFY(db->exec(QStringLiteral("INSERT INTO users (username, score, userID) VALUES ('Ann', 1, 1)")));
        // What the engine's signal handling does when SIGTERM arrives.
        QVERIFY2(fb_shutdown(5000, fb_shutrsn_signal) != 0, "the engine's shutdown is refused");
        QTRY_COMPARE(requested.size(), 1);
        QCOMPARE(db->value(QStringLiteral("SELECT score FROM users")).toInt(), 1);
    }

    // One line per message whatever it holds; under the journal its level
    // is the priority prefix the journal reads.
    void logLines_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<bool>("journal");
        QTest::addColumn<QString>("expected");
        QTest::newRow("terminal") << int(QtWarningMsg) << false << "quiznewt: warning: a | b | c | d";
        QTest::newRow("journal warning") << int(QtWarningMsg) << true << "<4>a | b | c | d";
        QTest::newRow("journal error") << int(QtCriticalMsg) << true << "<3>a | b | c | d";
        QTest::newRow("journal info") << int(QtInfoMsg) << true << "<6>a | b | c | d";
    }
    void logLines()
    {
        QFETCH(int, type);
        QFETCH(bool, journal);
        QTEST(Log::line(QtMsgType(type), QStringLiteral("a\nb\r\nc\rd"), journal), "expected");
    }

    void endsLikeExit_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addColumn<bool>("noWindow");
        QTest::newRow("SIGINT") << int(SIGINT) << false;
        QTest::newRow("SIGHUP") << int(SIGHUP) << false;
        QTest::newRow("SIGTERM, no window, no display") << int(SIGTERM) << true;
    }
    // Run by a service manager: no display, and a log of one line per
    // message with its level.
    void endsLikeExit()
    {
        QFETCH(int, signal);
        QFETCH(bool, noWindow);
        // QuizNewt alone has the database open, as in real use: its last
        // detach is the one that must not hang.
        db->connection().close();
        IrcClient alice;
        QVERIFY(alice.connectAndJoin(server->port(), "Alice", "#trivia"));

        QProcess quiznewt;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        if (noWindow) {
            for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
                environment.remove(name);
        }
        quiznewt.setProcessEnvironment(environment);
        quiznewt.setProcessChannelMode(noWindow ? QProcess::SeparateChannels : QProcess::ForwardedChannels);
        quiznewt.start(QStringLiteral(QUIZNEWT_EXECUTABLE),
                       noWindow ? QStringList(QStringLiteral("--no-window")) : QStringList());
        QVERIFY2(alice.waitForChannelLines(1, 15000), "QuizNewt joins and greets on its own");
        // The engine is loaded and the database open: its own signal handling
        // is in place now.
        QCOMPARE(alice.channelLines().value(0), QStringLiteral("QuizNewt: (O) QuizNewt Connected (O)"));

        // A stop that hangs on the database or the room never ends; a loaded
        // machine may take a few seconds for an orderly one.
        ::kill(pid_t(quiznewt.processId()), signal);
        QVERIFY2(quiznewt.waitForFinished(15000), "ends by itself");
        QCOMPARE(quiznewt.exitStatus(), QProcess::NormalExit);
        QCOMPARE(quiznewt.exitCode(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(alice.quits(), QStringList{QStringLiteral("QuizNewt")}, 15000);
        if (!noWindow)
            return;

        const QString log = QString::fromLocal8Bit(quiznewt.readAllStandardError());
        const QRegularExpression line(QStringLiteral("^quiznewt: (debug|info|warning|error): [^\\x1b]+$"));
        QVERIFY2(!log.isEmpty(), "the program logs what it does");
        for (const QString& entry : log.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            QVERIFY2(line.match(entry).hasMatch(), qPrintable(entry));
    }
};

QTEST_GUILESS_MAIN(TestStopSignals)
#include "tst_stopsignals.moc"
