// The skin gallery: one form with one control of every kind the skin engine paints (buttons, check controls,
// frames and gauges; lists, grids, headers, combo boxes and arrow buttons; menus, tabs, status bars, tool bars and
// speed buttons), each named after its kind, so that a picture of it shows the whole skin at once and the tests
// can find every control. tarvix-skin-gallery (tools/skin_gallery_main.cpp) saves it unskinned and skinned.
#pragma once

#include <QImage>
#include <QMainWindow>
#include <QString>
#include <QStringList>

class QMenu;

namespace tarvix {

class SkinGallery : public QMainWindow {
    Q_OBJECT
public:
    explicit SkinGallery(QWidget* parent = nullptr);

    // The control called `name` ("push button", "string grid", ...), or nullptr.
    QWidget* control(const QString& name) const;
    // The names of all controls, in the order they were made.
    const QStringList& controlNames() const { return names_; }
    // The menu bar's first menu (its items show every item state).
    QMenu* fileMenu() const { return fileMenu_; }

    // The form as it looks now, in 32-bit RGB.
    QImage picture();
    // The file menu opened below its bar item, with its second item highlighted, as it looks now.
    QImage menuPicture();

private:
    template <class W>
    W* add(W* widget, const QString& name);
    void buildMenus();
    void buildToolBars();
    void buildStatusBar();
    QWidget* buildButtons();
    QWidget* buildLists();
    QWidget* buildOthers();

    QStringList names_;
    QMenu* fileMenu_ = nullptr;
};

// A glyph strip of `cells` 16 x 16 cells in distinct colours on a magenta background (its transparent colour),
// as speed buttons take them: cell 0 blue, 1 grey, 2 dark blue, 3 green.
QPixmap galleryGlyphStrip(int cells);

} // namespace tarvix
