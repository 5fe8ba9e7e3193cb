#ifndef ROOMLINK_H
#define ROOMLINK_H

#include <QObject>
#include <QString>

#include <functional>

class QSettings;

// The program's one way into the chat room: find and join it, hand every
// room line on as pieces, post lines into it.
class RoomLink : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;
    ~RoomLink() override = default;

    // Joins the room; stateText() tells how far it got, or why not. Emits
    // joined() once the room has been entered, and again after each return
    // the link makes on its own.
    virtual void join() = 0;
    virtual bool isJoined() const = 0;
    // Posts one text to the whole room, exactly as it stands. onSent runs once
    // the text's last line has been written towards the room; never when the
    // text is dropped (no room joined, or the connection lost first).
    virtual void post(const QString& text, std::function<void()> onSent = {}) = 0;
    // Posts the reply to a member's command: privately to name, or to the
    // whole room when toRoom. Replies wait behind every post() and go whole,
    // in order per member; members take turns. The same reply asked again
    // while it waits goes once; one that does not fit the bounds is refused
    // whole and the member gets a short busy notice instead.
    virtual void postReply(const QString& name, const QString& text, bool toRoom = false) = 0;
    // Leaves the room; harmless when none was ever joined. Lines still waiting
    // go out first, but no onSent runs: the game is leaving too.
    virtual void leave() = 0;
    // Takes the "Room" group of settings for the next join. When it names
    // another place or login than the one in use, the link leaves the room
    // it is in and returns true. Links without settings of their own ignore it.
    virtual bool configure(QSettings& settings)
    {
        Q_UNUSED(settings);
        return false;
    }
    // The longest text one line of a post or reply may hold, in UTF-8 bytes,
    // so a list can be packed without being cut.
    virtual int textBytes(const QString& name, bool toRoom) const
    {
        Q_UNUSED(name);
        Q_UNUSED(toRoom);
        return 400;
    }
    // Whether the room should be greeted on the join just made: always when
    // the operator asked for it; on a return the link made on its own, as the
    // settings say.
    virtual bool greetsOnJoin() const { return true; }
    // One line for the operator: where the link is, or why it failed last.
    virtual QString stateText() const { return QString(); }

Q_SIGNALS:
    void joined();
    // The room was left without leave() being called: lost connection, kick.
    void lost();
    void stateChanged(const QString& text);
    // Each room line arrives as one or more pieces "speaker: text",
    // then a piece that is exactly "\n".
    void textCaptured(const QString& piece);
    // The same room line whole: who said it and what.
    void lineSaid(const QString& speaker, const QString& text);
};

// The room link of this platform: an IRC client configured by the "Room"
// group of the program's settings.
RoomLink* createIrcRoomLink(QSettings& settings, QObject* parent);

#endif
