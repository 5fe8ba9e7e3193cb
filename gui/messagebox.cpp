#include "gui/messagebox.h"

#include "gui/log.h"

namespace {
bool testMode = false;
QList<QMessageBox::StandardButton> nextAnswers;
QList<MessageBox::Shown> shown;
}

QMessageBox::StandardButton MessageBox::show(Kind kind, QWidget* parent, const QString& title,
                                             const QString& text, QMessageBox::StandardButtons buttons,
                                             QMessageBox::StandardButton defaultButton, const QString& details)
{
    if (testMode) {
        shown.append({kind, title, text, details});
        return nextAnswers.isEmpty() ? defaultButton : nextAnswers.takeFirst();
    }
    if (Log::noWindow()) {
        // Nobody is there to answer: the box goes to the log, and a question
        // is answered No, so nothing is done that the operator did not ask for.
        QString line = title + QStringLiteral(": ") + text;
        if (!details.isEmpty())
            line += QStringLiteral(" (") + details + QLatin1Char(')');
        // A box stops the operator, so even an information box is worth a
        // warning in the log: they all tell of something that failed.
        if (kind == Question)
            qInfo().noquote() << line << "- answered No";
        else if (kind == Critical)
            qCritical().noquote() << line;
        else
            qWarning().noquote() << line;
        return kind == Question ? QMessageBox::No : defaultButton;
    }
    if (!details.isEmpty()) {
        const QMessageBox::Icon icon = kind == Warning    ? QMessageBox::Warning
                                       : kind == Critical ? QMessageBox::Critical
                                                          : QMessageBox::Information;
        QMessageBox box(icon, title, text, buttons, parent);
        box.setDefaultButton(defaultButton);
        box.setDetailedText(details);
        box.setTextInteractionFlags(Qt::TextSelectableByMouse);
        return QMessageBox::StandardButton(box.exec());
    }
    switch (kind) {
    case Information:
        return QMessageBox::information(parent, title, text, buttons, defaultButton);
    case Warning:
        return QMessageBox::warning(parent, title, text, buttons, defaultButton);
    case Critical:
        return QMessageBox::critical(parent, title, text, buttons, defaultButton);
    case Question:
        return QMessageBox::question(parent, title, text, buttons, defaultButton);
    }
    return defaultButton;
}

QMessageBox::StandardButton MessageBox::information(QWidget* parent, const QString& title, const QString& text)
{
    return show(Information, parent, title, text, QMessageBox::Ok, QMessageBox::Ok);
}

QMessageBox::StandardButton MessageBox::warning(QWidget* parent, const QString& title, const QString& text)
{
    return show(Warning, parent, title, text, QMessageBox::Ok, QMessageBox::Ok);
}

QMessageBox::StandardButton MessageBox::warning(QWidget* parent, const QString& title, const QString& text,
                                                const QString& details)
{
    return show(Warning, parent, title, text, QMessageBox::Ok, QMessageBox::Ok, details);
}

QMessageBox::StandardButton MessageBox::critical(QWidget* parent, const QString& title, const QString& text)
{
    return show(Critical, parent, title, text, QMessageBox::Ok, QMessageBox::Ok);
}

QMessageBox::StandardButton MessageBox::report(QWidget* parent, const QString& title, const QString& text,
                                               const QString& details)
{
    return show(Information, parent, title, text, QMessageBox::Ok, QMessageBox::Ok, details);
}

QMessageBox::StandardButton MessageBox::question(QWidget* parent, const QString& title, const QString& text)
{
    return show(Question, parent, title, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
}

void MessageBox::setTestMode(bool on)
{
    testMode = on;
    nextAnswers.clear();
    shown.clear();
}

void MessageBox::setNextAnswer(QMessageBox::StandardButton answer)
{
    nextAnswers.append(answer);
}

QList<MessageBox::Shown> MessageBox::takeShown()
{
    QList<Shown> result;
    result.swap(shown);
    return result;
}
