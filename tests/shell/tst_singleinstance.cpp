#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <unistd.h>

#include "app/singleinstance.h"
#include "db/database.h"

// The real program started more than once by the same user.
class TestSingleInstance : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();

    void secondStartEndsAtOnce();
    void killedInstanceDoesNotBlockNextStart();
    void lockLivesInTheUsersOwnPlace_data();
    void lockLivesInTheUsersOwnPlace();

private:
    QTemporaryDir home;
    QString runtimeDir;
    QString lockPath;
    QList<QProcess*> started;

    QProcess* start();
};

void TestSingleInstance::initTestCase()
{
    QVERIFY(home.isValid());
    const QString configDir = home.filePath(QStringLiteral("config"));
    runtimeDir = home.filePath(QStringLiteral("runtime"));
    const QString installDir = home.filePath(QStringLiteral("install"));
    for (const QString& dir : {configDir, runtimeDir, installDir})
        QVERIFY(QDir().mkpath(dir));
    QFile::setPermissions(runtimeDir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    // A working install, so that the first instance opens its window as usual.
    QString error;
    QVERIFY2(Database::create(installDir + QLatin1Char('/') + Database::fileName, &error), qPrintable(error));
    QSettings settings(configDir + QStringLiteral("/NewtLiberty/QuizNewt.conf"), QSettings::IniFormat);
    settings.setValue(QStringLiteral("InstallDir"), installDir);
    settings.sync();

    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtimeDir));
    lockPath = SingleInstance::defaultLockPath();
    QVERIFY(lockPath.startsWith(runtimeDir));
}

void TestSingleInstance::cleanup()
{
    for (QProcess* process : started) {
        if (process->state() != QProcess::NotRunning) {
            process->kill();
            process->waitForFinished(5000);
        }
        delete process;
    }
    started.clear();
}

QProcess* TestSingleInstance::start()
{
    auto* process = new QProcess;
    started.append(process);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir);
    process->setProcessEnvironment(env);
    process->start(QStringLiteral(QUIZNEWT_EXECUTABLE), QStringList());
    process->waitForStarted(5000);
    return process;
}

void TestSingleInstance::secondStartEndsAtOnce()
{
    QProcess* first = start();
    QTRY_COMPARE_WITH_TIMEOUT(SingleInstance::holderPid(lockPath), first->processId(), 15000);

    QElapsedTimer clock;
    clock.start();
    QProcess* second = start();
    QVERIFY(second->waitForFinished(10000));
    QCOMPARE(second->exitStatus(), QProcess::NormalExit);
    QCOMPARE(second->exitCode(), 0);
    // No application object was made, so nothing could be shown.
    QCOMPARE(second->readAllStandardError(), QByteArray());
    qInfo("second start ended after %lld ms", clock.elapsed());

    QCOMPARE(first->state(), QProcess::Running);
    QCOMPARE(SingleInstance::holderPid(lockPath), first->processId());
}

void TestSingleInstance::killedInstanceDoesNotBlockNextStart()
{
    QProcess* crashed = start();
    QTRY_COMPARE_WITH_TIMEOUT(SingleInstance::holderPid(lockPath), crashed->processId(), 15000);
    crashed->kill(); // SIGKILL: no chance to tidy up
    QVERIFY(crashed->waitForFinished(5000));
    QVERIFY(QFile::exists(lockPath));

    QProcess* next = start();
    QTRY_COMPARE_WITH_TIMEOUT(SingleInstance::holderPid(lockPath), next->processId(), 15000);
    QCOMPARE(next->state(), QProcess::Running);
}

void TestSingleInstance::lockLivesInTheUsersOwnPlace_data()
{
    QTest::addColumn<QString>("runtime");
    QTest::addColumn<bool>("inRuntimeDir");

    QTest::newRow("runtime dir set") << "exists" << true;
    QTest::newRow("runtime dir unset") << "" << false;
    QTest::newRow("runtime dir missing") << "missing" << false;
}

void TestSingleInstance::lockLivesInTheUsersOwnPlace()
{
    QFETCH(QString, runtime);
    QFETCH(bool, inRuntimeDir);

    QTemporaryDir dir;
    QString value;
    if (runtime == QLatin1String("exists"))
        value = dir.path();
    else if (runtime == QLatin1String("missing"))
        value = dir.filePath(QStringLiteral("gone"));
    const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
    if (value.isEmpty())
        qunsetenv("XDG_RUNTIME_DIR");
    else
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(value));
    const QString path = SingleInstance::defaultLockPath();
    qputenv("XDG_RUNTIME_DIR", saved);

    const QFileInfo lockDir(QFileInfo(path).absolutePath());
    if (inRuntimeDir) {
        QCOMPARE(lockDir.absoluteFilePath(), QFileInfo(dir.path()).absoluteFilePath());
    } else {
        QCOMPARE(lockDir.absolutePath(), QFileInfo(QDir::tempPath()).absoluteFilePath());
        QVERIFY(lockDir.fileName().endsWith(QString::number(::getuid())));
        QCOMPARE(lockDir.ownerId(), ::getuid());
        QCOMPARE(lockDir.permissions() & (QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther),
                 QFileDevice::Permissions());
    }
}

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
