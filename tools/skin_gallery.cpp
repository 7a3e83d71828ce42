#include "tools/skin_gallery.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "components/kq_gauge.h"

namespace tarvix {
namespace {

QIcon squareIcon(const QColor& color)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.fillRect(QRect(3, 3, 10, 10), color);
    return QIcon(pixmap);
}

} // namespace

QPixmap galleryGlyphStrip(int cells)
{
    static const QColor colors[] = {QColor(40, 90, 220), QColor(150, 150, 150), QColor(20, 40, 120),
                                    QColor(30, 160, 60)};
    QPixmap strip(16 * cells, 16);
    strip.fill(Qt::magenta);
    QPainter p(&strip);
    for (int i = 0; i < cells; ++i)
        p.fillRect(QRect(16 * i + 3, 3, 10, 10), colors[i % 4]);
    return strip;
}

SkinGallery::SkinGallery(QWidget* parent) : QMainWindow(parent)
{
    setWindowTitle(QStringLiteral("Skin gallery"));
    buildMenus();
    buildToolBars();
    buildStatusBar();
    auto* central = new QWidget(this);
    auto* columns = new QHBoxLayout(central);
    columns->addWidget(buildButtons());
    columns->addWidget(buildLists());
    columns->addWidget(buildOthers());
    setCentralWidget(central);
    resize(960, 660);
}

template <class W>
W* SkinGallery::add(W* widget, const QString& name)
{
    widget->setObjectName(name);
    names_.append(name);
    return widget;
}

QWidget* SkinGallery::control(const QString& name) const
{
    return findChild<QWidget*>(name);
}

void SkinGallery::buildMenus()
{
    QMenuBar* bar = add(menuBar(), QStringLiteral("menu bar"));
    fileMenu_ = add(bar->addMenu(QStringLiteral("&File")), QStringLiteral("menu"));
    fileMenu_->addAction(squareIcon(Qt::darkCyan), QStringLiteral("&New"), QKeySequence(QStringLiteral("Ctrl+N")));
    fileMenu_->addAction(QStringLiteral("&Open..."));
    QAction* wrap = fileMenu_->addAction(QStringLiteral("&Word wrap"));
    wrap->setCheckable(true);
    wrap->setChecked(true);
    fileMenu_->addSeparator();
    QAction* print = fileMenu_->addAction(squareIcon(Qt::darkRed), QStringLiteral("&Print"));
    print->setEnabled(false);
    fileMenu_->setDefaultAction(fileMenu_->actions().at(1));
    QMenu* recent = fileMenu_->addMenu(QStringLiteral("&Recent"));
    recent->addAction(QStringLiteral("one.txt"));
    bar->addMenu(QStringLiteral("&Edit"))->addAction(QStringLiteral("&Copy"));
    bar->addAction(squareIcon(Qt::darkGreen), QStringLiteral("&Help"));
}

void SkinGallery::buildToolBars()
{
    QToolBar* flat = add(addToolBar(QStringLiteral("Flat")), QStringLiteral("tool bar"));
    flat->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    QAction* first = flat->addAction(squareIcon(Qt::blue), QStringLiteral("Cut"));
    QAction* checked = flat->addAction(squareIcon(Qt::darkGreen), QStringLiteral("Bold"));
    checked->setCheckable(true);
    checked->setChecked(true);
    flat->addSeparator();
    auto* menuButton = new QToolButton(flat);
    menuButton->setText(QStringLiteral("More"));
    menuButton->setIcon(squareIcon(Qt::darkMagenta));
    menuButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    menuButton->setPopupMode(QToolButton::MenuButtonPopup);
    menuButton->setMenu(new QMenu(menuButton));
    menuButton->menu()->addAction(QStringLiteral("Again"));
    flat->addWidget(menuButton);
    add(qobject_cast<QToolButton*>(flat->widgetForAction(first)), QStringLiteral("tool button"));
    add(menuButton, QStringLiteral("drop-down tool button"));

    QToolBar* raised = add(addToolBar(QStringLiteral("Raised")), QStringLiteral("non-flat tool bar"));
    raised->setProperty("Flat", false);
    raised->setProperty("EdgeBorders", 15);
    raised->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    raised->addAction(squareIcon(Qt::darkYellow), QStringLiteral("Paste"));
    raised->addAction(squareIcon(Qt::gray), QStringLiteral("Undo"))->setEnabled(false);
}

