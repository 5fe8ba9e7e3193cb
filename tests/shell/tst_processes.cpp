// The real program run as a user or a service manager runs it, each profile
// set up by the real setup tool: stopped by a signal it leaves the room and
// exits at once with code 0; one instance at a time with the default
// settings; two rooms side by side with --profile.

#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QtTest>

#include <csignal>
#include <ibase.h>
#include <unistd.h>

#include "app/singleinstance.h"
#include "app/stopsignals.h"
#include "db/database.h"
#include "gui/log.h"
#include "tests/common/ircclient.h"
#include "tests/common/ngircdserver.h"
#include "tests/common/serverprocess.h"
#include "tests/common/testdatabase.h"

class TestProcesses : public QObject
{
    Q_OBJECT

    QTemporaryDir home;
    NgircdServer server;

    QString path(const char* name) const { return home.filePath(QLatin1String(name)); }

    // Deleting a QProcess, here with the test, kills what still runs. A
    // program killed while it opens its database can leave the engine's lock
    // files locked for every other user of them: such a one gets its own.
    // Without a window it runs as a service manager runs it: no display.
    QProcess* start(const QStringList& arguments, const char* lockDir = nullptr, bool noWindow = false)
    {
        auto* process = new QProcess(this);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        if (lockDir)
            environment.insert("FIREBIRD_LOCK", path(lockDir));
        if (noWindow) {
            for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
                environment.remove(name);
        }
        process->setProcessEnvironment(environment);
        process->start(QUIZNEWT_EXECUTABLE, noWindow ? arguments + QStringList("--no-window") : arguments);
        process->waitForStarted(5000);
        return process;
    }

