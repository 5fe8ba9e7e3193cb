// The importer with large sources: loading the 5,000-row TriviaBot table into
// the source view, and Import All of a 10,000-question QuizNewt category,
// with how often the window got to handle events and repaint meanwhile.

#include <QApplication>
#include <QElapsedTimer>
#include <QProgressBar>
#include <QSqlDatabase>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "gui/messagebox.h"
#include "db/database.h"
#include "importer/dlgtriviaimport.h"
#include "tests/common/testdatabase.h"
#include "tests/importer/importertestutil.h"

namespace {

struct Figures {
    std::vector<double> values;
    void add(double v) { values.push_back(v); }
    void print(const char* what)
    {
        std::sort(values.begin(), values.end());
        std::printf("%s, %zu runs: median %.1f ms, min %.1f ms, max %.1f ms\n", what, values.size(),
                    values[values.size() / 2], values.front(), values.back());
    }
};

// Records when the progress bar was painted, to find the longest time the
// window went without repainting.
class PaintClock : public QObject
{
public:
    explicit PaintClock(QElapsedTimer* clock) : clock(clock) {}
    std::vector<qint64> paints;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            paints.push_back(clock->nsecsElapsed());
        return false;
    }

private:
    QElapsedTimer* clock;
};

}

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    MessageBox::setTestMode(true);

    TestDatabase dest;
    TestDatabase source;
    if (!dest.isValid() || !source.isValid()) {
        std::fprintf(stderr, "no database: %s %s\n", qPrintable(dest.error()), qPrintable(source.error()));
        return 1;
    }
    QString error;
    if (!Database::open(dest.filePath(), QLatin1String(QSqlDatabase::defaultConnection), &error).isOpen()) {
        std::fprintf(stderr, "cannot open the destination: %s\n", qPrintable(error));
        return 1;
    }
    const int questions = 10000;
    dest.addCategory(QStringLiteral("Imported"));
    source.addQuestions(source.addCategory(QStringLiteral("Big")), questions);

    Figures mdbLoad;
    for (int run = 0; run < 7; ++run) {
        dlgTriviaImport dialog(nullptr);
        dialog.setSourceFile(ImporterTest::fixture(QStringLiteral("large.mdb")));
        QListWidgetItem* table = ImporterTest::item(dialog.lwSourceTables, QStringLiteral("General"));
        if (!table) {
            std::fprintf(stderr, "large.mdb lists no General table\n");
            return 1;
        }
        QElapsedTimer clock;
        clock.start();
        emit dialog.lwSourceTables->itemDoubleClicked(table);
        mdbLoad.add(clock.nsecsElapsed() / 1e6);
        if (dialog.twSourceContent->topLevelItemCount() != 5000) {
            std::fprintf(stderr, "loaded %d rows instead of 5000\n", dialog.twSourceContent->topLevelItemCount());
            return 1;
        }
    }
    mdbLoad.print("load large.mdb's General (5,000 rows) into the source view");

    Figures fdbLoad;
    Figures importAll;
    Figures longestGap;
    std::vector<double> paintCounts;
    for (int run = 0; run < 3; ++run) {
        dlgTriviaImport dialog(nullptr);
        dialog.show();
        // Painting counts only once the window is on screen.
        (void)QTest::qWaitForWindowExposed(&dialog);
        dialog.rbQuizNewt->setChecked(true);
        dialog.setSourceFile(source.filePath());
        QElapsedTimer clock;
        clock.start();
        emit dialog.lwSourceTables->itemDoubleClicked(ImporterTest::item(dialog.lwSourceTables, "Big"));
        fdbLoad.add(clock.nsecsElapsed() / 1e6);
        if (dialog.twSourceContent->topLevelItemCount() != questions) {
            std::fprintf(stderr, "loaded %d rows instead of %d\n", dialog.twSourceContent->topLevelItemCount(),
                         questions);
            return 1;
        }
        dialog.lwDestTables->setCurrentItem(ImporterTest::item(dialog.lwDestTables, "Imported"));

        PaintClock paints(&clock);
        dialog.progressBar->installEventFilter(&paints);
        clock.restart();
        dialog.pbImportAll->click();
        const qint64 total = clock.nsecsElapsed();
        importAll.add(total / 1e6);
        const QList<MessageBox::Shown> shown = MessageBox::takeShown();
        if (shown.size() != 1 || shown[0].title != QStringLiteral("Import Done")) {
            std::fprintf(stderr, "import did not finish cleanly\n");
            return 1;
        }
        qint64 previous = 0;
        qint64 gap = 0;
        for (qint64 at : paints.paints) {
            gap = std::max(gap, at - previous);
            previous = at;
        }
        longestGap.add(gap / 1e6);
        paintCounts.push_back(double(paints.paints.size()));
    }
    const int stored = dest.value(QStringLiteral("SELECT COUNT(*) FROM category_content")).toInt();
    fdbLoad.print("load a 10,000-question QuizNewt category into the source view");
    importAll.print("Import All of 10,000 questions");
    longestGap.print("longest time without a progress bar repaint during Import All");
    std::printf("progress bar repaints per import: %.0f; links stored: %d (expected %d)\n", paintCounts.front(),
                stored, 3 * questions);
    return stored == 3 * questions ? 0 : 1;
}
