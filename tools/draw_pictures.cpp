// tarvix-draw-pictures FOLDER: draws the main window's header band (cabecalho.png, 630 x 75), the library's
// logo (logo.png, 240 x 50, transparent) and the wait overlay's animation (aguardando/01.png ... 16.png, 35 x 35,
// the folder made when missing) into FOLDER. The pictures are committed under resources/images; run this again
// after changing the drawing, then check with `git diff --stat resources/images` that only the pictures whose
// drawing changed differ:
//
//   cmake --build build/default --target tarvix-draw-pictures
//   QT_QPA_PLATFORM=offscreen build/default/tools/tarvix-draw-pictures resources/images
#include <QDir>
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

QFont font(int pixelSize, int weight, qreal letterSpacing = 0)
{
    QFont f("DejaVu Sans");
    f.setPixelSize(pixelSize);
    f.setWeight(QFont::Weight(weight));
    if (letterSpacing != 0)
        f.setLetterSpacing(QFont::AbsoluteSpacing, letterSpacing);
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

QImage header()
{
    QImage image(630, 75, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    // A calm band: deep navy on the left, where the white texts stand, brightening to a steel blue.
    QLinearGradient base(0, 0, 630, 0);
    base.setColorAt(0.0, QColor(12, 36, 62));
    base.setColorAt(0.55, QColor(20, 72, 115));
    base.setColorAt(1.0, QColor(28, 104, 152));
    p.fillRect(image.rect(), base);

    // A soft top-to-bottom shading gives the band some depth.
    QLinearGradient shade(0, 0, 0, 75);
    shade.setColorAt(0.0, QColor(255, 255, 255, 22));
    shade.setColorAt(0.5, QColor(255, 255, 255, 0));
    shade.setColorAt(1.0, QColor(0, 0, 0, 40));
    p.fillRect(image.rect(), shade);

    // Wide, faint arcs on the right, behind the logo.
    p.setPen(Qt::NoPen);
    const struct {
        QPointF centre;
        qreal radius;
        int alpha;
    } rings[] = {{{560, 130}, 150, 16}, {{470, -90}, 140, 12}, {{640, 10}, 90, 14}};
    for (const auto& ring : rings) {
        QRadialGradient glow(ring.centre, ring.radius);
        glow.setColorAt(0.0, QColor(120, 200, 240, 0));
        glow.setColorAt(0.82, QColor(120, 200, 240, ring.alpha));
        glow.setColorAt(1.0, QColor(120, 200, 240, 0));
        p.setBrush(glow);
        p.drawEllipse(ring.centre, ring.radius, ring.radius);
    }

    // A fine dotted grid fading in towards the middle.
    for (int x = 250; x < 630; x += 12) {
        for (int y = 8; y < 72; y += 12) {
            const int alpha = static_cast<int>(18.0 * (x - 250) / 380.0);
            p.setBrush(QColor(255, 255, 255, alpha));
            p.drawEllipse(QPointF(x, y), 0.9, 0.9);
        }
    }

    // An accent line along the bottom edge.
    QLinearGradient accent(0, 0, 630, 0);
    accent.setColorAt(0.0, QColor(64, 190, 232, 230));
    accent.setColorAt(0.7, QColor(64, 190, 232, 120));
    accent.setColorAt(1.0, QColor(64, 190, 232, 40));
    p.fillRect(QRectF(0, 73, 630, 2), accent);
    return image;
}

QImage logo()
{
    QImage image(240, 50, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    // The mark: a rounded tile with three stacked blocks, the top one forming a "T".
    const QRectF tile(58, 6, 38, 38);
    QLinearGradient tileFill(tile.topLeft(), tile.bottomRight());
    tileFill.setColorAt(0.0, QColor(72, 200, 240));
    tileFill.setColorAt(1.0, QColor(24, 120, 196));
    p.setPen(QPen(QColor(255, 255, 255, 90), 1));
    p.setBrush(tileFill);
    p.drawRoundedRect(tile, 8, 8);

    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(66, 13, 22, 6), 1.5, 1.5); // the bar of the T
    p.drawRoundedRect(QRectF(74, 19, 6, 18), 1.5, 1.5); // its stem
    p.setBrush(QColor(255, 255, 255, 150));
    p.drawRoundedRect(QRectF(66, 24, 6, 6), 1.5, 1.5); // two components beside the stem
    p.drawRoundedRect(QRectF(82, 24, 6, 6), 1.5, 1.5);
    p.setBrush(QColor(255, 255, 255, 90));
    p.drawRoundedRect(QRectF(66, 32, 6, 5), 1.5, 1.5);
    p.drawRoundedRect(QRectF(82, 32, 6, 5), 1.5, 1.5);

    // The name, and the word "LIBRARY" spaced out beneath it.
    const QFont name = font(25, QFont::Bold);
    p.setFont(name);
    p.setPen(QColor(0, 0, 0, 70));
    p.drawText(QPointF(105, 29), "Tarvix");
    p.setPen(Qt::white);
    p.drawText(QPointF(104, 28), "Tarvix");

    p.setFont(font(10, QFont::DemiBold, 3.2));
    p.setPen(QColor(160, 222, 246));
    p.drawText(QPointF(106, 43), "LIBRARY");
    return image;
}

// The wait animation: a ring of eight dots in the blue of the overlay's frame on white. A bright head goes round
// clockwise from twelve o'clock, half a dot's step per frame, so that 16 frames make one turn and the last one
// leads back into the first; the dots behind the head fade and shrink along its trail.
constexpr int FramesAguardando = 16;

QImage aguardando(int frame)
{
    constexpr int side = 35;
    constexpr int dots = 8;
    constexpr qreal pi = 3.14159265358979323846;
    const QColor blue(89, 116, 145);
    const QColor pale(222, 228, 235); // the blue, mostly faded into white

    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);

    const QPointF centre(side / 2.0, side / 2.0);
    const qreal head = frame * 360.0 / FramesAguardando;
    for (int i = 0; i < dots; ++i) {
        const qreal angle = i * 360.0 / dots;
        // How far the dot lies behind the head, in degrees (0 up to one turn).
        const qreal behind = std::fmod(head - angle + 720.0, 360.0);
        const qreal t = std::max(0.0, 1.0 - behind / 270.0);
        const QColor colour(static_cast<int>(std::lround(pale.red() + t * (blue.red() - pale.red()))),
                            static_cast<int>(std::lround(pale.green() + t * (blue.green() - pale.green()))),
                            static_cast<int>(std::lround(pale.blue() + t * (blue.blue() - pale.blue()))));
        const qreal radians = (angle - 90.0) * pi / 180.0;
        const QPointF at = centre + QPointF(std::cos(radians), std::sin(radians)) * 11.5;
        const qreal radius = 2.2 + 1.3 * t;
        p.setBrush(colour);
        p.drawEllipse(at, radius, radius);
    }
    return image;
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: tarvix-draw-pictures FOLDER\n");
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!header().save(folder.filePath("cabecalho.png")) || !logo().save(folder.filePath("logo.png"))) {
        std::fprintf(stderr, "tarvix-draw-pictures: cannot write the pictures into %s\n", argv[1]);
        return 1;
    }
    if (!folder.mkpath("aguardando")) {
        std::fprintf(stderr, "tarvix-draw-pictures: cannot make the folder aguardando in %s\n", argv[1]);
        return 1;
    }
    for (int frame = 0; frame < FramesAguardando; ++frame) {
        const QString name = QString("aguardando/%1.png").arg(frame + 1, 2, 10, QChar('0'));
        if (!aguardando(frame).save(folder.filePath(name))) {
            std::fprintf(stderr, "tarvix-draw-pictures: cannot write %s into %s\n", qPrintable(name), argv[1]);
            return 1;
        }
    }
    return 0;
}
