#include <QBitmap>
#include <QImageReader>
#include <QPixmap>
#include <QRegion>
#include <QResource>
#include <QtMath>
#include <QtTest>

// The images the main window loads by resource path: present, of the size the
// fixed layout was made for, and drawn so the window can use them.
class TestResources : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void imageIsCompiledIn_data();
    void imageIsCompiledIn();
    void logoStandsFree();
    void connectButtonIsShapedByItsImage();
    void heldConnectButtonIsDarker();
    void pageButtonStates_data();
    void pageButtonStates();
    void pageButtonsAreAllDifferent();
    void backgroundBands();
};

namespace {

const QString kPrefix = QStringLiteral(":/new/prefix1/");
const QStringList kPages = {QStringLiteral("trivia"), QStringLiteral("scores"), QStringLiteral("users"),
                            QStringLiteral("content"), QStringLiteral("settings")};

QImage load(const QString& name)
{
    return QImage(kPrefix + name).convertToFormat(QImage::Format_ARGB32);
}

// Mean grey level of the opaque pixels in rect (all of the image if empty).
double meanGrey(const QImage& image, QRect rect = QRect())
{
    if (rect.isNull())
        rect = image.rect();
    double sum = 0;
    int count = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        for (int x = rect.left(); x <= rect.right(); ++x) {
            const QRgb px = image.pixel(x, y);
            if (qAlpha(px) >= 128) {
                sum += qGray(px);
                ++count;
            }
        }
    }
    return count ? sum / count : -1;
}

int countPixels(const QImage& image, const std::function<bool(QColor)>& wanted)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += wanted(image.pixelColor(x, y)) ? 1 : 0;
    return count;
}

double relativeLuminance(const QColor& c)
{
    auto linear = [](double v) { return v <= 0.03928 ? v / 12.92 : qPow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
}

} // namespace

void TestResources::imageIsCompiledIn_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("size");

    QTest::newRow("logo") << QStringLiteral("newt.png") << QSize(150, 157);
    QTest::newRow("background") << QStringLiteral("img/background.png") << QSize(350, 275);
    QTest::newRow("connect at rest") << QStringLiteral("img/connect_active.png") << QSize(162, 33);
    QTest::newRow("connect held") << QStringLiteral("img/connect_pressed.png") << QSize(159, 33);
    for (const QString& page : kPages) {
        for (const char* state : {"up", "down"}) {
            const QString name = QStringLiteral("img/but_%1_%2.png").arg(page, QLatin1String(state));
            QTest::newRow(qPrintable(page + QLatin1Char(' ') + QLatin1String(state))) << name << QSize(70, 27);
        }
    }
}

void TestResources::imageIsCompiledIn()
{
    QFETCH(QString, name);
    QFETCH(QSize, size);

    const QResource resource(kPrefix + name);
    QVERIFY2(resource.isValid(), qPrintable(kPrefix + name));
    QCOMPARE(resource.compressionAlgorithm(), QResource::NoCompression);

    QImageReader reader(kPrefix + name);
    QCOMPARE(reader.format(), QByteArray("png"));
    const QImage image = reader.read();
    QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
    QCOMPARE(image.size(), size);
}

void TestResources::logoStandsFree()
{
    // Window and tray icon: the figure on a transparent ground, not a square.
    const QImage logo = load(QStringLiteral("newt.png"));
    const QRect r = logo.rect();
    for (const QPoint& corner : {r.topLeft(), r.topRight(), r.bottomLeft(), r.bottomRight()})
        QCOMPARE(qAlpha(logo.pixel(corner)), 0);
    const int opaque = countPixels(logo, [](QColor c) { return c.alpha() == 255; });
    QVERIFY2(opaque > r.width() * r.height() / 5, "the figure should fill a good part of the icon");
}

