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

#include "app/quiznewt.h"
#include "gui/messagebox.h"
#include "tests/common/ircclient.h"

RoomGame::RoomGame(const QString& question, const QString& answer)
{
    isolateSettings();
    MessageBox::setTestMode(true);
    if (!isReady())
        return;
    db.addUser(QStringLiteral("Host"), 0, 1, 1);
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
    window.chkGiveAnswer->setChecked(false);
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
