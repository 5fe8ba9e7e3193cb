// Two processes on one database, the embedded file or a Firebird server:
// this program started again with --worker plays the second room.

#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTextStream>
#include <QtTest>

#include <cstdio>
#include <memory>

#include "db/contentstore.h"
#include "db/database.h"
#include "db/drawpool.h"
#include "db/playerstore.h"
#include "db/questionwriter.h"
#include "tests/common/firebirdserver.h"
#include "tests/common/locationarguments.h"

namespace {

const int pointsPerMember = 3;
const int questions = 200;

QString memberName(int point, int process)
{
    // The same members in both rooms, each spelt its own way.
    const QString name = QStringLiteral("Member%1").arg(point / pointsPerMember);
    return process == 0 ? name : name.toUpper();
}

void say(const char* text)
{
    std::printf("%s\n", text);
    std::fflush(stdout);
}

// "--worker score N POINTS LOCATION...": at each "go" on stdin, gives the
// next member its points as the game does, then says "done".
// "--worker draw LOCATION...": draws once, says "loaded", and after "go" draws
// the category's questions many times, printing each.
int worker(const QStringList& args)
{
    QString error;
    QSqlDatabase db = Database::open(locationFrom(args.mid(args.size() - 5)), QStringLiteral("worker"), &error);
    if (!db.isOpen()) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 2;
    }
    QTextStream in(stdin);
    QSqlQuery query(db);
    if (args.at(2) == QLatin1String("score")) {
        const int process = args.at(3).toInt();
        const int pointsPerProcess = args.at(4).toInt();
        PlayerStore players(query);
        int failures = 0;
        for (int point = 0; point < pointsPerProcess; ++point) {
            if (point % pointsPerMember == 0)
                in.readLine();
            const QString name = memberName(point, process);
            const bool stored = players.exists(name) ? players.raiseScore(name) : players.addPlayer(name);
            if (!stored || players.readScore(name).toInt() < 1)
                ++failures;
            if (point % pointsPerMember == pointsPerMember - 1)
                say("done");
        }
        return failures == 0 ? 0 : 1;
    }
    DrawPool pool(query, [](int count) { return QRandomGenerator::global()->bounded(count); },
                  [](const QString&, const QString&) { return true; });
    QString question;
    QString answer;
    if (!pool.draw(QStringLiteral("Numbers"), &question, &answer))
        return 3;
    say("loaded");
    in.readLine();
    for (int draw = 0; draw < 3 * questions; ++draw) {
        if (!pool.draw(QStringLiteral("Numbers"), &question, &answer))
            return 4;
        say(qPrintable(question));
    }
    return 0;
}

}

class TestConcurrency : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QString path;
    QSqlDatabase db;

    QProcess* startWorker(const QStringList& args, const Database::Location& location)
    {
        auto* process = new QProcess(this);
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process->start(QCoreApplication::applicationFilePath(),
                       QStringList{"--worker"} + args + locationArguments(location));
        return process;
    }
    Database::Location embedded() const
    {
        Database::Location location;
        location.path = path;
        return location;
    }

private Q_SLOTS:
    void initTestCase()
    {
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
        Database::Location location = embedded();
        std::unique_ptr<FirebirdServer> firebird;
        QSqlDatabase db = this->db;
        if (server) {
            firebird = std::make_unique<FirebirdServer>();
            QVERIFY2(firebird->isRunning(), qPrintable(firebird->error()));
            location.server = firebird->host();
            location.port = firebird->port();
            location.path = firebird->dataDir() + QStringLiteral("/quiznewt.fdb");
            location.user = firebird->user();
            location.password = firebird->password();
            QString error;
            QVERIFY2(Database::create(location, &error), qPrintable(error));
            db = Database::open(location, QStringLiteral("server check"), &error);
            QVERIFY2(db.isOpen(), qPrintable(error));
        }
        const QString points = QString::number(pointsPerProcess);
        const QList<QProcess*> workers{startWorker({"score", "0", points}, location),
                                       startWorker({"score", "1", points}, location)};
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
        QSqlQuery query(db);
        QVERIFY(query.exec("SELECT COUNT(*), SUM(score), MIN(score), MAX(score), COUNT(DISTINCT UPPER(username)) "
                           "FROM users"));
        QVERIFY(query.next());
        const int members = pointsPerProcess / pointsPerMember;
        QCOMPARE(query.value(0).toInt(), members);
        QCOMPARE(query.value(1).toInt(), 2 * pointsPerProcess);
        QCOMPARE(query.value(2).toInt(), 2 * pointsPerMember);
        QCOMPARE(query.value(3).toInt(), 2 * pointsPerMember);
        QCOMPARE(query.value(4).toInt(), members);
        // Every score the game read back was there.
        for (QProcess* process : workers)
            QCOMPARE(process->exitCode(), 0);
        query.finish();
        if (server)
            db.close();
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
        QVERIFY2(holder.isOpen(), qPrintable(error));
        QVERIFY(holder.transaction());
        QSqlQuery hold(holder);
        QVERIFY(hold.exec("UPDATE users SET score=score WHERE username='Holden'"));
        QCOMPARE(hold.numRowsAffected(), 1);
        QElapsedTimer clock;
        clock.start();
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("no point stored for HOLDEN"));
        QCOMPARE(players.givePoint("HOLDEN"), QString());
        QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(holder.commit());
        QCOMPARE(players.givePoint("HOLDEN"), QStringLiteral("2"));
    }

    // Questions deleted by this process after the other read its pool are
    // never drawn there again.
    void deletedQuestionsAreNotDrawnElsewhere()
    {
        QVERIFY(db.transaction());
        QList<qint64> ids;
        {
            QSqlQuery categoryQuery(db);
            const qint64 category = ContentStore(categoryQuery).addCategoryReturningId(QStringLiteral("Numbers"));
            QuestionWriter writer(db);
            for (int i = 0; i < questions; ++i)
                ids << writer.add(category, QString::number(i), QStringLiteral("answer")).contentId;
        }
        QVERIFY(db.commit());

        QProcess* drawer = startWorker({"draw"}, embedded());
        QVERIFY(drawer->waitForReadyRead(30000));
        QCOMPARE(drawer->readLine(), QByteArray("loaded\n"));
        QSqlQuery query(db);
        ContentStore content(query);
        for (int i = 0; i < questions; i += 2)
            QVERIFY(content.deleteQuestion(ids.at(i)));
        drawer->write("go\n");
        QVERIFY(drawer->waitForFinished(60000));
        QCOMPARE(drawer->exitCode(), 0);
        QSet<int> drawn;
        for (const QByteArray& question : drawer->readAllStandardOutput().split('\n')) {
            if (!question.isEmpty())
                drawn.insert(question.toInt());
        }
        QVERIFY(!drawn.isEmpty());
        for (int number : std::as_const(drawn))
            QVERIFY2(number % 2 == 1, qPrintable(QStringLiteral("deleted question %1 drawn").arg(number)));
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
