// Game timings on a real database: answer to success post, room lines per
// second, and the draw in categories of 1,000 to 100,000 questions.

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QVariant>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "gui/messagebox.h"
#include "app/quiznewt.h"
#include "db/playstore.h"
#include "game/game.h"
#include "tests/common/recordingroomlink.h"
#include "tests/common/testdatabase.h"


static double percentile(QList<double> values, double p)
{
    std::sort(values.begin(), values.end());
    return values.at(qMin(values.size() - 1, int(values.size() * p)));
}

static void report(const char* what, const QList<double>& ms)
{
    std::printf("%-44s median %8.3f ms   p90 %8.3f ms   max %8.3f ms   (n=%lld)\n", what, percentile(ms, 0.5),
                percentile(ms, 0.9), percentile(ms, 1.0), qlonglong(ms.size()));
}

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    isolateSettings();
    MessageBox::setTestMode(true);

    TestDatabase db;
    if (!db.isValid()) {
        std::printf("no database: %s\n", qPrintable(db.error()));
        return 1;
    }
    db.addUser(QStringLiteral("Host"), 0, 1, 0);
    db.addUser(QStringLiteral("Bob"), 0);
    db.addQuestion(db.addCategory(QStringLiteral("One")), QStringLiteral("Capital of France?"),
                   QStringLiteral("Paris"));
    const int sizes[] = {1000, 10000, 100000};
    for (int size : sizes)
        db.addQuestions(db.addCategory(QStringLiteral("Size%1").arg(size)), size);
    // Other categories around the measured ones, as in a real database.
    db.addQuestions(db.addCategory(QStringLiteral("Filler")), 5000, QStringLiteral("Filler"));
    db.makeInstallDir();

    auto* link = new RecordingRoomLink;
    QuizNewt window(link);
    Game& game = *window.game();
    game.setStartPause(0);
    QElapsedTimer clock;
    clock.start();

    std::printf("Game benchmarks (real embedded Firebird database)\n\n");

    // Answer latency: from the line reaching the game to the success post.
    {
        link->say(QStringLiteral("Host: !start One"));
        qint64 postedAt = 0;
        link->onPost = [&](const QString& text) {
            if (text.startsWith(QLatin1String("(*)")))
                postedAt = clock.nsecsElapsed();
        };
        QList<double> ms;
        for (int i = 0; i < 300; ++i) {
            game.nextQuestion();
            const qint64 start = clock.nsecsElapsed();
            emit link->lineSaid(QStringLiteral("Bob"), QStringLiteral("paris"));
            ms.append((postedAt - start) / 1e6);
            link->takePosts();
        }
        link->onPost = nullptr;
        report("correct answer to success post", ms);
    }

    // The question's statistics at its end, alone: part of the figure above
    // for an answer, all of the cost for a time-out.
    {
        PlayStore play(QSqlDatabase::database());
        QList<double> ms;
        for (int i = 0; i < 300; ++i) {
            const qint64 before = clock.nsecsElapsed();
            play.recordEnd(1 + i % 50, i % 2 ? PlayStore::End::Answered : PlayStore::End::TimedOut, 1234);
            ms.append((clock.nsecsElapsed() - before) / 1e6);
        }
        report("question end: statistics update", ms);
    }

    // Room chatter while a question is open: lines that are neither commands
    // nor the answer, judged each way.
    for (Quiz::Judging judging : {Quiz::Judging::Exact, Quiz::Judging::Lenient}) {
        game.setJudging(judging);
        game.nextQuestion();
        const int lines = 200000;
        const QString speaker = QStringLiteral("Player42");
        const QString guess = QStringLiteral("is it Lyon?");
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < lines; ++i) {
            emit link->lineSaid(speaker, guess);
        }
        const double seconds = timer.nsecsElapsed() / 1e9;
        std::printf("%-44s %10.0f lines/s (%d lines, question open: %s)\n",
                    qPrintable(QStringLiteral("wrong answers handled, %1").arg(Quiz::judgingName(judging))),
                    lines / seconds,
                    lines, game.answer() == QLatin1String("Paris") ? "yes" : "no");
        link->takePosts();
    }

    // Draw latency: each draw is a whole nextQuestion(), post included.
    for (int size : sizes) {
        const QString name = QStringLiteral("Size%1").arg(size);
        const qint64 start = clock.nsecsElapsed();
        link->say(QStringLiteral("Host: !start ") + name);
        const double startMs = (clock.nsecsElapsed() - start) / 1e6;
        QList<double> ms;
        for (int i = 0; i < 300; ++i) {
            const qint64 before = clock.nsecsElapsed();
            game.nextQuestion();
            ms.append((clock.nsecsElapsed() - before) / 1e6);
        }
        const QStringList posts = link->takePosts();
        if (posts.size() != 302 || !posts.last().startsWith(QLatin1String("Question"))) {
            std::printf("draw from %s failed: %s\n", qPrintable(name), qPrintable(posts.value(posts.size() - 1)));
            return 1;
        }
        report(qPrintable(QStringLiteral("draw, %1 questions").arg(size)), ms);
        std::printf("%-44s %8.1f ms (count, reading the question keys, first draw)\n",
                    qPrintable(QStringLiteral("  !start on %1 questions").arg(size)), startMs);
    }

    // For comparison, two ways that walk the category up to the row wanted:
    // seek() on the whole result, which converts every row before it, and
    // the engine skipping to it with ROWS.
    const QString fullDraw = QStringLiteral(
        "SELECT c.question, c.answer FROM content c INNER JOIN category_content cc ON c.contentID=cc.contentID "
        "INNER JOIN category cat ON cc.catID=cat.catID WHERE UPPER(cat.catName)=:catName");
    for (bool rows : {false, true}) {
        for (int size : sizes) {
            auto query = std::make_unique<QSqlQuery>(QSqlDatabase::database());
            QList<double> ms;
            for (int i = 0; i < 5; ++i) {
                const int row = size - 1 - i;
                const qint64 before = clock.nsecsElapsed();
                query->prepare(rows ? fullDraw + QStringLiteral(" ROWS :first TO :last") : fullDraw);
                query->bindValue(QStringLiteral(":catName"), QStringLiteral("SIZE%1").arg(size));
                if (rows) {
                    query->bindValue(QStringLiteral(":first"), row + 1);
                    query->bindValue(QStringLiteral(":last"), row + 1);
                }
                if (!query->exec() || !(rows ? query->next() : query->seek(row)))
                    return 1;
                ms.append((clock.nsecsElapsed() - before) / 1e6);
            }
            report(qPrintable(QStringLiteral("  %1 to a last row, %2 questions")
                                  .arg(rows ? QStringLiteral("ROWS") : QStringLiteral("seek()"))
                                  .arg(size)),
                   ms);
        }
    }
    return 0;
}
