// Start-up of the main window on a database of 100,000 questions: from
// constructing the window to its first exposure on screen.

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "gui/messagebox.h"
#include "app/quiznewt.h"
#include "roomlink/roomlink.h"
#include "tests/common/testdatabase.h"

namespace {

class IdleRoomLink : public RoomLink
{
public:
    void join() override {}
    bool isJoined() const override { return false; }
    void post(const QString&, std::function<void()>) override {}
    void postReply(const QString&, const QString&, bool) override {}
    void leave() override {}
};

}

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    isolateSettings();
    MessageBox::setTestMode(true);

    const int questions = 100000;
    const int runs = 9;

    TestDatabase db;
    if (!db.isValid()) {
        std::fprintf(stderr, "no database: %s\n", qPrintable(db.error()));
        return 1;
    }
    QElapsedTimer seeding;
    seeding.start();
    db.addQuestions(db.addCategory(QStringLiteral("General")), questions);
    db.makeInstallDir();
    std::printf("seeded %d questions in %lld ms\n", questions, seeding.elapsed());

    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer clock;
        clock.start();
        auto* window = new QuizNewt(new IdleRoomLink);
        window->show();
        if (!QTest::qWaitForWindowExposed(window)) {
            std::fprintf(stderr, "window never exposed\n");
            return 1;
        }
        times.push_back(clock.nsecsElapsed() / 1e6);
        if (!MessageBox::takeShown().isEmpty()) {
            std::fprintf(stderr, "start-up showed a message box\n");
            return 1;
        }
        delete window;
        QCoreApplication::processEvents();
    }

    std::sort(times.begin(), times.end());
    std::printf("start-up to window shown, %d questions, %d runs: median %.1f ms, min %.1f ms, max %.1f ms\n",
                questions, runs, times[times.size() / 2], times.front(), times.back());
    return 0;
}
