// Opening the Scores page and the Users page with 10,000 members: from the
// click on the page button to the filled list, and to the list painted; and
// a keystroke in either page's filter to the narrowed list painted.

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include "gui/messagebox.h"
#include "app/quiznewt.h"
#include "tests/common/recordingroomlink.h"
#include "tests/common/testdatabase.h"

namespace {

bool seedMembers(const TestDatabase& db, int count)
{
    QSqlDatabase conn = db.connection();
    conn.transaction();
    {
        QSqlQuery insert(conn);
        insert.prepare(QStringLiteral("INSERT INTO users (username, score, hasControl, hasAdmin, userID) "
                                      "VALUES (?, ?, ?, ?, GEN_ID(AUTO_INC, 1))"));
        QRandomGenerator random(418);
        for (int i = 0; i < count; ++i) {
            // Names in no particular order, so the view's sort has work to do.
            insert.bindValue(0, QStringLiteral("player%1_%2").arg(random.bounded(1000000)).arg(i));
            insert.bindValue(1, random.bounded(20000));
            insert.bindValue(2, random.bounded(2));
            insert.bindValue(3, random.bounded(3));
            if (!insert.exec())
                return false;
        }
    }
    return conn.commit();
}

struct Figures
{
    std::vector<double> filled;
    std::vector<double> painted;
};

void report(const char* page, int members, Figures& f)
{
    std::sort(f.filled.begin(), f.filled.end());
    std::sort(f.painted.begin(), f.painted.end());
    std::printf("%s page, %d members, %zu runs: list filled median %.1f ms (min %.1f, max %.1f); "
                "painted median %.1f ms (min %.1f, max %.1f)\n",
                page, members, f.filled.size(), f.filled[f.filled.size() / 2], f.filled.front(), f.filled.back(),
                f.painted[f.painted.size() / 2], f.painted.front(), f.painted.back());
}

// Goes to Trivia, then clicks the page button; the slot fills the list
// before the click returns.
bool measure(QuizNewt& window, QPushButton* pageButton, QTreeWidget* list, int members, Figures& f)
{
    QTest::mouseClick(window.pbTrivia, Qt::LeftButton);
    QCoreApplication::processEvents();
    QElapsedTimer clock;
    clock.start();
    QTest::mouseClick(pageButton, Qt::LeftButton);
    f.filled.push_back(clock.nsecsElapsed() / 1e6);
    QCoreApplication::processEvents();
    list->viewport()->repaint();
    f.painted.push_back(clock.nsecsElapsed() / 1e6);
    return list->topLevelItemCount() == members;
}

// Types a name's start into the filter and takes it out again, key by key:
// narrowing hides rows, widening shows them again.
bool measureFilter(QPushButton* pageButton, QLineEdit* filter, QTreeWidget* list,
                   std::vector<double>& keystrokes)
{
    QTest::mouseClick(pageButton, Qt::LeftButton);
    QCoreApplication::processEvents();
    const QString typed = QStringLiteral("player12");
    const auto key = [&](char c) {
        QElapsedTimer clock;
        clock.start();
        if (c)
            QTest::keyClick(filter, c);
        else
            QTest::keyClick(filter, Qt::Key_Backspace);
        QCoreApplication::processEvents();
        list->viewport()->repaint();
        keystrokes.push_back(clock.nsecsElapsed() / 1e6);
    };
    for (const QChar c : typed)
        key(c.toLatin1());
    const auto shownRows = [list] {
        int shown = 0;
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            shown += !list->topLevelItem(i)->isHidden();
        return shown;
    };
    const int narrowed = shownRows();
    for (int i = 0; i < typed.size(); ++i)
        key(0);
    // Some rows, not all, pass the whole text; every row shows at the end.
    return narrowed > 0 && narrowed < list->topLevelItemCount() && shownRows() == list->topLevelItemCount();
}

}

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    isolateSettings();
    MessageBox::setTestMode(true);

    const int members = 10000;
    const int runs = 9;

    TestDatabase db;
    if (!db.isValid()) {
        std::fprintf(stderr, "no database: %s\n", qPrintable(db.error()));
        return 1;
    }
    QElapsedTimer seeding;
    seeding.start();
    if (!seedMembers(db, members)) {
        std::fprintf(stderr, "seeding failed\n");
        return 1;
    }
    db.makeInstallDir();
    std::printf("seeded %d members in %lld ms\n", members, seeding.elapsed());

    QuizNewt window(new RecordingRoomLink);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) {
        std::fprintf(stderr, "window never exposed\n");
        return 1;
    }

    Figures scores;
    Figures users;
    for (int run = 0; run < runs; ++run) {
        if (!measure(window, window.pbScores, window.twScoreList, members, scores)
            || !measure(window, window.pbUsers, window.twUsers, members, users)) {
            std::fprintf(stderr, "a list did not show every member\n");
            return 1;
        }
    }
    std::vector<double> keystrokes;
    for (int run = 0; run < 3; ++run) {
        if (!measureFilter(window.pbScores, window.leScoreFilter, window.twScoreList, keystrokes)
            || !measureFilter(window.pbUsers, window.leUserFilter, window.twUsers, keystrokes)) {
            std::fprintf(stderr, "a filter did not narrow its list\n");
            return 1;
        }
    }
    if (!MessageBox::takeShown().isEmpty()) {
        std::fprintf(stderr, "a page showed a message box\n");
        return 1;
    }
    report("Scores", members, scores);
    report("Users", members, users);
    std::sort(keystrokes.begin(), keystrokes.end());
    std::printf("filter keystroke at %d members: %.1f ms (median of %zu keystrokes on both pages; "
                "min %.1f, max %.1f)\n",
                members, keystrokes[keystrokes.size() / 2], keystrokes.size(), keystrokes.front(), keystrokes.back());
    return 0;
}
