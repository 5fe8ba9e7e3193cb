// Two processes on one database, the embedded file or a Firebird server
// the setup tool set up: this program started again with --worker plays each
// room.

#include <QProcess>
#include <QSettings>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTextStream>
#include <QtTest>

#include <cstdio>
#include <memory>

#include "db/database.h"
#include "db/playerstore.h"
#include "game/sqlgamestore.h"
#include "tests/common/firebirdserver.h"
#include "tests/common/testdatabase.h"

namespace {

const int pointsPerMember = 3;

QString memberName(int point, int process)
{
    // The same members in both rooms, each spelt its own way.
    const QString name = QStringLiteral("Member%1").arg(point / pointsPerMember);
    return process == 0 ? name : name.toUpper();
}

// Questions both rooms ask, so their statistics meet.
const int questions = 7;

// "--worker N POINTS": on the database the settings name, as the game opens
// it, at each "go" on stdin, gives the next member its points through the
// game's store, each ending a question, then says "done".
int worker(const QStringList& args)
{
    QString error;
    QSqlDatabase db = Database::open(Database::locationFromSettings(), QStringLiteral("worker"), &error);
    if (!db.isOpen()) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 2;
    }
    QTextStream in(stdin);
    const int process = args.at(2).toInt();
    const int pointsPerProcess = args.at(3).toInt();
    SqlGameStore store(db);
    store.setRoom(QStringLiteral("net"), QStringLiteral("#room%1").arg(process));
    int failures = 0;
    for (int point = 0; point < pointsPerProcess; ++point) {
        if (point % pointsPerMember == 0)
            in.readLine();
        const QString name = memberName(point, process);
        if (store.givePoint(name, point % questions).toInt() < 1)
            ++failures;
        store.recordEnd(point % questions, GameStore::End::Answered, 1000 + point % 2);
        store.recordEnd(point % questions, GameStore::End::TimedOut, 0);
        if (point % pointsPerMember == pointsPerMember - 1) {
            std::printf("done\n");
            std::fflush(stdout);
        }
    }
    return failures == 0 ? 0 : 1;
}

}

class TestConcurrency : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QString path;
    QSqlDatabase db;

    QProcess* startWorker(const QStringList& args)
    {
        auto* process = new QProcess(this);
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process->start(QCoreApplication::applicationFilePath(), QStringList{"--worker"} + args);
        return process;
    }

