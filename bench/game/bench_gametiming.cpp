// The timing the room gets: through a real IRC server, with members asking
// for help all the time, how far the answer time, the hint and the pause the
// room sees stray from those set.

#include <QApplication>

#include <algorithm>
#include <cstdio>

#include "tests/common/gametiming.h"

static void report(const char* what, QList<qint64> ms)
{
    if (ms.isEmpty()) {
        std::printf("%-52s no samples\n", what);
        return;
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%-52s median %5lld ms   max %5lld ms   (n=%lld)\n", what, ms.at(ms.size() / 2), ms.last(),
                qlonglong(ms.size()));
}

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    RoomGame room(QStringLiteral("Capital of Peru?"), QStringLiteral("Lima"));
    if (!room.isReady()) {
        std::printf("no server or database: %s\n", qPrintable(room.error()));
        return 1;
    }

    const int answerMs = 4000;
    const int waitMs = 1000;
    const QList<QuestionTiming> timings = playWithRepliesWaiting(room.server.port(), answerMs / 1000, waitMs / 1000, 40, nullptr);
    QList<qint64> answer;
    QList<qint64> hint;
    QList<qint64> pause;
    for (const QuestionTiming& timing : timings) {
        answer.append(qAbs(timing.timedOut - answerMs));
        hint.append(qAbs(timing.hint - answerMs / 2));
        if (timing.pause >= 0)
            pause.append(qAbs(timing.pause - waitMs));
    }
    std::printf("Answer time 4 s, pause 1 s, three members asking for help every 0.7 s (ngircd, real flood limits)\n");
    report("answer time seen by the room, off by (target < 100)", answer);
    report("hint seen at half of it, off by", hint);
    report("pause seen by the room, off by", pause);
    return 0;
}
