#include "tests/common/gametiming.h"

#include <QCheckBox>
#include <QPushButton>
#include <QScopeGuard>
#include <QSettings>
#include <QSpinBox>
#include <QTest>
#include <QThread>

#include <atomic>
#include <memory>
#include <vector>

#include "app/quiznewt.h"
#include "gui/messagebox.h"
#include "tests/common/ircclient.h"

RoomGame::RoomGame(const QString& question, const QString& answer)
{
    isolateSettings();
    MessageBox::setTestMode(true);
    if (!isReady())
        return;
    db.addUser(QStringLiteral("Host"), 0, 1, 0);
    db.addQuestion(db.addCategory(QStringLiteral("Capitals")), question, answer);
    db.makeInstallDir();
    QSettings(QStringLiteral("NewtLiberty"), QStringLiteral("QuizNewt"))
        .setValue(QStringLiteral("Room/Port"), server.port());
}

HeardInRoom playInRoom(quint16 port, int answerSeconds, int waitSeconds,
                       const std::function<void(QuizNewt& window, IrcClient& host)>& play, const QString& cue,
                       const QString& reply)
{
    // Bob runs on a thread of his own, so he hears lines when they really
    // arrive, whatever the main thread is doing.
    std::atomic<bool> listening{false};
    HeardInRoom heard;
    std::unique_ptr<QThread> bob(QThread::create([&] {
        IrcClient client;
        listening = client.connectAndJoin(port, "Bob", "#trivia");
        const auto hear = [&](const QString& start) {
            return QTest::qWaitFor([&] { return !client.channelLines().filter(start).isEmpty(); }, 60000);
        };
        if (!cue.isEmpty() && hear(QStringLiteral("QuizNewt: ") + cue))
            client.say(reply);
        (void)hear(QStringLiteral("QuizNewt: (O) Trivia ended"));
        for (int i = 0; i < client.channelLines().size(); ++i) {
            if (client.channelLines().at(i).startsWith(QLatin1String("QuizNewt: "))) {
                heard.lines.append(client.channelLines().at(i).mid(10));
                heard.times.append(client.channelTimes().at(i));
            }
        }
    }));
    bob->start();
    auto waitForBob = qScopeGuard([&] { bob->wait(); });
    IrcClient host;
    if (!QTest::qWaitFor([&] { return listening.load(); }, 10000) || !host.connectAndJoin(port, "Host", "#trivia"))
        return {};
    QuizNewt window;
    window.sbAnswer->setValue(answerSeconds);
    window.sbWaitTime->setValue(waitSeconds);
    window.chkGiveAnswer->setChecked(true);
    window.pbConnect->click();
    if (!host.waitForChannelLines(1, 10000))
        return {};
    host.say(QStringLiteral("!start capitals"));
    play(window, host);
    host.say(QStringLiteral("!quit"));
    // The window must go on serving the room while Bob hears the end.
    (void)QTest::qWaitFor([&] { return bob->isFinished(); }, 15000);
    bob->wait();
    return heard;
}

QList<QuestionTiming> playWithRepliesWaiting(quint16 port, int answerSeconds, int waitSeconds, int seconds,
                                              QString* heardText)
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
    if (heardText)
        *heardText = lines.join(QLatin1Char('\n'));
    return timings;
}
