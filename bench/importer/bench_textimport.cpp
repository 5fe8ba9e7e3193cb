// quiznewt-import on 100,000-question files, beside the engine's own limit
// measured in the same run: the same rows through one prepared INSERT ...
// RETURNING, its link and its further answers, all in one transaction. Two
// files: question*answer lines, and a YAML list of three answers a question
// (the first the answer, two accepted). Each run gets a fresh database.
// Prints the tool's wall time and its peak resident memory.

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

// Accepted answers differ from the answer, and each other, in more than case.
QStringList furtherAnswers(int n)
{
    return {QStringLiteral("Reply %1").arg(3 * n + 1), QStringLiteral("Response %1").arg(3 * n + 1)};
}

struct Shape {
    const char* name;
    QString fileName;
    bool further; // two accepted answers a question
};

QByteArray fileText(const Shape& shape)
{
    QByteArray text;
    for (int n = 0; n < questions; ++n) {
        if (!shape.further) {
            text += (question(n) + QLatin1Char('*') + answer(n) + QLatin1Char('\n')).toUtf8();
            continue;
        }
        // The question quoted: it holds ": " and "*".
        text += (QLatin1Char('"') + question(n) + QStringLiteral("\":\n- ") + answer(n) + QLatin1Char('\n')).toUtf8();
        for (const QString& further : furtherAnswers(n))
            text += (QStringLiteral("- ") + further + QLatin1Char('\n')).toUtf8();
    }
    return text;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The rows straight into the engine; milliseconds, or -1.
double engineLimit(TestDatabase& db, bool further)
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
        QSqlQuery accept(connection);
        const QString addAccepted =
            QStringLiteral("INSERT INTO content_answer (contentID, answer) VALUES (:contentID, :answer)");
        if (!insert.prepare(Statements::addContent) || !link.prepare(Statements::addLink) || !accept.prepare(addAccepted))
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
            if (!further)
                continue;
            for (const QString& text : furtherAnswers(n)) {
                accept.bindValue(QStringLiteral(":contentID"), insert.value(0));
                accept.bindValue(QStringLiteral(":answer"), text);
                if (!accept.exec())
                    return -1;
            }
        }
    }
    if (!connection.commit())
        return -1;
    return clock.nsecsElapsed() / 1e6;
}

// Prints one shape's figures; false when a run failed.
bool measure(const Shape& shape, const QString& file)
{
    std::vector<double> limit;
    std::vector<double> tool;
    for (int run = 0; run < runs; ++run) {
        TestDatabase direct;
        TestDatabase target;
        if (!direct.isValid() || !target.isValid()) {
            std::fprintf(stderr, "no database: %s %s\n", qPrintable(direct.error()), qPrintable(target.error()));
            return false;
        }
        limit.push_back(engineLimit(direct, shape.further));
        if (limit.back() < 0) {
            std::fprintf(stderr, "the direct insert failed: %s\n", qPrintable(direct.connection().lastError().text()));
            return false;
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
            return false;
        }
        tool.push_back(clock.nsecsElapsed() / 1e6);
        const QByteArray summary = process.readAllStandardOutput();
        const int accepted = shape.further ? 2 * questions : 0;
        if (!target.connection().open()
            || target.value(QStringLiteral("SELECT COUNT(*) FROM category_content")).toInt() != questions
            || target.value(QStringLiteral("SELECT COUNT(*) FROM content_answer")).toInt() != accepted) {
            std::fprintf(stderr, "the tool did not store every question and answer: %s\n", summary.constData());
            return false;
        }
    }

    const double toolMs = median(tool);
    const double limitMs = median(limit);
    std::printf("%s: 100,000 questions, %d runs each (median):\n", shape.name, runs);
    for (int run = 0; run < runs; ++run)
        std::printf("  run %d: quiznewt-import %.0f ms, engine limit %.0f ms\n", run + 1, tool[run], limit[run]);
    std::printf("  quiznewt-import, whole run:            %8.0f ms\n", toolMs);
    std::printf("  engine limit, one transaction:         %8.0f ms\n", limitMs);
    std::printf("  ratio: %.2f (target <= 1.30)", toolMs / limitMs);
    if (!shape.further)
        std::printf("; under 10 s: %s", toolMs < 10000 ? "yes" : "no");
    std::printf("\n");
    return true;
}

}

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    isolateSettings();

    QTemporaryDir dir;
    const QList<Shape> shapes = {
        {"question*answer lines", QStringLiteral("questions.txt"), false},
        {"YAML list, three answers a question", QStringLiteral("questions.yaml"), true},
    };
    for (const Shape& shape : shapes) {
        const QString file = dir.filePath(shape.fileName);
        QFile out(file);
        if (!out.open(QIODevice::WriteOnly) || out.write(fileText(shape)) < 0) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
            return 1;
        }
        out.close();
        if (!measure(shape, file))
            return 1;
    }

    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    std::printf("quiznewt-import peak resident memory: %ld MB (target < 200 MB)\n", usage.ru_maxrss / 1024);
    return 0;
}
