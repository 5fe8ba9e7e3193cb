#ifndef INSTALLEDFILES_H
#define INSTALLEDFILES_H

#include <QList>
#include <QString>
#include <QStringList>

// The sizes of the desktop icon in the hicolor theme.
inline const QList<int> iconSizes = {16, 24, 32, 48, 64, 128};

// Every file an install puts under its prefix, relative to it; the install
// tree and the package are both checked against it.
inline QStringList installedFiles()
{
    QStringList files = {
        QStringLiteral("bin/quiznewt"),
        QStringLiteral("bin/quiznewt-setup"),
        QStringLiteral("bin/quiznewt-import"),
        QStringLiteral("libexec/quiznewt/quiznewt-mdbread"),
        QStringLiteral("share/applications/io.github.newtliberty.quiznewt.desktop"),
        QStringLiteral("share/metainfo/io.github.newtliberty.quiznewt.metainfo.xml"),
        QStringLiteral("share/man/man6/quiznewt.6.gz"),
        QStringLiteral("share/man/man6/quiznewt-setup.6.gz"),
        QStringLiteral("share/man/man6/quiznewt-import.6.gz"),
        QStringLiteral("lib/systemd/user/quiznewt.service"),
        QStringLiteral("lib/systemd/user/quiznewt@.service"),
    };
    for (int size : iconSizes)
        files << QStringLiteral("share/icons/hicolor/%1x%1/apps/quiznewt.png").arg(size);
    return files;
}

#endif