private Q_SLOTS:
    void initTestCase()
    {
        isolateSettings();
        QSettings(QStringLiteral("NewtLiberty"), QStringLiteral("QuizNewt")).setValue("InstallDir", dir.path());
        path = dir.filePath(Database::fileName);
        QString error;
        QVERIFY2(Database::create(path, &error), qPrintable(error));
        // Open throughout: a third process on the file.
        db = Database::open(path, QStringLiteral("check"), &error);
        QVERIFY2(db.isOpen(), qPrintable(error));
    }

    void pointsFromTwoProcesses_data()
    {
        QTest::addColumn<bool>("server");
        QTest::addColumn<int>("pointsPerProcess");
        QTest::newRow("embedded file") << false << 1500;
        QTest::newRow("Firebird server") << true << 600;
    }
    // Both rooms score the same members, new and known, at the same moments:
    // no point lost, no member twice.
    void pointsFromTwoProcesses()
    {
        QFETCH(bool, server);
        QFETCH(int, pointsPerProcess);
        std::unique_ptr<FirebirdServer> firebird;
        QTemporaryDir install;
        QSqlDatabase db = this->db;
        if (server) {
            firebird = std::make_unique<FirebirdServer>();
            QVERIFY2(firebird->isRunning(), qPrintable(firebird->error()));
            const QString serverPath = firebird->dataDir() + QStringLiteral("/quiznewt.fdb");
            QString output;
            const int status = runTool(QStringLiteral(SETUP_TOOL), {"--db-server", firebird->host(), "--db-port",
                QString::number(firebird->port()), "--db-path", serverPath, "--db-user", firebird->user(),
                "--db-password", firebird->password(), install.path()}, &output);
            QVERIFY2(status == 0, qPrintable(output));
            // The settings the tool wrote reach the server with its user.
            QString error;
            db = Database::open(Database::locationFromSettings(), QStringLiteral("server check"), &error);
            QVERIFY2(db.isOpen(), qPrintable(error));
        }
        const QString points = QString::number(pointsPerProcess);
        const QList<QProcess*> workers{startWorker({"0", points}), startWorker({"1", points})};
        // In step, member by member, so both meet each new member.
        for (int member = 0; member < pointsPerProcess / pointsPerMember; ++member) {
            for (QProcess* process : workers) {
                process->write("go\n");
                QVERIFY(process->waitForBytesWritten(5000));
            }
            for (QProcess* process : workers) {
                while (!process->canReadLine())
                    QVERIFY(process->waitForReadyRead(30000));
                process->readLine();
            }
        }
        for (QProcess* process : workers)
            QVERIFY(process->waitForFinished(30000));
        // Members, their names told apart without case, all points, the least and most of one member's.
        QSqlQuery query(db);
        query.exec("SELECT COUNT(*) || ' ' || COUNT(DISTINCT UPPER(username)) || ' ' || SUM(score) || ' ' "
                   "|| MIN(score) || ' ' || MAX(score) FROM users");
        const int members = pointsPerProcess / pointsPerMember;
        QCOMPARE(query.next() ? query.value(0).toString() : QString(),
                 QStringLiteral("%1 %1 %2 %3 %3").arg(members).arg(2 * pointsPerProcess).arg(2 * pointsPerMember));
        // No count lost from the questions' statistics, and every point logged.
        query.exec("SELECT COUNT(*) || ' ' || SUM(asked) || ' ' || SUM(answered) || ' ' || SUM(timed_out) || ' ' || "
                   "MIN(fastest_ms) || ' ' || (SELECT COUNT(*) FROM score_event) FROM question_stat");
        QCOMPARE(query.next() ? query.value(0).toString() : QString(),
                 QStringLiteral("%1 %2 %3 %3 1000 %3").arg(questions).arg(4 * pointsPerProcess).arg(2 * pointsPerProcess));
        // Every score the game read back was there.
        for (QProcess* process : workers)
            QCOMPARE(process->exitCode(), 0);
        query.finish();
        if (!server)
            return;
        db.close();
        // A backup of the server's database lands in a file here.
        const QString backupFile = install.filePath("quiz.fbk");
        QString output;
        QVERIFY2(runTool(QStringLiteral(SETUP_TOOL), {"--backup", backupFile}, &output) == 0 && QFileInfo(backupFile).size() > 0, qPrintable(output));
    }

    // A member's row held by a writer that does not finish costs the game a
    // few seconds at most, and the point is given once the row is free.
    void heldRowIsNotWaitedOut()
    {
        QSqlQuery query(db);
        PlayerStore players(query);
        QCOMPARE(players.givePoint("Holden"), QStringLiteral("1"));
        QString error;
        QSqlDatabase holder = Database::open(path, QStringLiteral("holder"), &error);
        QVERIFY(holder.transaction());
        QSqlQuery hold(holder);
        QVERIFY2(hold.exec("UPDATE users SET score=score WHERE username='Holden'"), qPrintable(error));
        QElapsedTimer clock;
        clock.start();
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("no point stored for HOLDEN"));
        QCOMPARE(players.givePoint("HOLDEN"), QString());
        // Three tries of a second each; without a lock timeout it would wait
        // for the holder for good.
        QVERIFY2(clock.elapsed() < 15000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(holder.commit());
        QCOMPARE(players.givePoint("HOLDEN"), QStringLiteral("2"));
    }
};

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc > 2 && qstrcmp(argv[1], "--worker") == 0)
        return worker(app.arguments());
    TestConcurrency test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_concurrency.moc"
