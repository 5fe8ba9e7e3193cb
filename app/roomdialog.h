#ifndef ROOMDIALOG_H
#define ROOMDIALOG_H

#include <QDialog>

#include "settings/settings.h"
#include "ui_roomdialog.h"

// Where the quiz master goes: the "Room" group of the settings, edited in a
// small dialog. The room link reads it again at the next Connect.
class RoomDialog : public QDialog, private Ui::RoomDialog
{
    Q_OBJECT

public:
    explicit RoomDialog(QWidget* parent = nullptr);

    void accept() override;

private:
    Settings::Room values() const;
};

#endif
