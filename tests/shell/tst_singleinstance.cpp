// The real program started more than once by the same user.

#include <QProcess>
#include <QSettings>
#include <QtTest>

#include <unistd.h>

#include "app/singleinstance.h"
#include "db/database.h"

class TestSingleInstance : public QObject
{
    Q_OBJECT

    QTemporaryDir home;

    QString path(const char* name) const { return home.filePath(QLatin1String(name)); }
    // Deleting a QProcess, here with the test, kills what still runs.
    QProcess* start()
    {
        auto* process = new QProcess(this);
        process->start(QStringLiteral(QUIZNEWT_EXECUTABLE), QStringList());
        process->waitForStarted(5000);
        return process;
    }

private Q_SLOTS:
    void initTestCase()
    {
        for (const char* dir : {"install", "run", "engine", "engine-of-started"})
            QVERIFY(QDir(home.path()).mkpath(QLatin1String(dir)));
        // Engine lock files of this test's own: a program killed while it opens
        // its database can leave them locked for every other user of them.
        qputenv("FIREBIRD_LOCK", QFile::encodeName(path("engine")));
        QString error;
        QVERIFY2(Database::create(path("install/quiznewt.fdb"), &error), qPrintable(error));
        qputenv("FIREBIRD_LOCK", QFile::encodeName(path("engine-of-started")));
        // A working install, so that the first instance opens its window as usual.
        QSettings(path("NewtLiberty/QuizNewt.conf"), QSettings::IniFormat).setValue("InstallDir", path("install"));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path()));
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(path("run")));
    }

    void oneInstanceAtATime()
    {
        const QString lock = SingleInstance::defaultLockPath();
        QProcess* first = start();
        QTRY_COMPARE_WITH_TIMEOUT(SingleInstance::holderPid(lock), first->processId(), 15000);
        // A second start ends at once and quietly: it made no application object.
        QProcess* second = start();
        QVERIFY(second->waitForFinished(10000));
        QCOMPARE(second->exitCode(), 0);
        QCOMPARE(second->readAllStandardError(), QByteArray());
        QCOMPARE(first->state(), QProcess::Running);
        // Killed, the first has no chance to tidy up; its lock file stays but blocks nothing.
        first->kill();
        QVERIFY(first->waitForFinished(5000));
        QProcess* next = start();
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

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
