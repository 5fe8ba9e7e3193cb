#ifndef RECORDINGROOMLINK_H
#define RECORDINGROOMLINK_H

#include <QList>
#include <QStringList>

#include <functional>
#include <utility>

#include "roomlink/roomlink.h"

// Stands in for the chat room: keeps every post and says lines into the room
// as the real link hands them on. A private reply is kept as "/msg NAME
// TEXT". While holding, the room has not seen the game's posts yet: their
// onSent waits for release().
class RecordingRoomLink : public RoomLink
{
public:
    void join() override
    {
        inRoom = true;
        emit joined();
    }
    bool isJoined() const override { return inRoom; }
    bool greetsOnJoin() const override { return greets; }
    void post(const QString& text, std::function<void()> onSent = {}) override
    {
        record(text);
        if (!onSent)
            return;
        if (holding)
            held.append(std::move(onSent));
        else
            onSent();
    }
    void postReply(const QString& name, const QString& text, bool toRoom = false) override
    {
        record(toRoom ? text : QStringLiteral("/msg ") + name + QLatin1Char(' ') + text);
    }
    void leave() override { inRoom = false; }

    // "speaker: text", as a member says it in the room.
    void say(const QString& line)
    {
        emit lineSaid(line.section(QLatin1Char(':'), 0, 0), line.section(QLatin1Char(':'), 1));
    }
    void release()
    {
        holding = false;
        for (auto& onSent : std::exchange(held, {}))
            onSent();
    }

    QStringList takePosts() { return std::exchange(posts, {}); }

    QStringList posts;
    std::function<void(const QString&)> onPost;
    bool holding = false;
    bool greets = true;

private:
    void record(const QString& text)
    {
        posts.append(text);
        // A hook may say lines from inside a post, as a room may deliver them.
        if (onPost)
            onPost(text);
    }

    QList<std::function<void()>> held;
    bool inRoom = true;
};

#endif