void SkinGallery::buildStatusBar()
{
    QStatusBar* bar = add(statusBar(), QStringLiteral("status bar"));
    bar->addWidget(new QLabel(QStringLiteral("Ready"), bar), 1);
    bar->addWidget(new QLabel(QStringLiteral("Line 1"), bar));
    bar->addPermanentWidget(new QLabel(QStringLiteral("INS"), bar));
    bar->setSizeGripEnabled(true);
}

QWidget* SkinGallery::buildButtons()
{
    auto* column = new QWidget(this);
    auto* layout = new QVBoxLayout(column);
    layout->addWidget(add(new QPushButton(QStringLiteral("Push button"), column), QStringLiteral("push button")));
    auto* def = add(new QPushButton(QStringLiteral("Default"), column), QStringLiteral("default button"));
    def->setDefault(true);
    layout->addWidget(def);
    auto* bit = add(new QPushButton(squareIcon(Qt::darkBlue), QStringLiteral("Bitmap"), column),
                    QStringLiteral("bitmap button"));
    layout->addWidget(bit);
    auto* disabled = add(new QPushButton(QStringLiteral("Disabled"), column), QStringLiteral("disabled button"));
    disabled->setEnabled(false);
    layout->addWidget(disabled);
    auto* check = add(new QCheckBox(QStringLiteral("Check box"), column), QStringLiteral("check box"));
    check->setChecked(true);
    layout->addWidget(check);
    auto* grayed = add(new QCheckBox(QStringLiteral("Grayed"), column), QStringLiteral("grayed check box"));
    grayed->setTristate(true);
    grayed->setCheckState(Qt::PartiallyChecked);
    layout->addWidget(grayed);
    auto* radio = add(new QRadioButton(QStringLiteral("Radio button"), column), QStringLiteral("radio button"));
    radio->setChecked(true);
    layout->addWidget(radio);
    layout->addWidget(new QRadioButton(QStringLiteral("Other radio"), column));
    auto* group = add(new QGroupBox(QStringLiteral("Group box"), column), QStringLiteral("group box"));
    auto* inGroup = new QVBoxLayout(group);
    inGroup->addWidget(add(new QLineEdit(QStringLiteral("Edit"), group), QStringLiteral("edit")));
    layout->addWidget(group);
    auto* progress = add(new QProgressBar(column), QStringLiteral("progress bar"));
    progress->setValue(60);
    layout->addWidget(progress);
    auto* gauge = add(new TKqGauge(column), QStringLiteral("gauge"));
    gauge->SetProgress(40);
    gauge->setMinimumHeight(20);
    layout->addWidget(gauge);
    // Speed buttons: a four-cell glyph strip, one flat, one down.
    auto* speeds = new QWidget(column);
    auto* row = new QHBoxLayout(speeds);
    const auto speed = [&](const QString& name, const QString& text) {
        auto* button = add(new QToolButton(speeds), name);
        button->setIcon(QIcon(galleryGlyphStrip(4)));
        button->setIconSize(QSize(64, 16));
        button->setProperty("NumGlyphs", 4);
        button->setText(text);
        button->setMinimumSize(72, 28);
        row->addWidget(button);
        return button;
    };
    speed(QStringLiteral("speed button"), QStringLiteral("Speed"));
    speed(QStringLiteral("flat speed button"), QStringLiteral("Flat"))->setAutoRaise(true);
    QToolButton* down = speed(QStringLiteral("down speed button"), QStringLiteral("Down"));
    down->setCheckable(true);
    down->setChecked(true);
    layout->addWidget(speeds);
    layout->addStretch();
    return column;
}

