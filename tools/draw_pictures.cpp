// tarvix-draw-pictures FOLDER: draws the main window's header band (cabecalho.png, 630 x 75) and the library's
// logo (logo.png, 240 x 50, transparent) into FOLDER. The pictures are committed under resources/images; run
// this again after changing the drawing:
//
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
    return 0;
}
