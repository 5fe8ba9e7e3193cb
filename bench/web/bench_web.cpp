// quiznewt-web with 10,000 members and 1,000,000 logged points, on a real
// embedded database built once a day and kept in the cache directory:
// requests per second and latency of /api/top?period=week over keep-alive
// connections, the first answer (the log read whole), the answer after a
// new point, and the other pages. Prints "NAME: VALUE UNIT" lines.

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include "bench/common/cacheddatabase.h"
#include "bench/common/resident.h"
#include "db/database.h"
#include "tests/common/serverprocess.h"
#include "tests/common/testdatabase.h"

namespace {

const int members = 10000;
const int points = 1000000;

// Points reach back 28 days, most of them recent: the product of two
// uniform numbers puts about 60 % in the last week. Members are skewed the
// same way, so the boards have leaders.
bool fill(QSqlDatabase db, QString* error)
{
    std::fprintf(stderr, "building %d members and %d points ...\n", members, points);
    QSqlQuery query(db);
    const QString membersBlock = QStringLiteral(
        "EXECUTE BLOCK AS DECLARE i INTEGER = 0; BEGIN WHILE (i < %1) DO BEGIN "
        "INSERT INTO users (userID, username, score) VALUES (GEN_ID(AUTO_INC, 1), 'Player' || LPAD(:i, 5, '0'), 0); "
        "i = i + 1; END END").arg(members);
    const QString pointsBlock = QStringLiteral(
        "EXECUTE BLOCK AS DECLARE i INTEGER = 0; BEGIN WHILE (i < %1) DO BEGIN "
        "INSERT INTO score_event (username, contentID, network, channel, scored_at) VALUES ("
        "'Player' || LPAD(CAST(FLOOR(RAND() * RAND() * %2) AS INTEGER), 5, '0'), 1, 'libera', '#trivia', "
        "DATEADD(-CAST(RAND() * RAND() * 28 * 86400 AS INTEGER) SECOND TO CURRENT_TIMESTAMP)); "
        "i = i + 1; END END").arg(points).arg(members);
    const QString scores = QStringLiteral(
        "UPDATE users u SET score = (SELECT COUNT(*) FROM score_event e WHERE UPPER(e.username) = UPPER(u.username))");
    for (const QString& statement : {membersBlock, pointsBlock, scores}) {
        // The driver commits a block only when its query goes.
        QSqlQuery run(db);
        if (!run.exec(statement)) {
            *error = run.lastError().text();
            return false;
        }
    }
    return true;
}

// Keep-alive connections, each sending its next request when the answer to
// the last is whole; every answer's time from request to last byte.
class Client
{
public:
    Client(quint16 port, const QByteArray& path)
        : request("GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n")
    {
        socket.connectToHost(QHostAddress::LocalHost, port);
        socket.waitForConnected(5000);
        QObject::connect(&socket, &QTcpSocket::readyRead, [this] { read(); });
    }

    void send()
    {
        buffer.clear();
        sent.start();
        socket.write(request);
    }

    std::vector<double> latencies;
    int remaining = 0;
    int failed = 0;

private:
    void read()
    {
        buffer += socket.readAll();
        const qsizetype end = buffer.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        const qsizetype at = buffer.toLower().indexOf("content-length:");
        const qsizetype lineEnd = buffer.indexOf("\r\n", at);
        const qsizetype length = at < 0 ? 0 : buffer.mid(at + 15, lineEnd - at - 15).trimmed().toLongLong();
        if (buffer.size() < end + 4 + length)
            return;
        latencies.push_back(sent.nsecsElapsed() / 1e6);
        if (!buffer.startsWith("HTTP/1.1 200"))
            ++failed;
        if (--remaining > 0)
            send();
    }