QWidget* SkinGallery::buildLists()
{
    auto* column = new QWidget(this);
    auto* layout = new QVBoxLayout(column);
    layout->addWidget(add(new QPlainTextEdit(QStringLiteral("Memo\nsecond line"), column), QStringLiteral("memo")));
    auto* list = add(new QListWidget(column), QStringLiteral("list box"));
    list->addItems({QStringLiteral("First"), QStringLiteral("Second"), QStringLiteral("Third")});
    layout->addWidget(list);
    auto* tree = add(new QTreeWidget(column), QStringLiteral("tree view"));
    tree->setHeaderHidden(true);
    auto* root = new QTreeWidgetItem(tree, {QStringLiteral("Folder")});
    new QTreeWidgetItem(root, {QStringLiteral("File")});
    tree->expandAll();
    layout->addWidget(tree);
    auto* view = add(new QTreeWidget(column), QStringLiteral("list view"));
    view->setRootIsDecorated(false);
    view->setHeaderLabels({QStringLiteral("Name"), QStringLiteral("Size")});
    view->header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    view->header()->setStretchLastSection(false);
    new QTreeWidgetItem(view, {QStringLiteral("setup.exe"), QStringLiteral("2 MB")});
    layout->addWidget(view);
    add(view->header()->viewport(), QStringLiteral("list view header"));
    auto* grid = add(new QTableWidget(4, 3, column), QStringLiteral("string grid"));
    grid->setHorizontalHeaderLabels({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")});
    grid->setItem(0, 0, new QTableWidgetItem(QStringLiteral("cell")));
    grid->setCurrentCell(1, 1);
    layout->addWidget(grid);
    add(grid->horizontalHeader()->viewport(), QStringLiteral("grid fixed row"));
    add(grid->verticalHeader()->viewport(), QStringLiteral("grid fixed column"));
    return column;
}

QWidget* SkinGallery::buildOthers()
{
    auto* column = new QWidget(this);
    auto* layout = new QVBoxLayout(column);
    auto* model = new QStandardItemModel(0, 3, column);
    model->setHorizontalHeaderLabels({QStringLiteral("One"), QStringLiteral("Two"), QStringLiteral("Three")});
    auto* header = add(new QHeaderView(Qt::Horizontal, column), QStringLiteral("header control"));
    header->setModel(model);
    header->setStretchLastSection(false);
    header->setFixedHeight(24);
    layout->addWidget(header);
    add(header->viewport(), QStringLiteral("header control sections"));
    auto* editable = add(new QComboBox(column), QStringLiteral("combo box"));
    editable->setEditable(true);
    editable->addItems({QStringLiteral("Editable"), QStringLiteral("Other")});
    layout->addWidget(editable);
    auto* dropDown = add(new QComboBox(column), QStringLiteral("drop-down list"));
    dropDown->addItems({QStringLiteral("Drop-down list"), QStringLiteral("Other")});
    layout->addWidget(dropDown);
    auto* spin = add(new QSpinBox(column), QStringLiteral("spin box"));
    spin->setValue(5);
    layout->addWidget(spin);
    auto* tabs = add(new QTabWidget(column), QStringLiteral("tab widget"));
    tabs->addTab(new QWidget(tabs), QStringLiteral("General"));
    tabs->addTab(new QWidget(tabs), squareIcon(Qt::darkGreen), QStringLiteral("Colours"));
    tabs->addTab(new QWidget(tabs), QStringLiteral("Off"));
    tabs->setTabEnabled(2, false);
    tabs->setMinimumHeight(90);
    layout->addWidget(tabs);
    add(tabs->tabBar(), QStringLiteral("tab bar"));
    auto* buttons = add(new QTabWidget(column), QStringLiteral("button tabs at the bottom"));
    buttons->setTabPosition(QTabWidget::South);
    buttons->setProperty("TabStyle", 1);
    buttons->addTab(new QWidget(buttons), QStringLiteral("Left"));
    buttons->addTab(new QWidget(buttons), QStringLiteral("Right"));
    buttons->setMinimumHeight(80);
    layout->addWidget(buttons);
    layout->addStretch();
    return column;
}

QImage SkinGallery::picture()
{
    QApplication::processEvents();
    return grab().toImage().convertToFormat(QImage::Format_RGB32);
}

QImage SkinGallery::menuPicture()
{
    fileMenu_->popup(mapToGlobal(QPoint(0, menuBar()->height())));
    fileMenu_->setActiveAction(fileMenu_->actions().at(1));
    QApplication::processEvents();
    const QImage image = fileMenu_->grab().toImage().convertToFormat(QImage::Format_RGB32);
    fileMenu_->hide();
    return image;
}

} // namespace tarvix
