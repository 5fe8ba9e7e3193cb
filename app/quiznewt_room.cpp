#include "app/quiznewt.h"

#include <QSettings>
#include <QTimer>

#include "app/roomdialog.h"
#include "quiz/replies.h"
#include "quiz/rules.h"
#include "roomlink/roomlink.h"

void QuizNewt::connectToRoom()
{
    if (!roomLink)
        return;
    // Room settings changed since the last Connect take effect now; the
    // link leaves the old place first.
    QSettings settings;
    roomLink->configure(settings);
    // Connect while already in the room greets again without dropping the link.
    if (roomLink->isJoined())
        sendToRoom(Replies::connected());
    else
        roomLink->join();
}

void QuizNewt::roomJoined()
{
    sendToRoom(Replies::connected());
    if (!playing)
        return;
    // Back after a lost connection: what the room missed is not timed as if
    // it had been seen. The open question is asked again with its full time;
    // a pause whose result never went out starts over.
    if (currentAnswer != Quiz::noAnswer)
        openQuestion(currentQuestion, currentAnswer, true);
    else if (!nextTimer->isActive())
        nextTimeout();
}

void QuizNewt::roomLost()
{
    // Nobody is there to see the question run out.
    answerTimer->stop();
    hintTimer->stop();
}

void QuizNewt::sendToRoom(QString text)
{
    // The link drops the text while no room is joined.
    if (roomLink)
        roomLink->post(text);
}

void QuizNewt::replyPrivately(const QString& speaker, const QString& text)
{
    if (roomLink)
        roomLink->postReply(speaker, text);
}

void QuizNewt::replyToRoom(const QString& speaker, const QString& text)
{
    if (roomLink)
        roomLink->postReply(speaker, text, true);
}

void QuizNewt::editRoom()
{
    RoomDialog dialog(this);
    dialog.exec();
}
