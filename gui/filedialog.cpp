#include "gui/filedialog.h"

#include <QFileDialog>

namespace {
bool testMode = false;
QList<QString> nextNames;
QList<FileDialog::Asked> asked;
}

QString FileDialog::getOpenFileName(QWidget* parent, const QString& caption, const QString& directory,
                                    const QString& filter)
{
    if (testMode) {
        asked.append({caption, directory, filter});
        return nextNames.isEmpty() ? QString() : nextNames.takeFirst();
    }
    return QFileDialog::getOpenFileName(parent, caption, directory, filter);
}

void FileDialog::setTestMode(bool on)
{
    testMode = on;
    nextNames.clear();
    asked.clear();
}

void FileDialog::setNextFileName(const QString& fileName)
{
    nextNames.append(fileName);
}

QList<FileDialog::Asked> FileDialog::takeAsked()
{
    QList<Asked> result;
    result.swap(asked);
    return result;
}
