#ifndef ROOMLINK_H
#define ROOMLINK_H

#include <QObject>
#include <QString>

class QSettings;

// The program's one way into the chat room: find and join it, hand every
// room line on as pieces, post lines into it.
class RoomLink : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;
    ~RoomLink() override = default;

    // Joins the room, or does nothing visible when it cannot be reached.
    // Emits joined() once the room has been entered.
    virtual void join() = 0;
    virtual bool isJoined() const = 0;
    // Posts one text; dropped while no room is joined.
    virtual void post(const QString& text) = 0;
    // Leaves the room; harmless when none was ever joined.
    virtual void leave() = 0;

Q_SIGNALS:
    void joined();
    // Each room line arrives as one or more pieces "speaker: text",
    // then a piece that is exactly "\n".
    void textCaptured(const QString& piece);
};

// The room link of this platform: an IRC client configured by the "Room"
// group of the program's settings.
RoomLink* createIrcRoomLink(QSettings& settings, QObject* parent);

#endif
