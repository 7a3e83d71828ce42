// tarvix-skin-gallery FOLDER: saves the skin gallery as FOLDER/gallery-unskinned.png, then skins it with one
// engine and saves FOLDER/gallery-skinned.png and its opened file menu as FOLDER/gallery-menu-skinned.png. Run it
// on the offscreen platform (QT_QPA_PLATFORM=offscreen) for pictures that do not depend on a desktop.
#include <QApplication>
#include <QDir>
#include <QFont>
#include <QImage>

#include <cstdio>

#include "components/kq_skin_plus.h"
#include "tools/skin_gallery.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: tarvix-skin-gallery FOLDER\n");
        return 2;
    }
    QApplication app(argc, argv);
    // One font everywhere, so that the pictures look the same on every machine that has it.
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(12);
    QApplication::setFont(font);

    const QString folder = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "tarvix-skin-gallery: cannot create %s\n", argv[1]);
        return 1;
    }
    tarvix::SkinGallery gallery;
    gallery.show();
    const auto save = [&folder](const QImage& image, const char* name) {
        const QString path = QDir(folder).filePath(QString::fromLatin1(name));
        if (!image.save(path)) {
            std::fprintf(stderr, "tarvix-skin-gallery: cannot write %s\n", qPrintable(path));
            return false;
        }
        std::printf("%s\n", qPrintable(path));
        return true;
    };
    if (!save(gallery.picture(), "gallery-unskinned.png"))
        return 1;
    tarvix::TKqSkinPlus engine(&gallery);
    engine.Loaded();
    if (!save(gallery.picture(), "gallery-skinned.png") || !save(gallery.menuPicture(), "gallery-menu-skinned.png"))
        return 1;
    return 0;
}
