// Makes the desktop icon at the sizes an icon theme wants from the window's
// newt, which is not square: each size is the newt scaled to fit, centred on
// a transparent square.
//
//   quiznewt-scaleicon SOURCE.png OUTPUT_FOLDER SIZE...
//
// writes OUTPUT_FOLDER/SIZExSIZE/apps/quiznewt.png for each size, as the
// hicolor theme lays them out.

#include <QDir>
#include <QImage>
#include <QPainter>

#include <cstdio>

int main(int argc, char* argv[])
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: quiznewt-scaleicon SOURCE.png OUTPUT_FOLDER SIZE...\n");
        return 2;
    }
    const QImage source(QString::fromLocal8Bit(argv[1]));
    if (source.isNull()) {
        std::fprintf(stderr, "quiznewt-scaleicon: cannot read %s\n", argv[1]);
        return 1;
    }
    const QDir out(QString::fromLocal8Bit(argv[2]));
    for (int i = 3; i < argc; ++i) {
        const int size = QByteArray(argv[i]).toInt();
        if (size <= 0) {
            std::fprintf(stderr, "quiznewt-scaleicon: bad size %s\n", argv[i]);
            return 2;
        }
        const QImage newt = source.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        QImage icon(size, size, QImage::Format_ARGB32);
        icon.fill(Qt::transparent);
        QPainter(&icon).drawImage((size - newt.width()) / 2, (size - newt.height()) / 2, newt);

        const QString dir = QStringLiteral("%1x%1/apps").arg(size);
        const QString path = out.filePath(dir + QStringLiteral("/quiznewt.png"));
        if (!out.mkpath(dir) || !icon.save(path, "PNG")) {
            std::fprintf(stderr, "quiznewt-scaleicon: cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
