// quiznewt-import on a 100,000-question file, beside the engine's own limit
// measured in the same run: the same rows through one prepared INSERT ...
// RETURNING and its link, all in one transaction. Each run gets a fresh
// database. Prints the tool's wall time and its peak resident memory.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "db/statements.h"
#include "tests/common/testdatabase.h"

namespace {

constexpr int questions = 100000;
constexpr int runs = 3;

QString question(int n)
{
    return QStringLiteral("Question %1: which number follows %2 * 3?").arg(n).arg(n);
}

QString answer(int n)
{
    return QStringLiteral("Answer %1").arg(3 * n + 1);
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The rows straight into the engine; milliseconds, or -1.
double engineLimit(TestDatabase& db)
{
    const qint64 catId = db.addCategory(QStringLiteral("Bench"));
    QSqlDatabase connection = db.connection();
    QElapsedTimer clock;
    clock.start();
    if (!connection.transaction())
        return -1;
    {
        QSqlQuery insert(connection);
        QSqlQuery link(connection);
        if (!insert.prepare(Statements::addContent) || !link.prepare(Statements::addLink))
            return -1;
        for (int n = 0; n < questions; ++n) {
            insert.bindValue(QStringLiteral(":question"), question(n));
            insert.bindValue(QStringLiteral(":answer"), answer(n));
            if (!insert.exec() || !insert.next())
                return -1;
            link.bindValue(QStringLiteral(":catID"), catId);
            link.bindValue(QStringLiteral(":contentID"), insert.value(0));
            if (!link.exec())
                return -1;
        }
    }
    if (!connection.commit())
        return -1;
    return clock.nsecsElapsed() / 1e6;
}

}

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    isolateSettings();

    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("questions.txt"));
    {
        QFile out(file);
        if (!out.open(QIODevice::WriteOnly)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
            return 1;
        }
        QByteArray text;
        for (int n = 0; n < questions; ++n)
            text += (question(n) + QLatin1Char('*') + answer(n) + QLatin1Char('\n')).toUtf8();
        out.write(text);
    }

    std::vector<double> limit;
    std::vector<double> tool;
    for (int run = 0; run < runs; ++run) {
        TestDatabase direct;
        TestDatabase target;
        if (!direct.isValid() || !target.isValid()) {
            std::fprintf(stderr, "no database: %s %s\n", qPrintable(direct.error()), qPrintable(target.error()));
            return 1;
        }
        limit.push_back(engineLimit(direct));
        if (limit.back() < 0) {
            std::fprintf(stderr, "the direct insert failed: %s\n", qPrintable(direct.connection().lastError().text()));
            return 1;
        }

        // The tool's process must be able to open the file.
        target.connection().close();
        target.makeInstallDir();
        QProcess process;
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QElapsedTimer clock;
        clock.start();
        process.start(QStringLiteral(IMPORT_TOOL),
                      {QStringLiteral("--category"), QStringLiteral("Bench"), QStringLiteral("--create-category"), file});
        if (!process.waitForFinished(300000) || process.exitCode() != 0) {
            std::fprintf(stderr, "the tool failed: %s\n", process.readAllStandardOutput().constData());
            return 1;
        }
        tool.push_back(clock.nsecsElapsed() / 1e6);
        const QByteArray summary = process.readAllStandardOutput();
        if (!target.connection().open()
            || target.value(QStringLiteral("SELECT COUNT(*) FROM category_content")).toInt() != questions) {
            std::fprintf(stderr, "the tool did not store every question: %s\n", summary.constData());
            return 1;
        }
    }

    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    const double toolMs = median(tool);
    const double limitMs = median(limit);
    std::printf("100,000 questions, %d runs each (median):\n", runs);
    for (int run = 0; run < runs; ++run)
        std::printf("  run %d: quiznewt-import %.0f ms, engine limit %.0f ms\n", run + 1, tool[run], limit[run]);
    std::printf("  quiznewt-import, whole run:            %8.0f ms\n", toolMs);
    std::printf("  engine limit, one transaction:         %8.0f ms\n", limitMs);
    std::printf("  ratio: %.2f (target <= 1.30); under 10 s: %s\n", toolMs / limitMs, toolMs < 10000 ? "yes" : "no");
    std::printf("  quiznewt-import peak resident memory: %ld MB (target < 200 MB)\n", usage.ru_maxrss / 1024);
    return 0;
}
