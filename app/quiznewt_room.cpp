#include "app/quiznewt.h"

#include <QSettings>

#include "app/roomdialog.h"
#include "game/game.h"
#include "roomlink/roomlink.h"

void QuizNewt::connectToRoom()
{
    if (!roomLink)
        return;
    // Room settings changed since the last Connect take effect now; the
    // link leaves the old place first.
    QSettings settings;
    roomLink->configure(settings);
    gameEngine->connectToRoom();
}

void QuizNewt::editRoom()
{
    RoomDialog dialog(this);
    dialog.exec();
}
