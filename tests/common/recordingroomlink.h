#ifndef RECORDINGROOMLINK_H
#define RECORDINGROOMLINK_H

#include <QElapsedTimer>
#include <QList>
#include <QStringList>

#include <functional>
#include <utility>

#include "roomlink/roomlink.h"

// Stands in for the chat room: keeps every post with the time it was made and
// says lines into the room the way the real link hands them on.
class RecordingRoomLink : public RoomLink
{
public:
    RecordingRoomLink() { clock.start(); }

    void join() override
    {
        inRoom = true;
        emit joined();
    }
    bool isJoined() const override { return inRoom; }
    void post(const QString& text) override
    {
        posts.append(text);
        postTimes.append(clock.elapsed());
        // A hook may say lines from inside a post, as a room may deliver them.
        if (onPost)
            onPost(text);
    }
    void leave() override { inRoom = false; }

    void say(const QString& line)
    {
        emit textCaptured(line);
        emit textCaptured(QStringLiteral("\n"));
    }

    QStringList takePosts()
    {
        postTimes.clear();
        return std::exchange(posts, {});
    }

    QStringList posts;
    QList<qint64> postTimes;
    std::function<void(const QString&)> onPost;

private:
    QElapsedTimer clock;
    bool inRoom = true;
};

#endif
