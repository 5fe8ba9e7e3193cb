#ifndef MESSAGEBOX_H
#define MESSAGEBOX_H

#include <QList>
#include <QMessageBox>
#include <QString>

// Every message box of the program goes through here, so that tests can
// answer boxes without a modal loop and see what was shown.
class MessageBox
{
public:
    enum Kind { Information, Warning, Critical, Question };

    struct Shown {
        Kind kind;
        QString title;
        QString text;
        QString details;
    };

    static QMessageBox::StandardButton information(QWidget* parent, const QString& title, const QString& text);
    static QMessageBox::StandardButton warning(QWidget* parent, const QString& title, const QString& text);
    // A warning with the technical reason under "Show Details...".
    static QMessageBox::StandardButton warning(QWidget* parent, const QString& title, const QString& text,
                                               const QString& details);
    static QMessageBox::StandardButton critical(QWidget* parent, const QString& title, const QString& text);
    // Information with a longer report under "Show Details...", where the
    // user can select and copy it (Ctrl+C copies the whole box).
    static QMessageBox::StandardButton report(QWidget* parent, const QString& title, const QString& text,
                                              const QString& details);
    // Yes and No, Yes being the default.
    static QMessageBox::StandardButton question(QWidget* parent, const QString& title, const QString& text);

    // Tests: no box is shown any more; each box takes the next queued answer,
    // or its default button when none is queued, and is recorded.
    static void setTestMode(bool on);
    static void setNextAnswer(QMessageBox::StandardButton answer);
    static QList<Shown> takeShown();

private:
    static QMessageBox::StandardButton show(Kind kind, QWidget* parent, const QString& title,
                                            const QString& text, QMessageBox::StandardButtons buttons,
                                            QMessageBox::StandardButton defaultButton,
                                            const QString& details = QString());
};

#endif
