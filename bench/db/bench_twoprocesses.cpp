// Two rooms on one embedded database: draws and scoring in two processes at
// once (this program started again with --worker), beside the same work in
// one process alone, measured in the same run.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <cstdio>

#include "db/database.h"
#include "db/drawpool.h"
#include "db/playerstore.h"
#include "db/contentstore.h"
#include "db/questionwriter.h"
#include "tests/common/firebirdserver.h"

namespace {

// A database on a worker process's command line: server (empty: embedded),
// port, path, user, password.
QStringList locationArguments(const Database::Location& location)
{
    return {location.server, QString::number(location.port), location.path, location.user, location.password};
}

// The location from the five arguments that locationArguments() gives.
Database::Location locationFrom(const QStringList& args)
{
    Database::Location location;
    location.server = args.at(0);
    location.port = args.at(1).toInt();
    location.path = args.at(2);
    location.user = args.at(3);
    location.password = args.at(4);
    return location;
}

const int questions = 10000;
const int rounds = 1000;
const int members = 50;

double percentile(QList<double> values, double p)
{
    std::sort(values.begin(), values.end());
    return values.at(qMin(values.size() - 1, int(values.size() * p)));
}

// One room's work: each round draws a question and scores a member as the
// game does, both rooms naming the same members. Prints draws per second,
// then the draw's and the score's median and p90 in ms.
int worker(const QStringList& args)
{
    const Database::Location location = locationFrom(args.mid(2));
    QString error;
    QSqlDatabase db = Database::open(location, QStringLiteral("worker"), &error);
    if (!db.isOpen()) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    QSqlQuery query(db);
    DrawPool pool(query, [](int count) { return QRandomGenerator::global()->bounded(count); },
                  [](const QString&, const QString&) { return true; });
    PlayerStore players(query);
    Database::DrawnQuestion drawn;
    if (!pool.draw(QStringLiteral("Questions"), &drawn))
        return 1;
    std::printf("ready\n");
    std::fflush(stdout);
    QTextStream(stdin).readLine();

    QList<double> draws;
    QList<double> scores;
    QElapsedTimer clock;
    clock.start();
    for (int round = 0; round < rounds; ++round) {
        qint64 before = clock.nsecsElapsed();
        if (!pool.draw(QStringLiteral("Questions"), &drawn))
            return 1;
        draws << (clock.nsecsElapsed() - before) / 1e6;
        const QString name = QStringLiteral("Member%1").arg(QRandomGenerator::global()->bounded(members));
        before = clock.nsecsElapsed();
        const bool stored = players.exists(name) ? players.raiseScore(name) : players.addPlayer(name);
        if (!stored || players.readScore(name).isEmpty())
            return 1;
        scores << (clock.nsecsElapsed() - before) / 1e6;
    }
    double drawTime = 0;
    for (double ms : std::as_const(draws))
        drawTime += ms;
    std::printf("%.0f %.3f %.3f %.3f %.3f\n", rounds / (drawTime / 1000), percentile(draws, 0.5),
                percentile(draws, 0.9), percentile(scores, 0.5), percentile(scores, 0.9));
    return 0;
}

// Starts the rooms together; each one's figures, or an empty list.
QList<QList<double>> run(const Database::Location& location, int rooms)
{
    const QStringList arguments = QStringList{QStringLiteral("--worker")} + locationArguments(location);
    QList<QProcess*> workers;
    for (int i = 0; i < rooms; ++i) {
        workers << new QProcess;
        workers.last()->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        workers.last()->start(QCoreApplication::applicationFilePath(), arguments);
    }
    for (QProcess* process : std::as_const(workers)) {
        if (!process->waitForReadyRead(30000))
            return {};
        process->readLine();
    }
    for (QProcess* process : std::as_const(workers)) {
        process->write("go\n");
        process->waitForBytesWritten(5000);
    }
    QList<QList<double>> figures;
    for (QProcess* process : std::as_const(workers)) {
        process->waitForFinished(600000);
        QList<double> values;
        for (const QByteArray& value : process->readAllStandardOutput().simplified().split(' '))
            values << value.toDouble();
        if (process->exitCode() == 0 && values.size() == 5)
            figures << values;
        delete process;
    }
    return figures.size() == rooms ? figures : QList<QList<double>>();
}

}

// The questions and filler categories the rooms draw from, in one
// transaction; false when the database refused.
bool seed(const Database::Location& location)
{
    QString error;
    QSqlDatabase db = Database::open(location, QStringLiteral("seed ") + location.connectString(), &error);
    bool ok = db.isOpen() && db.transaction();
    {
        QSqlQuery query(db);
        QuestionWriter writer(db);
        for (const auto& [name, count] : {std::pair{"Questions", questions}, std::pair{"Filler", 5000}}) {
            const qint64 category = ContentStore(query).addCategoryReturningId(QLatin1String(name));
            for (int i = 0; ok && i < count; ++i)
                ok = writer.add(category, QStringLiteral("%1 %2").arg(QLatin1String(name)).arg(i),
                                QStringLiteral("Answer %1").arg(i)).outcome == QuestionWriter::Outcome::Stored;
        }
    }
    ok = ok && db.commit();
    db.close();
    return ok;
}

// One process, then two at once, on one database; false when a room failed.
bool compare(const char* where, const Database::Location& location)
{
    std::printf("Two rooms on one %s (%d questions; each room: %d rounds of a draw and a score\n"
                "as the game makes it, %d members shared by the rooms)\n\n",
                where, questions, rounds, members);
    const QList<QList<double>> alone = run(location, 1);
    const QList<QList<double>> both = run(location, 2);
    if (alone.isEmpty() || both.isEmpty()) {
        std::printf("a room failed\n");
        return false;
    }
    const char* labels[] = {"draws per second", "draw, median (ms)", "draw, p90 (ms)", "score, median (ms)",
                            "score, p90 (ms)"};
    std::printf("%-24s %14s %14s %14s\n", "", "one process", "two: first", "two: second");
    for (int i = 0; i < 5; ++i)
        std::printf("%-24s %14.3f %14.3f %14.3f\n", labels[i], alone[0][i], both[0][i], both[1][i]);

    // A draw and a score each under 5 ms at the median, and at most twice
    // what one process alone takes.
    bool met = true;
    for (int i : {1, 3}) {
        for (const QList<double>& room : both)
            met = met && room[i] < 5 && room[i] <= 2 * alone[0][i];
    }
    std::printf("\ntarget (median draw and score under 5 ms, at most twice one process): %s\n\n",
                met ? "met" : "NOT met");
    return true;
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    // A worker never starts rooms of its own.
    if (argc > 1 && qstrcmp(argv[1], "--worker") == 0)
        return argc == 7 ? worker(app.arguments()) : 2;

    QTemporaryDir dir;
    Database::Location embedded;
    embedded.path = dir.filePath(Database::fileName);
    QString error;
    if (!Database::create(embedded, &error) || !seed(embedded)) {
        std::printf("no database: %s\n", qPrintable(error));
        return 1;
    }
    if (!compare("embedded database", embedded))
        return 1;

    FirebirdServer server;
    Database::Location remote;
    remote.server = server.host();
    remote.port = server.port();
    remote.path = server.dataDir() + QStringLiteral("/quiznewt.fdb");
    remote.user = server.user();
    remote.password = server.password();
    if (!server.isRunning() || !Database::create(remote, &error) || !seed(remote)) {
        std::printf("no server: %s %s\n", qPrintable(server.error()), qPrintable(error));
        return 1;
    }
    return compare("Firebird server on loopback", remote) ? 0 : 1;
}
