#include "app/roomdialog.h"

#include <QPushButton>
#include <QSettings>

#include "gui/messagebox.h"
#include "roomlink/ircroomlink.h"

namespace {

const QString group = QStringLiteral("Room");

bool containsAny(const QString& text, const QString& characters)
{
    for (const QChar c : characters) {
        if (text.contains(c))
            return true;
    }
    return false;
}

}

RoomDialog::RoomDialog(QWidget* parent)
    : QDialog(parent)
{
    setupUi(this);
    connect(buttonBox, &QDialogButtonBox::accepted, this, &RoomDialog::accept);
    connect(buttonBox, &QDialogButtonBox::rejected, this, &RoomDialog::reject);

    // The values the link would use, defaults included; passwords as stored.
    QSettings settings;
    const IrcRoomSettings room = IrcRoomSettings::read(settings);
    settings.beginGroup(group);
    leServer->setText(settings.value(QStringLiteral("Server"), room.server).toString());
    sbPort->setValue(room.port);
    chkTls->setChecked(room.tls);
    lePassword->setText(settings.value(QStringLiteral("Password")).toString());
    leNick->setText(QString::fromUtf8(room.nick));
    leChannel->setText(QString::fromUtf8(room.channel));
    leSaslUser->setText(settings.value(QStringLiteral("SaslUser")).toString());
    leSaslPassword->setText(settings.value(QStringLiteral("SaslPassword")).toString());
    chkAutoConnect->setChecked(settings.value(QStringLiteral("AutoConnect"), false).toBool());
}

QString RoomDialog::problem() const
{
    if (leServer->text().trimmed().isEmpty())
        return QStringLiteral("Give the IRC server's host name or address.");
    const QString nick = leNick->text().trimmed();
    if (nick.isEmpty() || containsAny(nick, QLatin1String(IrcRoomSettings::nickExcluded) + QLatin1String("*?")))
        return QStringLiteral("A nick is one word without , : ! @ * or ?.");
    const QString channel = leChannel->text().trimmed();
    if (channel.isEmpty() || containsAny(channel, QLatin1String(IrcRoomSettings::channelExcluded)))
        return QStringLiteral("A channel is one word without a comma, such as #trivia.");
    if (leSaslUser->text().trimmed().isEmpty() && !leSaslPassword->text().isEmpty())
        return QStringLiteral("A SASL password needs its account.");
    return QString();
}

void RoomDialog::accept()
{
    const QString why = problem();
    if (!why.isEmpty()) {
        MessageBox::warning(this, QStringLiteral("Room"), why);
        return;
    }
    QString channel = leChannel->text().trimmed();
    if (!QLatin1String(IrcRoomSettings::channelPrefixes).contains(channel.at(0)))
        channel.prepend(QLatin1Char('#'));

    QSettings settings;
    settings.beginGroup(group);
    settings.setValue(QStringLiteral("Server"), leServer->text().trimmed());
    settings.setValue(QStringLiteral("Port"), sbPort->value());
    settings.setValue(QStringLiteral("Tls"), chkTls->isChecked());
    settings.setValue(QStringLiteral("Password"), lePassword->text());
    settings.setValue(QStringLiteral("Nick"), leNick->text().trimmed());
    settings.setValue(QStringLiteral("Channel"), channel);
    settings.setValue(QStringLiteral("SaslUser"), leSaslUser->text().trimmed());
    settings.setValue(QStringLiteral("SaslPassword"), leSaslPassword->text());
    settings.setValue(QStringLiteral("AutoConnect"), chkAutoConnect->isChecked());
    settings.endGroup();
    settings.sync();
    if (settings.status() != QSettings::NoError) {
        MessageBox::warning(this, QStringLiteral("Room"),
                            QStringLiteral("Unable to save the room settings in ") + settings.fileName());
        return;
    }
    QDialog::accept();
}
