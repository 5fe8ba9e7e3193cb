// Draws the main window's images. The PNGs in this folder are its output and
// are committed; run the `images` build target after changing anything here.
//
//   quiznewt-drawimages <output folder>
//
// Every picture is drawn from geometry and the DejaVu fonts, so a redraw on
// another machine gives the same images.

#include <QCoreApplication>
#include <QDir>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QtMath>

#include <cstdio>

namespace {

const QColor kOutline(0x1f, 0x4f, 0x24);
const QColor kSkin(0x5c, 0xb8, 0x3e);
const QColor kSkinLight(0x9b, 0xdc, 0x6a);
const QColor kSpot(0xff, 0x8f, 0x1c);
const QColor kStripTop(0x2d, 0x6a, 0x35);
const QColor kStripBottom(0x14, 0x3d, 0x1c);
const QColor kYellow(0xff, 0xe6, 0x3a);

QString family;

QFont font(qreal pixelSize, bool bold)
{
    QFont f(family);
    f.setPixelSize(qRound(pixelSize));
    f.setBold(bold);
    f.setHintingPreference(QFont::PreferNoHinting);
    f.setStyleStrategy(QFont::PreferAntialias);
    return f;
}

QImage canvas(int w, int h)
{
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

// Text centred in rect, with a one-pixel drop shadow when shadow is valid.
void drawLabel(QPainter& p, const QRectF& rect, const QString& text, const QFont& f,
               const QColor& colour, const QColor& shadow = QColor())
{
    p.setFont(f);
    if (shadow.isValid()) {
        p.setPen(shadow);
        p.drawText(rect.translated(0, 1), Qt::AlignCenter, text);
    }
    p.setPen(colour);
    p.drawText(rect, Qt::AlignCenter, text);
}

// ---------------------------------------------------------------------------
// The newt, seen from above: a body swept along a curved spine, drawn in a
// 150 x 157 box.

struct Spine {
    QVector<QPointF> points;
    QVector<QPointF> normals;
    QVector<qreal> widths;

    int index(qreal s) const { return qBound(0, qRound(s * (points.size() - 1)), int(points.size() - 1)); }
    QPointF at(qreal s) const { return points[index(s)]; }
    QPointF normal(qreal s) const { return normals[index(s)]; }
    QPointF forward(qreal s) const
    {
        const QPointF n = normal(s);
        return QPointF(n.y(), -n.x());
    }
    qreal width(qreal s) const { return widths[index(s)]; }
};

// Half-width of the body along the spine, 0 at the snout and the tail tip.
qreal bodyWidth(qreal s)
{
    struct Knot { qreal s, w; };
    static const Knot knots[] = {
        {0.00, 0.0}, {0.025, 13.0}, {0.07, 19.5}, {0.12, 19.0}, {0.17, 13.5}, {0.22, 14.0},
        {0.34, 17.0}, {0.45, 15.5}, {0.55, 11.0}, {0.70, 6.5}, {0.88, 3.5}, {1.00, 1.0},
    };
    if (s < knots[1].s) // round snout
        return knots[1].w * qSqrt(qMax<qreal>(0, 1 - qPow(1 - s / knots[1].s, 2)));
    for (size_t i = 1; i + 1 < std::size(knots); ++i) {
        if (s <= knots[i + 1].s) {
            const qreal t = (s - knots[i].s) / (knots[i + 1].s - knots[i].s);
            const qreal smooth = t * t * (3 - 2 * t);
            return knots[i].w + (knots[i + 1].w - knots[i].w) * smooth;
        }
    }
    return knots[std::size(knots) - 1].w;
}

Spine makeSpine()
{
    QPainterPath path(QPointF(64, 6));
    path.cubicTo(QPointF(58, 40), QPointF(90, 60), QPointF(80, 92));
    path.cubicTo(QPointF(72, 118), QPointF(84, 148), QPointF(116, 148));
    path.cubicTo(QPointF(140, 148), QPointF(146, 124), QPointF(129, 116));

    Spine spine;
    const int n = 400;
    for (int i = 0; i <= n; ++i)
        spine.points << path.pointAtPercent(qreal(i) / n);
    for (int i = 0; i <= n; ++i) {
        const QPointF d = spine.points[qMin(i + 1, n)] - spine.points[qMax(i - 1, 0)];
        const qreal len = qSqrt(d.x() * d.x() + d.y() * d.y());
        spine.normals << QPointF(-d.y() / len, d.x() / len);
        spine.widths << bodyWidth(qreal(i) / n);
    }
    return spine;
}

QPainterPath bodyOutline(const Spine& spine)
{
    QPolygonF outline;
    for (int i = 0; i < spine.points.size(); ++i)
        outline << spine.points[i] + spine.normals[i] * spine.widths[i];
    for (int i = int(spine.points.size()) - 1; i >= 0; --i)
        outline << spine.points[i] - spine.normals[i] * spine.widths[i];
    QPainterPath path;
    path.addPolygon(outline);
    path.closeSubpath();
    return path;
}

// One leg: out from the body, then bent towards the head (front) or the tail
// (hind), ending in a foot of four round toes.
void drawLeg(QPainter& p, const Spine& spine, qreal s, int side, bool front)
{
    const QPointF n = spine.normal(s) * side;
    const QPointF f = spine.forward(s) * (front ? 1 : -1);
    const QPointF root = spine.at(s) + n * spine.width(s) * 0.6;
    const QPointF knee = root + n * 17 - f * 3;
    const QPointF foot = knee + f * 10 + n * 4;

    QPainterPath leg(root);
    leg.quadTo(knee, foot);

    QPointF toes[4];
    const QPointF out = (f + n * 0.9) / qSqrt(1 + 0.81);
    const QPointF across(-out.y(), out.x());
    for (int i = 0; i < 4; ++i) {
        const qreal spread = (i - 1.5) * 0.55;
        const QPointF dir = out * qCos(spread) + across * qSin(spread);
        toes[i] = foot + dir * 6.5;
    }

    // Outline first, then the same shapes a little thinner in skin colour.
    for (const bool outlinePass : {true, false}) {
        const QColor c = outlinePass ? kOutline : kSkin;
        const qreal grow = outlinePass ? 2.0 : 0.0;
        p.setPen(QPen(c, 8.5 + grow, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        p.drawPath(leg);
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        for (const QPointF& toe : toes)
            p.drawEllipse(toe, 2.8 + grow / 2, 2.8 + grow / 2);
        p.setPen(QPen(c, 2.6 + grow, Qt::SolidLine, Qt::RoundCap));
        for (const QPointF& toe : toes)
            p.drawLine(foot, toe);
    }
}

void drawEye(QPainter& p, const QPointF& centre, const QPointF& look)
{
    p.setPen(QPen(kOutline, 1.6));
    p.setBrush(Qt::white);
    p.drawEllipse(centre, 7.5, 7.5);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x16, 0x1a, 0x16));
    const QPointF pupil = centre + look * 2.0;
    p.drawEllipse(pupil, 4.4, 4.4);
    p.setBrush(Qt::white);
    p.drawEllipse(pupil + QPointF(-1.5, -1.6), 1.6, 1.6);
}

void drawNewt(QPainter& p)
{
    p.setRenderHint(QPainter::Antialiasing);
    const Spine spine = makeSpine();
    const QPainterPath body = bodyOutline(spine);

    drawLeg(p, spine, 0.20, +1, true);
    drawLeg(p, spine, 0.20, -1, true);
    drawLeg(p, spine, 0.47, +1, false);
    drawLeg(p, spine, 0.47, -1, false);

    QLinearGradient shade(QPointF(40, 0), QPointF(120, 150));
    shade.setColorAt(0, kSkin.lighter(112));
    shade.setColorAt(1, kSkin.darker(112));
    p.setPen(Qt::NoPen);
    p.setBrush(shade);
    p.drawPath(body);

    // A lighter stripe down the back gives the body some roundness.
    p.save();
    p.setClipPath(body);
    QPainterPath back(spine.at(0.03));
    for (int i = 1; i <= 40; ++i)
        back.lineTo(spine.at(0.03 + i * 0.80 / 40));
    QColor stripe = kSkinLight;
    stripe.setAlpha(150);
    p.setPen(QPen(stripe, 9, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(back);
    p.restore();

    p.setPen(QPen(kOutline, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(body);

    // Orange spots in two loose rows along the back.
    p.setPen(QPen(kSpot.darker(170), 1.0));
    p.setBrush(kSpot);
    const qreal spots[][3] = {{0.24, 0.50, 3.0}, {0.29, -0.45, 3.3}, {0.35, 0.42, 3.3},
                              {0.41, -0.48, 3.0}, {0.51, 0.35, 2.7}, {0.58, -0.30, 2.4},
                              {0.66, 0.25, 2.0}};
    for (const auto& spot : spots) {
        const qreal s = spot[0];
        p.drawEllipse(spine.at(s) + spine.normal(s) * spine.width(s) * spot[1], spot[2], spot[2]);
    }

    // The face: eyes near the snout, a smile and rosy cheeks behind them.
    const qreal eyeAt = 0.055;
    const QPointF up = -spine.forward(eyeAt); // towards the snout
    const QPointF side = spine.normal(eyeAt);
    const QPointF eyeBase = spine.at(eyeAt);
    drawEye(p, eyeBase + side * 11.5, up);
    drawEye(p, eyeBase - side * 11.5, up);

    const QPointF mouth = spine.at(0.115);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xff, 0x9a, 0x8c, 190));
    p.drawEllipse(mouth + side * 13 + up * 2.5, 3.6, 2.6);
    p.drawEllipse(mouth - side * 13 + up * 2.5, 3.6, 2.6);

    QPainterPath smile(mouth + side * 7 + up * 3);
    smile.quadTo(mouth - up * 4, mouth - side * 7 + up * 3);
    p.setPen(QPen(kOutline, 1.8, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawPath(smile);
}

QImage newtImage()
{
    QImage image = canvas(150, 157);
    QPainter p(&image);
    drawNewt(p);
    return image;
}

// ---------------------------------------------------------------------------
// Buttons

QPainterPath connectShape(qreal w, qreal h)
{
    // Round at the left, nearly square at the right.
    const qreal r = h / 2;
    QPainterPath path;
    path.moveTo(r, 0);
    path.lineTo(w - 3, 0);
    path.quadTo(w, 0, w, 3);
    path.lineTo(w, h - 3);
    path.quadTo(w, h, w - 3, h);
    path.lineTo(r, h);
    path.arcTo(QRectF(0, 0, h, h), 270, -180);
    path.closeSubpath();
    return path;
}

QImage connectImage(bool pressed)
{
    const int w = pressed ? 159 : 162;
    const int h = 33;
    QImage image = canvas(w, h);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    const QPainterPath shape = connectShape(w, h);
    QLinearGradient fill(0, 0, 0, h);
    if (pressed) {
        fill.setColorAt(0, QColor(0x23, 0x6b, 0x2b));
        fill.setColorAt(1, QColor(0x1c, 0x5a, 0x23));
    } else {
        fill.setColorAt(0, QColor(0x5f, 0xc1, 0x4a));
        fill.setColorAt(0.5, QColor(0x35, 0x9b, 0x34));
        fill.setColorAt(1, QColor(0x24, 0x7a, 0x28));
    }
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawPath(shape);

    p.save();
    p.setClipPath(shape);
    if (pressed) {
        // Shadow along the top edge: the button looks pushed in.
        QLinearGradient inset(0, 0, 0, 6);
        inset.setColorAt(0, QColor(0, 0, 0, 90));
        inset.setColorAt(1, QColor(0, 0, 0, 0));
        p.fillRect(QRectF(0, 0, w, 6), inset);
    } else {
        // Gloss over the upper half.
        QLinearGradient gloss(0, 0, 0, h / 2.0);
        gloss.setColorAt(0, QColor(255, 255, 255, 110));
        gloss.setColorAt(1, QColor(255, 255, 255, 20));
        p.setBrush(gloss);
        p.drawRoundedRect(QRectF(3, 1.5, w - 6, h / 2.0 - 1), 8, 8);
    }
    p.restore();

    p.setPen(QPen(QColor(0x15, 0x45, 0x19), 1.2));
    p.setBrush(Qt::NoBrush);
    p.drawPath(connectShape(w - 0.6, h - 0.6).translated(0.3, 0.3));

    // A round disc in the curved end with an arrow pointing into the room.
    const QPointF disc(h / 2.0 + 0.5, h / 2.0 + (pressed ? 1 : 0));
    p.setPen(QPen(QColor(255, 255, 255, pressed ? 170 : 230), 1.6));
    p.setBrush(QColor(0x14, 0x48, 0x19, pressed ? 150 : 110));
    p.drawEllipse(disc, 10.5, 10.5);
    QPolygonF arrow;
    arrow << disc + QPointF(-3.5, -5.5) << disc + QPointF(5.5, 0) << disc + QPointF(-3.5, 5.5);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, pressed ? 200 : 255));
    p.drawPolygon(arrow);

    const QRectF textRect(h + 2, pressed ? 1 : 0, w - h - 8, h);
    drawLabel(p, textRect, QStringLiteral("Connect"), font(17, true),
              pressed ? QColor(0xe4, 0xef, 0xe4) : Qt::white,
              pressed ? QColor() : QColor(0x10, 0x3c, 0x14, 160));
    return image;
}

// Page button, 70 x 27: white on a dark green gradient when up, yellow on a
// lighter flat green when down.
QImage pageButtonImage(const QString& word, bool down, const QFont& f)
{
    const int w = 70;
    const int h = 27;
    QImage image = canvas(w, h);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    if (down) {
        p.fillRect(image.rect(), QColor(0x43, 0x9a, 0x3e));
        QLinearGradient inset(0, 0, 0, 5);
        inset.setColorAt(0, QColor(0, 0, 0, 80));
        inset.setColorAt(1, QColor(0, 0, 0, 0));
        p.fillRect(QRectF(0, 0, w, 5), inset);
    } else {
        QLinearGradient fill(0, 0, 0, h);
        fill.setColorAt(0, kStripTop);
        fill.setColorAt(1, kStripBottom);
        p.fillRect(image.rect(), fill);
        p.fillRect(QRectF(0, 0, w, 1), QColor(255, 255, 255, 60));
    }
    // Thin light/dark edges so neighbouring buttons read as separate.
    p.fillRect(QRectF(0, 0, 1, h), QColor(255, 255, 255, down ? 40 : 35));
    p.fillRect(QRectF(w - 1, 0, 1, h), QColor(0, 0, 0, 70));
    p.fillRect(QRectF(0, h - 1, w, 1), QColor(0, 0, 0, 60));

    drawLabel(p, QRectF(0, down ? 1 : 0, w, h), word, f, down ? kYellow : Qt::white,
              QColor(0, 0, 0, down ? 80 : 120));
    return image;
}

// Largest bold size at which every word fits a button with some margin, so
// all five buttons use one size.
QFont pageButtonFont(const QStringList& words)
{
    for (qreal size = 12; size > 7; size -= 0.5) {
        const QFont f = font(size, true);
        const QFontMetricsF m(f);
        bool fits = true;
        for (const QString& word : words)
            fits = fits && m.horizontalAdvance(word) <= 70 - 14;
        if (fits)
            return f;
    }
    return font(7, true);
}

// ---------------------------------------------------------------------------
// Window background, 350 x 275.

QImage backgroundImage(const QImage& newt)
{
    const int w = 350;
    const int h = 275;
    QImage image = canvas(w, h);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);

    // Lower field: green, light enough to look calm, dark enough for the
    // white page labels drawn over it.
    QLinearGradient field(0, 90, 0, h);
    field.setColorAt(0, QColor(0x4f, 0x96, 0x55));
    field.setColorAt(1, QColor(0x43, 0x87, 0x4a));
    p.fillRect(QRect(0, 89, w, h - 89), field);

    // Faint question marks scattered over the field.
    struct Mark { qreal x, y, size, angle; };
    const Mark marks[] = {
        {22, 140, 46, -14}, {88, 238, 58, 10}, {150, 128, 34, 18}, {205, 210, 64, -8},
        {292, 140, 50, 12}, {330, 250, 38, -20}, {40, 262, 30, 22}, {258, 268, 28, 6},
        {120, 180, 26, -25}, {318, 196, 24, 30},
    };
    for (const Mark& m : marks) {
        p.save();
        p.translate(m.x, m.y);
        p.rotate(m.angle);
        p.setFont(font(m.size, true));
        p.setPen(QColor(255, 255, 255, 26));
        p.drawText(QRectF(-m.size, -m.size, 2 * m.size, 2 * m.size), Qt::AlignCenter, QStringLiteral("?"));
        p.restore();
    }

    // White band with the logo, name and version.
    QLinearGradient band(0, 0, 0, 60);
    band.setColorAt(0, Qt::white);
    band.setColorAt(1, QColor(0xf2, 0xf8, 0xef));
    p.fillRect(QRect(0, 0, w, 60), band);
    p.fillRect(QRect(0, 58, w, 2), QColor(0x8c, 0xc8, 0x6a));

    const QImage logo = newt.scaled(50, 52, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    p.drawImage(QPointF(8, 4), logo);

    const QFont nameFont = font(20, true);
    p.setFont(nameFont);
    const QPointF namePos(62, 31);
    p.setPen(QColor(0x1d, 0x5c, 0x26));
    p.drawText(namePos, QStringLiteral("Quiz"));
    const qreal quizWidth = QFontMetricsF(nameFont).horizontalAdvance(QStringLiteral("Quiz"));
    p.setPen(QColor(0x4c, 0xa3, 0x3a));
    p.drawText(namePos + QPointF(quizWidth, 0), QStringLiteral("Newt"));

    p.setFont(font(11, false));
    p.setPen(QColor(0x5d, 0x7a, 0x60));
    p.drawText(QPointF(63, 48), QStringLiteral("version 1.0"));

    // Dark strip behind the page buttons.
    QLinearGradient strip(0, 60, 0, 89);
    strip.setColorAt(0, kStripTop);
    strip.setColorAt(1, kStripBottom);
    p.fillRect(QRect(0, 60, w, 29), strip);
    p.fillRect(QRect(0, 89, w, 1), QColor(0x0e, 0x2c, 0x14));
    return image;
}

bool save(const QImage& image, const QDir& dir, const QString& name)
{
    const QString path = dir.filePath(name);
    if (!image.convertToFormat(QImage::Format_ARGB32).save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s %dx%d\n", qPrintable(path), image.width(), image.height());
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    // No display is needed: everything is painted into images.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }

    const QString fontDir = QStringLiteral("/usr/share/fonts/truetype/dejavu/");
    int regular = QFontDatabase::addApplicationFont(fontDir + QStringLiteral("DejaVuSans.ttf"));
    int bold = QFontDatabase::addApplicationFont(fontDir + QStringLiteral("DejaVuSans-Bold.ttf"));
    if (regular < 0 || bold < 0) {
        std::fprintf(stderr, "DejaVu Sans not found in %s\n", qPrintable(fontDir));
        return 1;
    }
    family = QFontDatabase::applicationFontFamilies(regular).value(0);

    QDir out(QString::fromLocal8Bit(argv[1]));
    if (!out.mkpath(QStringLiteral("img"))) {
        std::fprintf(stderr, "cannot create %s/img\n", argv[1]);
        return 1;
    }

    const QImage newt = newtImage();
    bool ok = save(newt, out, QStringLiteral("newt.png"));
    ok = save(backgroundImage(newt), out, QStringLiteral("img/background.png")) && ok;
    ok = save(connectImage(false), out, QStringLiteral("img/connect_active.png")) && ok;
    ok = save(connectImage(true), out, QStringLiteral("img/connect_pressed.png")) && ok;

    const QStringList words = {QStringLiteral("Trivia"), QStringLiteral("Scores"), QStringLiteral("Users"),
                               QStringLiteral("Content"), QStringLiteral("Settings")};
    const QFont buttonFont = pageButtonFont(words);
    for (const QString& word : words) {
        const QString base = QStringLiteral("img/but_") + word.toLower();
        ok = save(pageButtonImage(word, false, buttonFont), out, base + QStringLiteral("_up.png")) && ok;
        ok = save(pageButtonImage(word, true, buttonFont), out, base + QStringLiteral("_down.png")) && ok;
    }
    return ok ? 0 : 1;
}
