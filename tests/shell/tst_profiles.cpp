// Two rooms on one machine: the real program started with --profile, each
// profile set up by the real setup tool.

#include <QProcess>
#include <QSqlQuery>
#include <QtTest>

#include "app/singleinstance.h"
#include "db/database.h"
#include "tests/common/ircclient.h"
#include "tests/common/ngircdserver.h"

class TestProfiles : public QObject
{
    Q_OBJECT

    QTemporaryDir home;
    NgircdServer server;

    QString path(const char* name) const { return home.filePath(QLatin1String(name)); }

    // Deleting a QProcess, here with the test, kills what still runs.
    QProcess* start(const QStringList& arguments)
    {
        auto* process = new QProcess(this);
        process->start(QStringLiteral(QUIZNEWT_EXECUTABLE), arguments);
        process->waitForStarted(5000);
        return process;
    }

    // The settings file the setup tool says it wrote for the profile.
    QString setUp(const QString& profile, const QString& nick)
    {
        QProcess setup;
        setup.start(QStringLiteral(SETUP_TOOL),
                    {"--profile", profile, "--settings-only", path("install"), "--port",
                     QString::number(server.port()), "--nick", nick, "--auto-connect"});
        if (!setup.waitForFinished(30000) || setup.exitCode() != 0)
            return {};
        const QString said = QString::fromLocal8Bit(setup.readAllStandardOutput()).trimmed();
        return said.section(QLatin1Char(' '), -1);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(server.isRunning(), qPrintable(server.error()));
        QVERIFY(QDir(home.path()).mkpath(QStringLiteral("install")));
        QVERIFY(QDir(home.path()).mkpath(QStringLiteral("run")));
        QString error;
        QVERIFY2(Database::create(path("install/quiznewt.fdb"), &error), qPrintable(error));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path()));
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(path("run")));
    }

    // Each profile reads its own settings, so each joins as its own nick,
    // and holds its own lock; the same profile again ends at once.
    void twoRoomsSideBySide()
    {
        const QString red = setUp("red", "RedNewt");
        const QString blue = setUp("blue", "BlueNewt");
        QVERIFY(!red.isEmpty() && !blue.isEmpty() && red != blue);
        QVERIFY(QFileInfo::exists(red) && QFileInfo::exists(blue));
        QVERIFY2(!QFileInfo::exists(path("NewtLiberty/QuizNewt.conf")), "the default settings stay untouched");

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
        {
            // Both play on the one database.
            QString error;
            QSqlDatabase db = Database::open(path("install/quiznewt.fdb"), QStringLiteral("check"), &error);
            QVERIFY2(db.isOpen(), qPrintable(error));
            QSqlQuery query(db);
            QVERIFY(query.exec(QStringLiteral("SELECT COUNT(DISTINCT MON$SERVER_PID) FROM MON$ATTACHMENTS "
                                              "WHERE MON$SERVER_PID IN (%1, %2)")
                                   .arg(redRoom->processId())
                                   .arg(blueRoom->processId())));
            QVERIFY(query.next());
            QCOMPARE(query.value(0).toInt(), 2);
        }
        QSqlDatabase::removeDatabase(QStringLiteral("check"));

        QProcess* again = start({"--profile", "red"});
        QVERIFY(again->waitForFinished(10000));
        QCOMPARE(again->exitCode(), 0);
        QCOMPARE(again->readAllStandardError(), QByteArray());
        QCOMPARE(redRoom->state(), QProcess::Running);

        // A name that would leave the profiles' directory is refused.
        QProcess* stray = start({"--profile", "../red"});
        QVERIFY(stray->waitForFinished(10000));
        QCOMPARE(stray->exitCode(), 2);
    }
};

QTEST_GUILESS_MAIN(TestProfiles)
#include "tst_profiles.moc"
