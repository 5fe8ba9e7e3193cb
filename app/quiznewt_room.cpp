#include "quiznewt.h"

#include "roomlink/roomlink.h"

void QuizNewt::connectToRoom()
{
    if (!roomLink)
        return;
    // Connect while already in the room greets again without dropping the link.
    if (roomLink->isJoined())
        roomJoined();
    else
        roomLink->join();
}

void QuizNewt::roomJoined()
{
    sendToRoom(QStringLiteral("(O) QuizNewt Connected (O)"));
}

void QuizNewt::sendToRoom(QString text)
{
    // The link drops the text while no room is joined.
    if (roomLink)
        roomLink->post(text);
}