    bool setUp(const QString& profile, const QString& nick, const char* installDir = "rooms")
    {
        return runTool(SETUP_TOOL, {"--profile", profile, "--settings-only", path(installDir), "--port",
                                    QString::number(server.port()), "--nick", nick, "--auto-connect"})
            == 0;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(server.isRunning(), qPrintable(server.error()));
        for (const char* dir : {"rooms", "single", "stop", "run", "engine", "engine-of-killed"})
            QVERIFY(QDir(home.path()).mkpath(QLatin1String(dir)));
        qputenv("FIREBIRD_LOCK", QFile::encodeName(path("engine")));
        QString error;
        for (const char* file : {"rooms/quiznewt.fdb", "single/quiznewt.fdb", "stop/quiznewt.fdb"})
            QVERIFY2(Database::create(path(file), &error), qPrintable(error));
        // A working install, so that a start without a profile opens its window as usual.
        QSettings(path("NewtLiberty/QuizNewt.conf"), QSettings::IniFormat).setValue("InstallDir", path("single"));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path()));
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(path("run")));
        QVERIFY(setUp("stop", "QuizNewt", "stop"));
    }
    // What a case left running stops as a service manager stops it.
    void cleanup()
    {
        for (QProcess* process : findChildren<QProcess*>()) {
            process->terminate();
            process->waitForFinished(15000);
            delete process;
        }
    }

    // The embedded engine catches SIGINT and SIGTERM on its own and then asks
    // its shutdown callbacks; the program's answer keeps the database open
    // and turns the signal into its own orderly stop.
    void engineLeavesTheDatabaseOpen()
    {
        TestDatabase db;
        QVERIFY2(db.isValid(), qPrintable(db.error()));
        StopSignals stop;
        QSignalSpy requested(&stop, &StopSignals::stopRequested);
        QVERIFY(db.exec(QStringLiteral("INSERT INTO users (username, score, userID) VALUES ('Ann', 1, 1)")));
        // What the engine's signal handling does when SIGTERM arrives.
        QVERIFY2(fb_shutdown(5000, fb_shutrsn_signal) != 0, "the engine's shutdown is refused");
        QTRY_COMPARE(requested.size(), 1);
        QCOMPARE(db.value(QStringLiteral("SELECT score FROM users")).toInt(), 1);
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
    // Without a window it logs one line per message with its level. It alone
    // has its database open, as in real use: its last detach is the one that
    // must not hang.
    void endsLikeExit()
    {
        QFETCH(int, signal);
        QFETCH(bool, noWindow);
        IrcClient alice;
        QVERIFY(alice.connectAndJoin(server.port(), "Alice", "#trivia"));
        QProcess* quiznewt = start({"--profile", "stop"}, nullptr, noWindow);
        QVERIFY2(alice.waitForChannelLines(1, 15000), "QuizNewt joins and greets on its own");
        // The engine is loaded and the database open: its own signal handling
        // is in place now.
        QCOMPARE(alice.channelLines().value(0), QStringLiteral("QuizNewt: (O) QuizNewt Connected (O)"));

        // A stop that hangs on the database or the room never ends; a loaded
        // machine may take a few seconds for an orderly one.
        ::kill(pid_t(quiznewt->processId()), signal);
        QVERIFY2(quiznewt->waitForFinished(15000), "ends by itself");
        QCOMPARE(quiznewt->exitStatus(), QProcess::NormalExit);
        QCOMPARE(quiznewt->exitCode(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(alice.quits(), QStringList{QStringLiteral("QuizNewt")}, 15000);
        if (!noWindow)
            return;

        const QString log = QString::fromLocal8Bit(quiznewt->readAllStandardError());
        const QRegularExpression line(QStringLiteral("^quiznewt: (debug|info|warning|error): [^\\x1b]+$"));
        QVERIFY2(!log.isEmpty(), "the program logs what it does");
        for (const QString& entry : log.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            QVERIFY2(line.match(entry).hasMatch(), qPrintable(entry));
    }

    // Each profile reads its own settings, so each joins as its own nick,
    // and holds its own lock; the default's stays free.
    void twoRoomsSideBySide()
    {
        const QByteArray defaults = readFile(path("NewtLiberty/QuizNewt.conf"));
        QVERIFY(setUp("red", "RedNewt") && setUp("blue", "BlueNewt"));
        QVERIFY2(readFile(path("NewtLiberty/QuizNewt.conf")) == defaults, "the default settings stay untouched");

        IrcClient watcher;
        QVERIFY(watcher.connectAndJoin(server.port(), "Watcher", "#trivia"));
        QProcess* redRoom = start({"--profile", "red"});
        QProcess* blueRoom = start({"--profile=blue"});
        QVERIFY2(watcher.waitForChannelLines(2, 20000), "both rooms greet");
        QStringList greetings = watcher.channelLines();
        greetings.sort();
        QCOMPARE(greetings, QStringList({"BlueNewt: (O) QuizNewt Connected (O)", "RedNewt: (O) QuizNewt Connected (O)"}));
        QCOMPARE(SingleInstance::holderPid(SingleInstance::defaultLockPath("red")), redRoom->processId());
        QCOMPARE(SingleInstance::holderPid(SingleInstance::defaultLockPath("blue")), blueRoom->processId());
        QCOMPARE(SingleInstance::holderPid(SingleInstance::defaultLockPath()), 0);
        // A name that would leave the profiles' directory is refused.
        QProcess* stray = start({"--profile", "../red"});
        QVERIFY(stray->waitForFinished(10000));
        QCOMPARE(stray->exitCode(), 2);
    }

    void oneInstanceAtATime()
    {
        const QString lock = SingleInstance::defaultLockPath();
        QProcess* first = start({}, "engine-of-killed");
        QTRY_COMPARE_WITH_TIMEOUT(SingleInstance::holderPid(lock), first->processId(), 15000);
        // A second start ends at once and quietly: it made no application object.
        QProcess* second = start({}, "engine-of-killed");
        QVERIFY(second->waitForFinished(10000));
        QCOMPARE(second->exitCode(), 0);
        QCOMPARE(second->readAllStandardError(), QByteArray());
        QCOMPARE(first->state(), QProcess::Running);
        // Killed, the first has no chance to tidy up; its lock file stays but blocks nothing.
        first->kill();
        QVERIFY(first->waitForFinished(5000));
        QProcess* next = start({}, "engine-of-killed");
        QTRY_COMPARE_WITH_TIMEOUT(SingleInstance::holderPid(lock), next->processId(), 15000);
    }

    // With no runtime directory the lock goes to a directory of this user's
    // alone under the temporary directory, unless another user made that first.
    void lockIsNeverInAnotherUsersDirectory()
    {
        QTemporaryDir temp;
        const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(temp.filePath(QStringLiteral("missing"))));
        qputenv("TMPDIR", QFile::encodeName(temp.path()));
        const QString dir = temp.filePath(QStringLiteral("quiznewt-%1").arg(::getuid()));
        QCOMPARE(QFileInfo(SingleInstance::defaultLockPath()).absolutePath(), dir);
        QVERIFY(!(QFileInfo(dir).permissions() & (QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther)));
        const bool handedOver = ::chown(QFile::encodeName(dir).constData(), 65534, 65534) == 0;
        const QString besideAStranger = SingleInstance::defaultLockPath();
        qputenv("XDG_RUNTIME_DIR", runtime);
        qunsetenv("TMPDIR");
        if (!handedOver)
            QSKIP("only root can hand a directory to another user");
        QVERIFY(!besideAStranger.startsWith(dir));
    }
};

QTEST_GUILESS_MAIN(TestProcesses)
#include "tst_processes.moc"