    QTcpSocket socket;
    QByteArray request;
    QByteArray buffer;
    QElapsedTimer sent;
};

struct Run
{
    double perSecond = 0;
    double median = 0;
    double p99 = 0;
    int failed = 0;
};

Run measure(quint16 port, const QByteArray& path, int connections, int requests)
{
    std::vector<std::unique_ptr<Client>> clients;
    for (int i = 0; i < connections; ++i) {
        clients.push_back(std::make_unique<Client>(port, path));
        clients.back()->remaining = requests / connections;
    }
    QElapsedTimer wall;
    wall.start();
    for (auto& client : clients)
        client->send();
    auto busy = [&] {
        return std::any_of(clients.begin(), clients.end(), [](const auto& c) { return c->remaining > 0; });
    };
    while (busy() && wall.elapsed() < 120000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    const double seconds = wall.nsecsElapsed() / 1e9;
    std::vector<double> all;
    Run run;
    for (const auto& client : clients) {
        all.insert(all.end(), client->latencies.begin(), client->latencies.end());
        run.failed += client->failed + client->remaining;
    }
    std::sort(all.begin(), all.end());
    if (!all.empty()) {
        run.perSecond = all.size() / seconds;
        run.median = all[all.size() / 2];
        run.p99 = all[all.size() * 99 / 100];
    }
    return run;
}

}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    isolateSettings();
    QString error;
    QElapsedTimer clock;
    clock.start();
    // Built anew each day: the points are placed relative to the day they were made.
    const QString path = cachedBenchDatabase(QStringLiteral("web"), QDate::currentDate().toString(Qt::ISODate).toLatin1(),
                                             fill, &error, true);
    if (path.isEmpty()) {
        std::printf("no database: %s\n", qPrintable(error));
        return 1;
    }
    std::fprintf(stderr, "database ready in %.1f s: %s\n", clock.elapsed() / 1000.0, qPrintable(path));
    QSettings(QStringLiteral("NewtLiberty"), QStringLiteral("QuizNewt"))
        .setValue(QStringLiteral("InstallDir"), QFileInfo(path).absolutePath());

    QProcess web;
    const quint16 port = freeLoopbackPort();
    clock.restart();
    if (!startServerProcess(web, QStringLiteral(QUIZNEWT_WEB), {"--listen", QStringLiteral("127.0.0.1:%1").arg(port)},
                            port, 120000, &error)) {
        std::printf("quiznewt-web did not start: %s\n", qPrintable(error));
        return 1;
    }
    // The program reads the log in whole as it opens the database.
    const Run first = measure(port, "/api/top?period=week", 1, 1);
    std::printf("first answer, log read whole: %.0f ms (start to answer %.0f ms)\n", first.median,
                clock.nsecsElapsed() / 1e6);
    std::printf("web process resident: %lld kB\n", residentKb(web.processId()));

    for (int connections : {1, 4, 16}) {
        const Run run = measure(port, "/api/top?period=week", connections, 20000);
        std::printf("/api/top?period=week, %d connections: %.0f requests/s, median %.2f ms, 99th %.2f ms, "
                    "%d failed\n",
                    connections, run.perSecond, run.median, run.p99, run.failed);
    }

    // A new point: the next look at the log reads its last minute again.
    QSqlDatabase db = Database::open(path, QStringLiteral("writer"), &error);
    QSqlQuery point(db);
    if (!point.exec(QStringLiteral("INSERT INTO score_event (username, contentID, network, channel, scored_at) "
                                   "VALUES ('Player00001', 1, 'libera', '#trivia', CURRENT_TIMESTAMP)"))) {
        std::printf("cannot log a point: %s\n", qPrintable(point.lastError().text()));
        return 1;
    }
    QTest::qWait(1100);
    std::printf("first answer after a new point: %.2f ms\n", measure(port, "/api/top?period=week", 1, 1).median);

    for (const char* page : {"/", "/api/rooms", "/api/top?period=all", "/api/player/Player00001", "/player/Player00001",
                             "/health"}) {
        const Run run = measure(port, page, 1, 200);
        std::printf("%s: median %.2f ms, 99th %.2f ms, %d failed\n", page, run.median, run.p99, run.failed);
    }
    stopServerProcess(web);
    return 0;
}
