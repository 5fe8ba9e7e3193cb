// The real program started more than once by the same user: one at a time
// with the default settings, and two rooms side by side with --profile, each
// profile set up by the real setup tool.

#include <QProcess>
#include <QSettings>
#include <QtTest>

#include <unistd.h>

#include "app/singleinstance.h"
#include "db/database.h"
#include "tests/common/ircclient.h"
#include "tests/common/ngircdserver.h"
#include "tests/common/testdatabase.h"

static QByteArray contents(const QString& path)
{
    QFile in(path);
    return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
}

class TestInstances : public QObject
{
    Q_OBJECT

    QTemporaryDir home;
    NgircdServer server;

    QString path(const char* name) const { return home.filePath(QLatin1String(name)); }

    // Deleting a QProcess, here with the test, kills what still runs. A
    // program killed while it opens its database can leave the engine's lock
    // files locked for every other user of them: such a one gets its own.
    QProcess* start(const QStringList& arguments, const char* lockDir = nullptr)
    {
        auto* process = new QProcess(this);
        if (lockDir) {
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert("FIREBIRD_LOCK", path(lockDir));
            process->setProcessEnvironment(environment);
        }
        process->start(QUIZNEWT_EXECUTABLE, arguments);
        process->waitForStarted(5000);
        return process;
    }

    bool setUp(const QString& profile, const QString& nick)
    {
        return runTool(SETUP_TOOL, {"--profile", profile, "--settings-only", path("rooms"), "--port",
                                    QString::number(server.port()), "--nick", nick, "--auto-connect"})
            == 0;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(server.isRunning(), qPrintable(server.error()));
        for (const char* dir : {"rooms", "single", "run", "engine", "engine-of-killed"})
            QVERIFY(QDir(home.path()).mkpath(QLatin1String(dir)));
        qputenv("FIREBIRD_LOCK", QFile::encodeName(path("engine")));
        QString error;
        QVERIFY2(Database::create(path("rooms/quiznewt.fdb"), &error), qPrintable(error));
        QVERIFY2(Database::create(path("single/quiznewt.fdb"), &error), qPrintable(error));
        // A working install, so that a start without a profile opens its window as usual.
        QSettings(path("NewtLiberty/QuizNewt.conf"), QSettings::IniFormat).setValue("InstallDir", path("single"));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path()));
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(path("run")));
    }

    // Each profile reads its own settings, so each joins as its own nick,
    // and holds its own lock; the default's stays free.
    void twoRoomsSideBySide()
    {
        const QByteArray defaults = contents(path("NewtLiberty/QuizNewt.conf"));
        QVERIFY(setUp("red", "RedNewt") && setUp("blue", "BlueNewt"));
        QVERIFY2(contents(path("NewtLiberty/QuizNewt.conf")) == defaults, "the default settings stay untouched");

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

QTEST_GUILESS_MAIN(TestInstances)
#include "tst_instances.moc"
