#ifndef GAMETIMING_H
#define GAMETIMING_H

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

#include "tests/common/ngircdserver.h"
#include "tests/common/testdatabase.h"

class IrcClient;
class QuizNewt;

// A real room (ngircd on loopback) and a real database with one question in
// the category "Capitals" and a host with the control and admin rights; the
// settings point QuizNewt at both.
struct RoomGame {
    RoomGame(const QString& question, const QString& answer);
    bool isReady() const { return server.isRunning() && db.isValid(); }
    QString error() const { return server.error() + db.error(); }

    NgircdServer server;
    TestDatabase db;
};

// What QuizNewt said in the room, its "QuizNewt: " taken off, and when each
// line arrived, in ms.
struct HeardInRoom {
    QStringList lines;
    QList<qint64> times;
};

// A real game in a real room: QuizNewt (a main window configured by the
// settings, which must name the database and the server's port; the answer
// time and the pause set on its Settings page, the answer kept back) joins,
// Host starts the category "Capitals", play runs, and Host ends the game. Bob, on
// a thread of its own, notes what QuizNewt says and when, and says reply once
// it hears a line starting with cue. Nothing heard when the room failed.
HeardInRoom playInRoom(quint16 port, int answerSeconds, int waitSeconds,
                       const std::function<void(QuizNewt& window, IrcClient& host)>& play, const QString& cue = {},
                       const QString& reply = {});

#endif
