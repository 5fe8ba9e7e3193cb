#include "tests/common/gametiming.h"

#include <QCheckBox>
#include <QPushButton>
#include <QScopeGuard>
#include <QSpinBox>
#include <QTest>
#include <QThread>

#include <atomic>
#include <memory>
#include <vector>

#include "app/quiznewt.h"
#include "gui/messagebox.h"
#include "tests/common/ircclient.h"

#include <QSettings>

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

QList<QuestionTiming> playWithRepliesWaiting(quint16 port, int answerSeconds, int waitSeconds, int seconds,
                                              QString* heard)
{
    // The listener runs on a thread of its own: the game's pause blocks the
    // main thread, so only a member elsewhere sees when lines really arrive.
    std::atomic<bool> listening{false};
    QStringList lines;
    QList<qint64> times;
    std::unique_ptr<QThread> listener(QThread::create([&] {
        IrcClient client;
        listening = client.connectAndJoin(port, "Listener", "#trivia");
        (void)QTest::qWaitFor(
            [&] { return !client.channelLines().filter(QStringLiteral("Trivia ended")).isEmpty(); }, 60000);
        for (int i = 0; i < client.channelLines().size(); ++i) {
            if (client.channelLines().at(i).startsWith(QLatin1String("QuizNewt: "))) {
                lines.append(client.channelLines().at(i).mid(10));
                times.append(client.channelTimes().at(i));
            }
        }
    }));
    listener->start();
    auto waitForListener = qScopeGuard([&] { listener->wait(); });
    if (!QTest::qWaitFor([&] { return listening.load(); }, 10000))
        return {};

    IrcClient host;
    std::vector<std::unique_ptr<IrcClient>> askers;
    for (const char* nick : {"Carol", "Dave", "Erin"}) {
        askers.push_back(std::make_unique<IrcClient>());
        if (!askers.back()->connectAndJoin(port, nick, "#trivia"))
            return {};
    }
    if (!host.connectAndJoin(port, "Host", "#trivia"))
        return {};
    QuizNewt window;
    window.sbAnswer->setValue(answerSeconds);
    window.sbWaitTime->setValue(waitSeconds);
    window.chkGiveAnswer->setChecked(true);
    window.pbConnect->click();
    if (!host.waitForChannelLines(1, 10000))
        return {};
    host.say(QStringLiteral("!start capitals"));
    for (int round = 0; round < seconds * 10 / 7; ++round) {
        for (auto& asker : askers)
            asker->say(QStringLiteral("!help"));
        QTest::qWait(700);
    }
    host.say(QStringLiteral("!quit"));
    // The window must go on serving the room while the listener hears the end.
    (void)QTest::qWaitFor([&] { return listener->isFinished(); }, 15000);

    // Question, hint, the result's two lines, then the next question.
    QList<QuestionTiming> timings;
    for (int i = 0; i + 3 < lines.size(); ++i) {
        if (!lines.at(i).startsWith(QLatin1String("Capital of")) || !lines.at(i + 1).startsWith(QLatin1String("Hint: "))
            || !lines.at(i + 2).startsWith(QLatin1String("Not answered")))
            continue;
        QuestionTiming timing;
        timing.hint = times.at(i + 1) - times.at(i);
        timing.timedOut = times.at(i + 2) - times.at(i);
        if (i + 4 < lines.size() && lines.at(i + 4).startsWith(QLatin1String("Capital of")))
            timing.pause = times.at(i + 4) - times.at(i + 3);
        timings.append(timing);
    }
    if (heard)
        *heard = lines.join(QLatin1Char('\n'));
    return timings;
}
