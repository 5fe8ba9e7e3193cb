#ifndef FILEDIALOG_H
#define FILEDIALOG_H

#include <QList>
#include <QString>

class QWidget;

// Every file dialog of the program goes through here, so that tests can give
// the chosen file without a modal loop and see what was asked.
class FileDialog
{
public:
    struct Asked {
        QString caption;
        QString directory;
        QString filter;
    };

    // An existing file, or an empty string when the user cancels.
    static QString getOpenFileName(QWidget* parent, const QString& caption, const QString& directory,
                                   const QString& filter);

    // Tests: no dialog is shown any more; each one takes the next queued name,
    // or is cancelled when none is queued, and is recorded.
    static void setTestMode(bool on);
    static void setNextFileName(const QString& fileName);
    static QList<Asked> takeAsked();
};

#endif
