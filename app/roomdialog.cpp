#include "app/roomdialog.h"

#include "gui/messagebox.h"

RoomDialog::RoomDialog(QWidget* parent)
    : QDialog(parent)
{
    setupUi(this);
    connect(buttonBox, &QDialogButtonBox::accepted, this, &RoomDialog::accept);
    connect(buttonBox, &QDialogButtonBox::rejected, this, &RoomDialog::reject);

    // The values the link would use: a setting that cannot be used shows its
    // default, and the note above the buttons says which.
    Settings::Problems problems;
    const Settings::Room room = Settings::load<Settings::Room>(&problems);
    leServer->setText(room.server);
    sbPort->setValue(room.port);
    chkTls->setChecked(room.tls);
    lePassword->setText(room.password);
    leNick->setText(room.nick);
    leChannel->setText(room.channel);
    leSaslUser->setText(room.saslUser);
    leSaslPassword->setText(room.saslPassword);
    chkAutoConnect->setChecked(room.autoConnect);
    sbRejoinAfterKick->setValue(room.rejoinAfterKick);
    chkGreetOnRejoin->setChecked(room.greetOnRejoin);
    auto showSaslInClear = [this] { lblSaslInClear->setVisible(values().saslInClear()); };
    connect(chkTls, &QCheckBox::toggled, this, showSaslInClear);
    connect(leSaslUser, &QLineEdit::textChanged, this, showSaslInClear);
    showSaslInClear();
    lblProblems->setText(problems.join(QLatin1Char('\n')));
    lblProblems->setVisible(!problems.isEmpty());
}

Settings::Room RoomDialog::values() const
{
    Settings::Room room;
    room.server = leServer->text();
    room.port = sbPort->value();
    room.tls = chkTls->isChecked();
    room.password = lePassword->text();
    room.nick = leNick->text();
    room.channel = leChannel->text();
    room.saslUser = leSaslUser->text().trimmed();
    room.saslPassword = leSaslPassword->text();
    room.autoConnect = chkAutoConnect->isChecked();
    room.rejoinAfterKick = sbRejoinAfterKick->value();
    room.greetOnRejoin = chkGreetOnRejoin->isChecked();
    return room;
}

void RoomDialog::accept()
{
    // Refused input keeps the dialog open, with the setting named.
    QString error;
    if (!Settings::save(values(), &error)) {
        MessageBox::warning(this, QStringLiteral("Room"), error);
        return;
    }
    QDialog::accept();
}
