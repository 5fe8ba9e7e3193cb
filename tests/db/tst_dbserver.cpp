// The database on a Firebird server: a server that cannot be reached, and a
// real one the setup tool creates the database on.

#include <QElapsedTimer>
#include <QProcess>
#include <QSettings>
#include <QSqlQuery>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

#include "app/quiznewt.h"
#include "db/database.h"
#include "db/playerstore.h"
#include "gui/messagebox.h"
#include "tests/common/firebirdserver.h"
#include "tests/common/recordingroomlink.h"
#include "tests/common/testdatabase.h"

class TestDbServer : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        isolateSettings();
        MessageBox::setTestMode(true);
    }
    void unreachableServerFailsFastWithTheReason();
    void setupCreatesTheDatabaseOnARealServer();
};

namespace {

// A loopback port nothing listens on: taken, then given back.
quint16 closedPort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost);
    const quint16 port = server.serverPort();
    server.close();
    return port;
}

}

void TestDbServer::unreachableServerFailsFastWithTheReason()
{
    const quint16 port = closedPort();
    QVERIFY(port > 0);
    const QString where = QStringLiteral("127.0.0.1/%1:/srv/quiznewt.fdb").arg(port);
    {
        QSettings settings(QStringLiteral("NewtLiberty"), QStringLiteral("QuizNewt"));
        settings.setValue(QStringLiteral("InstallDir"), QStringLiteral("/nonexistent"));
        settings.setValue(QStringLiteral("Database/Server"), QStringLiteral("127.0.0.1"));
        settings.setValue(QStringLiteral("Database/Port"), port);
        settings.setValue(QStringLiteral("Database/Path"), QStringLiteral("/srv/quiznewt.fdb"));
    }
    const QSettings settings(QStringLiteral("NewtLiberty"), QStringLiteral("QuizNewt"));
    QCOMPARE(Database::locationFromSettings(settings).connectString(), where);

    QElapsedTimer clock;
    clock.start();
    {
        QuizNewt window(new RecordingRoomLink);
    }
    QVERIFY(clock.elapsed() < 10000);
    const QList<MessageBox::Shown> shown = MessageBox::takeShown();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].title, QStringLiteral("Info"));
    QCOMPARE(shown[0].text, QStringLiteral("Unable to open QuizNewt database: ") + where);
    QVERIFY2(shown[0].details.contains(QLatin1String("127.0.0.1")), qPrintable(shown[0].details));

    QTemporaryDir dir;
    QProcess setup;
    setup.setProcessChannelMode(QProcess::MergedChannels);
    clock.restart();
    setup.start(QStringLiteral(SETUP_TOOL), {QStringLiteral("--db-server"), QStringLiteral("127.0.0.1"),
                                             QStringLiteral("--db-port"), QString::number(port),
                                             QStringLiteral("--db-path"), QStringLiteral("/srv/new.fdb"), dir.path()});
    QVERIFY(setup.waitForFinished(20000));
    QVERIFY(clock.elapsed() < 10000);
    const QString output = QString::fromLocal8Bit(setup.readAll());
    QCOMPARE(setup.exitCode(), 1);
    QVERIFY2(output.contains(QLatin1String("127.0.0.1")) && output.count(QLatin1Char('\n')) == 1, qPrintable(output));
}

void TestDbServer::setupCreatesTheDatabaseOnARealServer()
{
    FirebirdServer server;
    QVERIFY2(server.isRunning(), qPrintable(server.error()));
    const QString path = server.dataDir() + QStringLiteral("/quiznewt.fdb");
    QTemporaryDir install;
    QString output;
    const int status = runTool(QStringLiteral(SETUP_TOOL),
        {QStringLiteral("--db-server"), server.host(), QStringLiteral("--db-port"), QString::number(server.port()),
         QStringLiteral("--db-path"), path, QStringLiteral("--db-user"), server.user(), QStringLiteral("--db-password"),
         server.password(), install.path()},
        &output);
    QVERIFY2(status == 0 && QFileInfo::exists(path), qPrintable(output));
    // The server holds the database, not the install directory.
    QVERIFY(!QFileInfo::exists(install.filePath(Database::fileName)));

    // The settings the tool wrote reach the server with its user.
    const Database::Location location =
        Database::locationFromSettings(QSettings(QStringLiteral("NewtLiberty"), QStringLiteral("QuizNewt")));
    QCOMPARE(location.connectString(), QStringLiteral("127.0.0.1/%1:%2").arg(server.port()).arg(path));
    // Each round opens its own connection: the second finds the first's point.
    for (const QString& before : {QString(), QStringLiteral("1")}) {
        QString error;
        QSqlDatabase db = Database::open(location, QStringLiteral("server"), &error);
        QVERIFY2(db.isOpen(), qPrintable(error));
        {
            QSqlQuery query(db);
            PlayerStore players(query);
            QCOMPARE(players.readScore(QStringLiteral("Ann")), before);
            QCOMPARE(players.givePoint(QStringLiteral("Ann")), QString::number(before.toInt() + 1));
        }
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("server"));
    }

    // A backup of the server's database lands in a file here.
    const QString backupFile = install.filePath(QStringLiteral("quiz.fbk"));
    const int backedUp = runTool(QStringLiteral(SETUP_TOOL), {QStringLiteral("--backup"), backupFile}, &output);
    QVERIFY2(backedUp == 0 && QFileInfo(backupFile).size() > 0, qPrintable(output));
}

QTEST_MAIN(TestDbServer)
#include "tst_dbserver.moc"
