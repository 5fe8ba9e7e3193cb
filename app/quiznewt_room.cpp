#include "app/quiznewt.h"

#include "gui/messagebox.h"
#include "app/roomdialog.h"
#include "game/game.h"
#include "roomlink/roomlink.h"
#include "settings/settings.h"

void QuizNewt::connectToRoom()
{
    if (!roomLink)
        return;
    // Room settings changed since the last Connect take effect now; the
    // link leaves the old place first. Settings that cannot be used keep it
    // where it is, and the box names them.
    Settings::File settings;
    Settings::Problems problems;
    Settings::load<Settings::Room>(settings, &problems);
    if (!problems.isEmpty()) {
        MessageBox::warning(this, QStringLiteral("Room"),
                            QStringLiteral("Not connecting: ") + problems.join(QStringLiteral("; ")));
        return;
    }
    roomLink->configure(settings);
    gameEngine->connectToRoom();
}

void QuizNewt::editRoom()
{
    RoomDialog dialog(this);
    dialog.exec();
}
