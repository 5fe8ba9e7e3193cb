// Opening the question editor on a large category, and deleting one.
// Prints the median and the spread of several runs.

#include <QApplication>
#include <QElapsedTimer>
#include <QProgressDialog>
#include <QPushButton>
#include <QSqlDatabase>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>
#include <cstdio>

#include "gui/messagebox.h"
#include "db/database.h"
#include "editor/dlgquestioneditor.h"
#include "tests/common/testdatabase.h"

namespace {

const int questions = 10000;

void report(const char* what, QList<double> values, const char* unit = "ms")
{
    std::sort(values.begin(), values.end());
    std::printf("%-44s runs %lld  median %8.1f %s  min %8.1f  max %8.1f\n", what,
                static_cast<long long>(values.size()), values.at(values.size() / 2), unit, values.first(),
                values.last());
    std::fflush(stdout);
}

}

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    MessageBox::setTestMode(true);

    TestDatabase db;
    if (!db.isValid()) {
        std::fprintf(stderr, "no database: %s\n", qPrintable(db.error()));
        return 1;
    }
    QString error;
    if (!Database::open(db.filePath(), QLatin1String(QSqlDatabase::defaultConnection), &error).isOpen()) {
        std::fprintf(stderr, "no connection: %s\n", qPrintable(error));
        return 1;
    }

    // "A big one" sorts first, so the editor opens on it.
    const qint64 big = db.addCategory(QStringLiteral("A big one"));
    db.addQuestions(big, questions);
    db.addCategory(QStringLiteral("Other"));

    QList<double> open;
    for (int run = 0; run < 7; ++run) {
        QElapsedTimer timer;
        timer.start();
        dlgQuestionEditor editor;
        editor.show();
        QCoreApplication::processEvents();
        open << timer.nsecsElapsed() / 1e6;
        if (editor.twContent->topLevelItemCount() != questions) {
            std::fprintf(stderr, "listed %d rows\n", editor.twContent->topLevelItemCount());
            return 1;
        }
    }
    report("open on a 10,000-question category", open);

    QList<double> removal;
    QList<double> steps;
    for (int run = 0; run < 5; ++run) {
        const qint64 doomed = db.addCategory(QStringLiteral("Doomed"));
        db.addQuestions(doomed, questions, QStringLiteral("Doomed %1").arg(run));
        dlgQuestionEditor editor;
        editor.show();
        editor.cbCategory->setCurrentIndex(editor.cbCategory->findText(QStringLiteral("Doomed")));

        int progressSteps = 0;
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if (editor.findChild<QProgressDialog*>())
                ++progressSteps;
        });
        watch.start(0);
        MessageBox::setNextAnswer(QMessageBox::Yes);
        QElapsedTimer timer;
        timer.start();
        editor.pbCatDelete->click();
        removal << timer.nsecsElapsed() / 1e6;
        watch.stop();
        steps << progressSteps;

        const int left = db.value(QStringLiteral("SELECT COUNT(*) FROM content c JOIN category_content cc ON "
                                                 "cc.contentID=c.contentID WHERE cc.catID=%1")
                                      .arg(doomed))
                             .toInt();
        if (left != 0 || !db.column(QStringLiteral("SELECT catID FROM category WHERE catID=%1").arg(doomed)).isEmpty()) {
            std::fprintf(stderr, "deletion incomplete: %d questions left\n", left);
            return 1;
        }
    }
    report("delete a 10,000-question category", removal);
    report("  event-loop turns during the deletion", steps, "turns");

    QSqlDatabase::database().close();
    QSqlDatabase::removeDatabase(QLatin1String(QSqlDatabase::defaultConnection));
    return 0;
}
