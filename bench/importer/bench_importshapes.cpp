// quiznewt-import (and the importer window) on files shaped to hurt: many
// small YAML keys, 40 MB of one-character lines and of short question lines,
// a CSV of two million tiny rows, a 63 MB text file. Each
// runs in a process of its own on a fresh database; prints the file's size
// (MB of 2^20 bytes), the process's peak resident memory, its wall time and
// the lines it handled (imported or skipped) per second.
//
//   bench_importshapes [--timeout SECONDS] [--dry-run] [SHAPE...]
//
// A run that passes the time limit is stopped and reported as such.
// --dry-run has the tool read and check without storing, which leaves the
// engine's own speed out of the figures; the window's shapes are then left
// out.

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QTemporaryDir>
#include <QTextStream>

#include <csignal>
#include <cstdio>
#include <functional>
#include <thread>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include "db/database.h"
#include "gui/messagebox.h"
#include "importer/dlgtriviaimport.h"
#include "tests/common/testdatabase.h"

extern char** environ;

namespace {

struct Shape {
    const char* name;
    const char* what;
    QString fileName;
    std::function<void(QTextStream&)> write;
    bool window = false;
};

void writeText63(QTextStream& out)
{
    for (int n = 0; n < 832000; ++n)
        out << "Question number " << n << ": which number follows " << n << " times three?*Answer " << 3 * n + 1
            << '\n';
}

QList<Shape> shapes()
{
    return {
        {"yaml", "YAML, 500,000 keys", "keys.yaml",
         [](QTextStream& out) {
             for (int n = 0; n < 500000; ++n)
                 out << 'q' << n << ": [a" << n << "]\n";
         }},
        {"stars", "\"*\" lines, 20,000,000", "stars.txt",
         [](QTextStream& out) {
             for (int n = 0; n < 20000000; ++n)
                 out << "*\n";
         }},
        {"lines", "question*answer lines, 1,270,000", "lines.txt",
         [](QTextStream& out) {
             for (int n = 0; n < 1270000; ++n)
                 out << "Question " << n << "?*Answer " << n << '\n';
         }},
        {"csv", "CSV, 2,000,000 short rows", "short.csv",
         [](QTextStream& out) {
             out << "question,answer\n";
             for (int n = 0; n < 2000000; ++n)
                 out << "x\n";
         }},
        {"text63", "text lines, 63 MB", "text63.txt", writeText63},
        {"window", "importer window, 100,000 lines", "window.txt",
         [](QTextStream& out) {
             for (int n = 0; n < 100000; ++n)
                 out << "Window question " << n << "?*Answer " << n << '\n';
         },
         true},
        {"window63", "importer window, 63 MB of text", "window63.txt", writeText63, true},
    };
}

struct Run {
    bool finished = false;
    int exitCode = -1;
    double seconds = 0;
    long peakKb = 0;
};

// program with arguments, its output into outputFile; killed after timeoutS.
Run spawn(const QString& program, const QStringList& arguments, const QString& outputFile, int timeoutS)
{
    QList<QByteArray> args{QFile::encodeName(program)};
    for (const QString& argument : arguments)
        args << QFile::encodeName(argument);
    std::vector<char*> argv;
    for (QByteArray& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const QByteArray output = QFile::encodeName(outputFile);
    posix_spawn_file_actions_addopen(&actions, 1, output.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    Run run;
    pid_t pid = 0;
    QElapsedTimer clock;
    clock.start();
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        return run;
    }
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    rusage usage{};
    for (;;) {
        if (wait4(pid, &status, WNOHANG, &usage) == pid) {
            run.finished = true;
            break;
        }
        if (clock.elapsed() > qint64(timeoutS) * 1000) {
            kill(pid, SIGKILL);
            wait4(pid, &status, 0, &usage);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    run.seconds = clock.nsecsElapsed() / 1e9;
    run.peakKb = usage.ru_maxrss;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

// The window's part, in the child: load the file, show its one entry (as
// many rows as the window shows), import it all into a category. Prints the
// import's summary.
int windowImport(const QString& file)
{
    TestDatabase dest;
    QString error;
    if (!dest.isValid()
        || !Database::open(dest.filePath(), QLatin1String(QSqlDatabase::defaultConnection), &error).isOpen()) {
        std::printf("no database: %s %s\n", qPrintable(dest.error()), qPrintable(error));
        return 1;
    }
    dest.addCategory(QStringLiteral("Bench"));
    MessageBox::setTestMode(true);
    dlgTriviaImport dialog(nullptr);
    dialog.setSourceFile(file);
    const QList<MessageBox::Shown> refused = MessageBox::takeShown();
    if (!refused.isEmpty() || dialog.lwSourceTables->count() != 1) {
        std::printf("not loaded: %s\n", qPrintable(refused.value(0).text));
        return 1;
    }
    emit dialog.lwSourceTables->itemDoubleClicked(dialog.lwSourceTables->item(0));
    if (const QList<MessageBox::Shown> shown = MessageBox::takeShown(); !shown.isEmpty()) {
        std::printf("not shown: %s\n", qPrintable(shown.first().text));
        return 1;
    }
    dialog.lwDestTables->setCurrentItem(dialog.lwDestTables->findItems(QStringLiteral("Bench"), Qt::MatchExactly).value(0));
    dialog.pbImportAll->click();
    std::printf("%s\n", qPrintable(MessageBox::takeShown().value(0).text));
    return 0;
}

}

int main(int argc, char* argv[])
{
    if (argc == 3 && QByteArray(argv[1]) == "--window") {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        QApplication app(argc, argv);
        return windowImport(QFile::decodeName(argv[2]));
    }
    QCoreApplication app(argc, argv);
    isolateSettings();
    QStringList wanted = app.arguments().mid(1);
    int timeoutS = 600;
    if (wanted.size() >= 2 && wanted.first() == QLatin1String("--timeout")) {
        timeoutS = wanted.at(1).toInt();
        wanted = wanted.mid(2);
    }
    const bool dryRun = wanted.value(0) == QLatin1String("--dry-run");
    if (dryRun)
        wanted.removeFirst();

    QTemporaryDir dir;
    std::printf("%-40s %6s %8s %8s %9s  %s\n", "shape", "MB", "peak MB", "seconds", "lines/s", "outcome");
    for (const Shape& shape : shapes()) {
        if ((!wanted.isEmpty() && !wanted.contains(QLatin1String(shape.name))) || (dryRun && shape.window))
            continue;
        const QString path = dir.filePath(shape.fileName);
        {
            QFile file(path);
            if (!file.open(QIODevice::WriteOnly)) {
                std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
                return 1;
            }
            QTextStream out(&file);
            shape.write(out);
        }
        const qint64 bytes = QFile(path).size();

        TestDatabase db;
        if (!db.isValid()) {
            std::fprintf(stderr, "no database: %s\n", qPrintable(db.error()));
            return 1;
        }
        db.makeInstallDir();
        db.addCategory(QStringLiteral("Bench"));
        // The tool's process must be able to open the file.
        db.connection().close();
        const QString output = dir.filePath(QStringLiteral("output.txt"));
        const Run run = shape.window
            ? spawn(QCoreApplication::applicationFilePath(), {QStringLiteral("--window"), path}, output, timeoutS)
            : spawn(QStringLiteral(IMPORT_TOOL),
                    QStringList{QStringLiteral("--category"), QStringLiteral("Bench"), path}
                        + (dryRun ? QStringList{QStringLiteral("--dry-run")} : QStringList()),
                    output, timeoutS);

        QFile printed(output);
        const QString summary = printed.open(QIODevice::ReadOnly) ? QString::fromUtf8(printed.read(1 << 20)).trimmed()
                                                                  : QString();
        static const QRegularExpression counts(QStringLiteral("^\\S.*: (\\d+) imported, (\\d+) skipped"),
                                               QRegularExpression::MultilineOption);
        const QRegularExpressionMatch match = counts.match(summary);
        const double lines = match.hasMatch() ? match.captured(1).toDouble() + match.captured(2).toDouble() : 0;
        const QString outcome = !run.finished ? QStringLiteral("stopped after %1 s").arg(timeoutS)
            : match.hasMatch()               ? QStringLiteral("%1 imported, %2 skipped")
                                     .arg(match.captured(1), match.captured(2))
                                               : QStringLiteral("exit %1: %2")
                                                     .arg(run.exitCode)
                                                     .arg(summary.section(QLatin1Char('\n'), -1).left(110));
        std::printf("%-40s %6.1f %8.0f %8.1f %9.0f  %s\n", shape.what, bytes / 1048576.0, run.peakKb / 1024.0,
                    run.seconds, run.finished && lines > 0 ? lines / run.seconds : 0.0, qPrintable(outcome));
        std::fflush(stdout);
        QFile::remove(path);
    }
    return 0;
}