void TestResources::connectButtonIsShapedByItsImage()
{
    const QPixmap pixmap(kPrefix + QStringLiteral("img/connect_active.png"));
    const QBitmap mask = pixmap.mask();
    QVERIFY(!mask.isNull());
    const QRegion shape(mask);

    // Curved left end: its corners are cut away, its middle is button.
    QVERIFY(!shape.contains(QPoint(0, 0)));
    QVERIFY(!shape.contains(QPoint(0, 32)));
    QVERIFY(shape.contains(QPoint(1, 16)));
    QVERIFY(shape.contains(QPoint(81, 16)));
    QVERIFY(shape.contains(QPoint(160, 16)));

    int area = 0;
    for (const QRect& r : shape)
        area += r.width() * r.height();
    QVERIFY(area < 162 * 33);
    QVERIFY2(area > 162 * 33 * 9 / 10, "the button should be nearly all of its image");

    // The word is white on green.
    const QImage image = pixmap.toImage();
    QVERIFY(countPixels(image, [](QColor c) { return c.alpha() == 255 && qGray(c.rgb()) > 235; }) > 50);
}

void TestResources::heldConnectButtonIsDarker()
{
    const QImage rest = load(QStringLiteral("img/connect_active.png"));
    const QImage held = load(QStringLiteral("img/connect_pressed.png"));
    QCOMPARE(qAlpha(held.pixel(0, 0)), 0);
    QVERIFY(meanGrey(held) < meanGrey(rest) - 15);
}

void TestResources::pageButtonStates_data()
{
    QTest::addColumn<QString>("page");
    for (const QString& page : kPages)
        QTest::newRow(qPrintable(page)) << page;
}

void TestResources::pageButtonStates()
{
    QFETCH(QString, page);
    const QImage up = load(QStringLiteral("img/but_%1_up.png").arg(page));
    const QImage down = load(QStringLiteral("img/but_%1_down.png").arg(page));

    // They cover the strip completely, so nothing behind shows through.
    QCOMPARE(countPixels(up, [](QColor c) { return c.alpha() < 255; }), 0);
    QCOMPARE(countPixels(down, [](QColor c) { return c.alpha() < 255; }), 0);

    const auto white = [](QColor c) { return c.red() > 230 && c.green() > 230 && c.blue() > 230; };
    const auto yellow = [](QColor c) { return c.red() > 200 && c.green() > 180 && c.blue() < 120; };
    QVERIFY(countPixels(up, white) > 20);
    QCOMPARE(countPixels(up, yellow), 0);
    QVERIFY(countPixels(down, yellow) > 20);
    QCOMPARE(countPixels(down, white), 0);

    // The ground beside the word: dark when up, lighter when down.
    const QRect margin(2, 2, 3, 23);
    QVERIFY(meanGrey(up, margin) < meanGrey(down, margin));
}

void TestResources::pageButtonsAreAllDifferent()
{
    // Each button shows its own word: no two pictures may be the same.
    QList<QImage> images;
    for (const QString& page : kPages) {
        for (const char* state : {"up", "down"}) {
            const QImage image = load(QStringLiteral("img/but_%1_%2.png").arg(page, QLatin1String(state)));
            for (const QImage& other : std::as_const(images))
                QVERIFY2(image != other, qPrintable(page + QLatin1Char(' ') + QLatin1String(state)));
            images << image;
        }
    }
}

void TestResources::backgroundBands()
{
    const QImage bg = load(QStringLiteral("img/background.png"));
    QCOMPARE(countPixels(bg, [](QColor c) { return c.alpha() < 255; }), 0);

    // The connect button's cut-away corners show the band: it must be light there.
    const QRect connect(181, 21, 162, 33);
    QVERIFY(meanGrey(bg, connect) > 230);
    QVERIFY(meanGrey(bg, QRect(0, 0, 350, 56)) > 200);

    QVERIFY(meanGrey(bg, QRect(0, 62, 350, 27)) < 90);

    // The pages write white text on the field below the strip.
    const QRect pages(10, 100, 331, 169);
    const double field = meanGrey(bg, pages);
    QVERIFY(field > meanGrey(bg, QRect(0, 62, 350, 27)));
    double luminance = 0;
    for (int y = pages.top(); y <= pages.bottom(); y += 4)
        for (int x = pages.left(); x <= pages.right(); x += 4)
            luminance = qMax(luminance, relativeLuminance(bg.pixelColor(x, y)));
    const double contrast = 1.05 / (luminance + 0.05);
    QVERIFY2(contrast >= 3.0, qPrintable(QStringLiteral("white text contrast %1").arg(contrast)));
}

QTEST_MAIN(TestResources)
#include "tst_resources.moc"
