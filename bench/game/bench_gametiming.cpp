// The timing the room gets: through a real IRC server, with members asking
// for help all the time, how far the answer time, the hint and the pause the
// room sees stray from those set.

#include <QApplication>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include "tests/common/gametiming.h"
#include "tests/common/ircclient.h"

// What the room sees of one question, in ms after the question's line.
struct QuestionTiming {
    qint64 hint = -1;
    qint64 timedOut = -1;
    // From the result's last line to the next question; -1 after the last.
    qint64 pause = -1;
};

// playInRoom() for about `seconds` while three members ask for help every
// 0.7 s. Every question runs out unanswered.
static QList<QuestionTiming> playWithRepliesWaiting(quint16 port, int answerSeconds, int waitSeconds, int seconds)
{
    std::vector<std::unique_ptr<IrcClient>> askers;
    for (const char* nick : {"Carol", "Dave", "Erin"}) {
        askers.push_back(std::make_unique<IrcClient>());
        if (!askers.back()->connectAndJoin(port, nick, "#trivia"))
            return {};
    }
    const HeardInRoom heard = playInRoom(port, answerSeconds, waitSeconds, [&](QuizNewt&, IrcClient&) {
        for (int round = 0; round < seconds * 10 / 7; ++round) {
            for (auto& asker : askers)
                asker->say(QStringLiteral("!help"));
            QTest::qWait(700);
        }
    });
    const QStringList& lines = heard.lines;
    // Question, hint, the result's two lines, then the next question.
    QList<QuestionTiming> timings;
    for (int i = 0; i + 3 < lines.size(); ++i) {
        if (!lines.at(i).startsWith(QLatin1String("Capital of")) || !lines.at(i + 1).startsWith(QLatin1String("Hint: "))
            || !lines.at(i + 2).startsWith(QLatin1String("Not answered")))
            continue;
        QuestionTiming timing;
        timing.hint = heard.times.at(i + 1) - heard.times.at(i);
        timing.timedOut = heard.times.at(i + 2) - heard.times.at(i);
        if (i + 4 < lines.size() && lines.at(i + 4).startsWith(QLatin1String("Capital of")))
            timing.pause = heard.times.at(i + 4) - heard.times.at(i + 3);
        timings.append(timing);
    }
    return timings;
}

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
    const QList<QuestionTiming> timings = playWithRepliesWaiting(room.server.port(), answerMs / 1000, waitMs / 1000, 40);
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
