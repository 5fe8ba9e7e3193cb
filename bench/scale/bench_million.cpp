// The game and the operator's pages with a category of a million questions
// and one of a thousand, on a real embedded database built once and kept in
// the cache directory between runs. Prints "NAME: VALUE UNIT" lines.

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>

#include <algorithm>
#include <cstdio>

#include "db/database.h"
#include "game/clock.h"
#include "game/game.h"
#include "game/sqlgamestore.h"
#include "tests/common/recordingroomlink.h"
#include "tests/common/testdatabase.h"

namespace {

const int sizes[] = {1000, 1000000};

// Fills a category inside the engine: a million rows in one statement.
bool fill(QSqlDatabase db, const QString& category, int count, QString* error)
{
    QSqlQuery query(db);
    const QString block = QStringLiteral(
        "EXECUTE BLOCK AS DECLARE i INTEGER = 0; DECLARE id INTEGER; DECLARE cat INTEGER; BEGIN "
        "cat = GEN_ID(AUTO_INC, 1); INSERT INTO category (catID, catName) VALUES (:cat, '%1'); "
        "WHILE (i < %2) DO BEGIN id = GEN_ID(AUTO_INC, 1); "
        "INSERT INTO content (contentID, question, answer) VALUES (:id, 'Question ' || :i || ' of %1?', "
        "'Answer ' || :i); INSERT INTO category_content (catID, contentID) VALUES (:cat, :id); i = i + 1; END END")
                              .arg(category)
                              .arg(count);
    if (!query.exec(block)) {
        *error = query.lastError().text();
        return false;
    }
    return true;
}

// The database, built on the first run.
QString cachedDatabase(QString* error)
{
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation)
        + QStringLiteral("/quiznewt-bench/million");
    const QString path = dir + QLatin1Char('/') + Database::fileName;
    if (QFile::exists(path))
        return path;
    QDir().mkpath(dir);
    const QString building = path + QStringLiteral(".building");
    QFile::remove(building);
    if (!Database::create(building, error))
        return {};
    {
        QSqlDatabase db = Database::open(building, QStringLiteral("build"), error);
        bool ok = db.isOpen();
        for (int size : sizes)
            ok = ok && fill(db, QStringLiteral("Size%1").arg(size), size, error);
        {
            // The driver commits a block only when its query goes.
            QSqlQuery members(db);
            ok = ok
                && members.exec(QStringLiteral(
                    "EXECUTE BLOCK AS DECLARE i INTEGER = 0; BEGIN WHILE (i < 100000) DO BEGIN "
                    "INSERT INTO users (userID, username, score, hasControl, hasAdmin) VALUES (GEN_ID(AUTO_INC, 1), "
                    "'Member' || :i, MOD(:i * 7919, 1000), IIF(:i = 0, 1, 0), 0); i = i + 1; END END"));
            if (!ok && error->isEmpty())
                *error = members.lastError().text();
        }
        db.close();
        if (!ok)
            return {};
    }
    QSqlDatabase::removeDatabase(QStringLiteral("build"));
    return QFile::rename(building, path) ? path : QString();
}

qint64 residentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values.at(values.size() / 2);
}

}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    isolateSettings();
    QString error;
    QElapsedTimer built;
    built.start();
    const QString path = cachedDatabase(&error);
    if (path.isEmpty()) {
        std::printf("no database: %s\n", qPrintable(error));
        return 1;
    }
    std::fprintf(stderr, "database ready in %.1f s: %s\n", built.elapsed() / 1000.0, qPrintable(path));
    QSqlDatabase db = Database::open(path, QStringLiteral("game"), &error);
    if (!db.isOpen()) {
        std::printf("cannot open: %s\n", qPrintable(error));
        return 1;
    }
    Database::upgrade(db);

    RecordingRoomLink room;
    Game game(&room, std::make_unique<SqlGameStore>(db), Clock::system(), Quiz::standardRandom());
    game.setStartPause(0);
    QElapsedTimer clock;
    clock.start();
    for (int size : sizes) {
        const QString start = QStringLiteral("Member0: !start Size%1").arg(size);
        QList<double> starts;
        for (int i = 0; i < 5; ++i) {
            const qint64 before = clock.nsecsElapsed();
            room.say(start);
            starts.append((clock.nsecsElapsed() - before) / 1e6);
            if (game.answer() == Quiz::noAnswer) {
                std::printf("start at %d failed: %s\n", size, qPrintable(room.takePosts().join(QLatin1Char('|'))));
                return 1;
            }
        }
        std::printf("start at %d: %.1f ms\n", size, median(starts));
        // The draw alone, then the whole step to the next question: post,
        // timers and the room's row.
        QList<double> draws;
        QList<double> steps;
        for (int i = 0; i < 300; ++i) {
            GameStore::Drawn drawn;
            qint64 before = clock.nsecsElapsed();
            game.store().draw(QStringLiteral("Size%1").arg(size), &drawn);
            draws.append((clock.nsecsElapsed() - before) / 1e6);
            before = clock.nsecsElapsed();
            game.nextQuestion();
            steps.append((clock.nsecsElapsed() - before) / 1e6);
        }
        std::printf("draw at %d median: %.2f ms\n", size, median(draws));
        std::printf("next question at %d median: %.2f ms\n", size, median(steps));
        std::printf("game memory at %d: %.1f MB\n", size, residentKb() / 1024.0);
        room.takePosts();
        room.say(QStringLiteral("Member0: !quit"));
    }
    return 0;
}
