#include "components/ex_folder_tree.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyle>
#include <QStyledItemDelegate>

#include <algorithm>

#include "components/kq_lib_functions.h"
#include "platform/ascii_case.h"
#include "platform/errors.h"
#include "platform/system.h"

namespace tarvix {
namespace {

constexpr int PathRole = Qt::UserRole;
constexpr int KindRole = Qt::UserRole + 1;
constexpr int LoadedRole = Qt::UserRole + 2;

// The tree's display name of the desktop root.
const char* const DesktopCaption = "Área de Trabalho";

QString Q(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

bool SameName(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// "C:\a\b\" -> "C:", "a", "b". Empty components (doubled or trailing backslashes) are passed over.
QStringList Components(std::string_view path)
{
    QStringList parts = Q(path).split(u'\\', Qt::SkipEmptyParts);
    return parts;
}

bool IsDriveComponent(const QString& part)
{
    return part.size() == 2 && part[1] == u':' && part[0].isLetter();
}

std::string LeafName(std::string_view path)
{
    // Every trailing backslash goes ("C:\a\b\\" gives "b"), not just the one platform::excludeTrailingBackslash
    // takes; a lone "\" stays.
    std::string_view p = path;
    while (p.size() > 1 && p.back() == '\\')
        p.remove_suffix(1);
    const std::size_t slash = p.rfind('\\');
    return std::string(slash == std::string_view::npos ? p : p.substr(slash + 1));
}

// Folder queries that never throw: a path the platform cannot map is simply no folder.
bool IsDirectory(std::string_view path)
{
    try {
        return !path.empty() && platform::current().files().directoryExists(path);
    } catch (const platform::PlatformError&) {
        return false;
    }
}

std::string LongPath(std::string_view path)
{
    try {
        return platform::current().files().longPathName(path);
    } catch (const platform::PlatformError&) {
        return {};
    }
}

// Rows of a fixed height when the tree asks for one.
class RowHeightDelegate : public QStyledItemDelegate {
public:
    explicit RowHeightDelegate(TExFolderTree* tree) : QStyledItemDelegate(tree), tree_(tree) {}

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        if (tree_->ItemHeight() > 0)
            size.setHeight(tree_->ItemHeight());
        return size;
    }

private:
    TExFolderTree* tree_;
};

} // namespace

TExFolderTree::TExFolderTree(QWidget* parent) : QTreeWidget(parent)
{
    setColumnCount(1);
    header()->hide();
    setRootIsDecorated(false);
    setIndentation(20);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setItemDelegate(new RowHeightDelegate(this));
    setExpandsOnDoubleClick(true);

    // The selection stays as visible as when the tree has the focus.
    QPalette pal = palette();
    pal.setColor(QPalette::Inactive, QPalette::Highlight, pal.color(QPalette::Active, QPalette::Highlight));
    pal.setColor(QPalette::Inactive, QPalette::HighlightedText, pal.color(QPalette::Active, QPalette::HighlightedText));
    setPalette(pal);

    connect(this, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) { EnsureLoaded(item); });
    connect(this, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int) { Renamed(item); });
}

void TExFolderTree::SetRoot(std::string_view root)
{
    if (FBuilt && root == FRoot)
        return;
    FRoot = root;
    Rebuild();
}

void TExFolderTree::Rebuild()
{
    FUpdating = true;
    clear();
    QTreeWidgetItem* top;
    const bool desktop = platform::equalsIgnoringAsciiCase(FRoot, DesktopRoot);
    const std::string folder = desktop ? std::string() : LongPath(FRoot);
    if (!desktop && IsDirectory(folder)) {
        const QStringList parts = Components(folder);
        const bool drive = parts.size() == 1 && IsDriveComponent(parts[0]);
        top = MakeItem(drive ? parts[0].toUpper() : Q(LeafName(folder)), folder, drive ? Kind::Drive : Kind::Folder);
    } else {
        top = MakeItem(QString::fromUtf8(DesktopCaption), std::string(DesktopParsingName), Kind::Virtual);
        top->setIcon(0, style()->standardIcon(QStyle::SP_DesktopIcon));
    }
    addTopLevelItem(top);
    FBuilt = true;
    FUpdating = false;
    EnsureLoaded(top);
    top->setExpanded(true);
    setCurrentItem(top);
}

void TExFolderTree::SetItemHeight(int value)
{
    if (value == FItemHeight)
        return;
    FItemHeight = value;
    scheduleDelayedItemsLayout();
}

void TExFolderTree::SetReadOnly(bool value)
{
    if (value == FReadOnly)
        return;
    FReadOnly = value;
    setEditTriggers(FReadOnly ? QAbstractItemView::NoEditTriggers
                              : QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    FUpdating = true;
    for (QTreeWidgetItemIterator it(this); *it; ++it)
        ApplyEditFlags(*it);
    FUpdating = false;
}

void TExFolderTree::ApplyEditFlags(QTreeWidgetItem* item) const
{
    Qt::ItemFlags flags = item->flags();
    flags.setFlag(Qt::ItemIsEditable, !FReadOnly && KindOf(item) == Kind::Folder);
    item->setFlags(flags);
}

QTreeWidgetItem* TExFolderTree::MakeItem(const QString& text, const std::string& path, Kind kind)
{
    auto* item = new QTreeWidgetItem(QStringList{text});
    item->setData(0, PathRole, Q(path));
    item->setData(0, KindRole, static_cast<int>(kind));
    item->setData(0, LoadedRole, false);
    item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    item->setIcon(0, style()->standardIcon(kind == Kind::Drive ? QStyle::SP_DriveHDIcon : QStyle::SP_DirIcon));
    ApplyEditFlags(item);
    return item;
}

std::string TExFolderTree::PathOf(const QTreeWidgetItem* item)
{
    return item ? item->data(0, PathRole).toString().toStdString() : std::string();
}

TExFolderTree::Kind TExFolderTree::KindOf(const QTreeWidgetItem* item)
{
    return static_cast<Kind>(item->data(0, KindRole).toInt());
}

bool TExFolderTree::Loaded(const QTreeWidgetItem* item)
{
    return item->data(0, LoadedRole).toBool();
}

std::string TExFolderTree::SelectedPath() const
{
    return PathOf(currentItem());
}

std::vector<TExFolderTree::Entry> TExFolderTree::ReadChildren(const QTreeWidgetItem* item) const
{
    std::vector<Entry> entries;
    auto& files = platform::current().files();
    if (KindOf(item) == Kind::Virtual) {
        for (const std::string& drive : files.drives())
            entries.push_back({Q(drive).toUpper(), IncPathDelimiter(drive), Kind::Drive});
        std::string desktop;
        try {
            desktop = platform::current().shell().desktopFolder();
        } catch (const platform::PlatformError&) {}
        if (IsDirectory(desktop)) {
            const std::string spelled = LongPath(desktop);
            const std::string path = spelled.empty() ? desktop : spelled;
            entries.push_back({Q(LeafName(path)), path, Kind::Folder});
        }
        return entries;
    }

    const std::string path = PathOf(item);
    std::vector<platform::DirEntry> found;
    try {
        found = files.enumerate(path, "*");
    } catch (const platform::PlatformError&) {}
    for (const platform::DirEntry& e : found)
        if (e.attributes & platform::FileAttr::Directory)
            entries.push_back({Q(e.name), IncPathDelimiter(path) + e.name, Kind::Folder});
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        const int c = a.text.compare(b.text, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a.text < b.text;
    });
    return entries;
}

void TExFolderTree::EnsureLoaded(QTreeWidgetItem* item)
{
    if (item && !Loaded(item))
        RefreshFolder(item);
}

void TExFolderTree::RefreshFolder(QTreeWidgetItem* item)
{
    if (!item)
        return;
    const std::vector<Entry> entries = ReadChildren(item);
    QTreeWidgetItem* const current = currentItem();
    bool currentGone = false;
    FUpdating = true;
    // Folders that are gone lose their nodes; the others keep theirs (with their expansion and the nodes
    // read below them), new ones get new nodes, all in the order of the names.
    for (int c = item->childCount() - 1; c >= 0; --c) {
        QTreeWidgetItem* child = item->child(c);
        const bool present = std::any_of(entries.begin(), entries.end(),
                                         [child](const Entry& e) { return SameName(e.text, child->text(0)); });
        if (!present) {
            for (const QTreeWidgetItem* p = current; p; p = p->parent())
                currentGone = currentGone || p == child;
            delete item->takeChild(c);
        }
    }
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const int at = static_cast<int>(i);
        int existing = -1;
        for (int c = at; c < item->childCount() && existing < 0; ++c)
            if (SameName(item->child(c)->text(0), entries[i].text))
                existing = c;
        if (existing < 0) {
            item->insertChild(at, MakeItem(entries[i].text, entries[i].path, entries[i].kind));
            continue;
        }
        if (existing != at)
            item->insertChild(at, item->takeChild(existing));
        QTreeWidgetItem* child = item->child(at);
        child->setText(0, entries[i].text);
        child->setData(0, PathRole, Q(entries[i].path));
    }
    item->setData(0, LoadedRole, true);
    item->setChildIndicatorPolicy(entries.empty() ? QTreeWidgetItem::DontShowIndicatorWhenChildless
                                                  : QTreeWidgetItem::ShowIndicator);
    FUpdating = false;
    // Moving a node out and back in loses Qt's current item; put it back unless its folder is gone.
    if (current && !currentGone && currentItem() != current)
        setCurrentItem(current);
}

void TExFolderTree::RefreshSelected()
{
    RefreshFolder(currentItem());
}

QTreeWidgetItem* TExFolderTree::DescendTo(QTreeWidgetItem* from, std::string_view fromPath, std::string_view path)
{
    const QStringList base = Components(fromPath);
    const QStringList target = Components(path);
    if (target.size() < base.size())
        return nullptr;
    for (qsizetype i = 0; i < base.size(); ++i)
        if (!SameName(base[i], target[i]))
            return nullptr;
    QTreeWidgetItem* node = from;
    for (qsizetype i = base.size(); i < target.size(); ++i) {
        EnsureLoaded(node);
        QTreeWidgetItem* next = nullptr;
        for (int c = 0; c < node->childCount() && !next; ++c)
            if (SameName(node->child(c)->text(0), target[i]))
                next = node->child(c);
        if (!next) {
            // A folder made since this one was read: read it again once.
            RefreshFolder(node);
            for (int c = 0; c < node->childCount() && !next; ++c)
                if (SameName(node->child(c)->text(0), target[i]))
                    next = node->child(c);
        }
        if (!next)
            return nullptr;
        node = next;
    }
    return node;
}

QTreeWidgetItem* TExFolderTree::FindLoaded(std::string_view path) const
{
    const QString wanted = Q(path);
    for (QTreeWidgetItemIterator it(const_cast<TExFolderTree*>(this)); *it; ++it) {
        const QString p = (*it)->data(0, PathRole).toString();
        if (SameName(p, wanted) || Components(path) == Components(p.toStdString()))
            return *it;
    }
    return nullptr;
}

bool TExFolderTree::SelectPath(std::string_view path)
{
    if (!FBuilt)
        Rebuild();
    QTreeWidgetItem* top = topLevelItem(0);
    if (!top || path.empty())
        return false;

    QTreeWidgetItem* found = nullptr;
    if (KindOf(top) == Kind::Virtual && SameName(Q(path), Q(DesktopParsingName))) {
        found = top;
    } else {
        const std::string full = LongPath(path);
        if (full.empty() || !IsDirectory(full))
            return false;
        if (KindOf(top) == Kind::Virtual) {
            EnsureLoaded(top);
            // Through the drive first; else through the desktop folder (a drive that is not listed).
            for (int c = 0; c < top->childCount() && !found; ++c)
                if (KindOf(top->child(c)) == Kind::Drive)
                    found = DescendTo(top->child(c), PathOf(top->child(c)), full);
            for (int c = 0; c < top->childCount() && !found; ++c)
                if (KindOf(top->child(c)) == Kind::Folder)
                    found = DescendTo(top->child(c), PathOf(top->child(c)), full);
        } else {
            found = DescendTo(top, PathOf(top), full);
        }
    }
    if (!found)
        return false;
    for (QTreeWidgetItem* p = found->parent(); p; p = p->parent())
        p->setExpanded(true);
    setCurrentItem(found);
    scrollToItem(found);
    return true;
}

void TExFolderTree::Renamed(QTreeWidgetItem* item)
{
    if (FUpdating || !item || KindOf(item) != Kind::Folder)
        return;
    const std::string oldPath = PathOf(item);
    const std::string oldName = LeafName(oldPath);
    const std::string newName = item->text(0).trimmed().toStdString();
    if (newName == oldName)
        return;
    const bool valid = !newName.empty() && newName != "." && newName != ".." &&
                       newName.find_first_of("\\/:*?\"<>|") == std::string::npos;
    QTreeWidgetItem* parentItem = item->parent();
    const std::string newPath = IncPathDelimiter(PathOf(parentItem)) + newName;
    bool moved = false;
    if (valid && parentItem) {
        try {
            moved = platform::current().files().moveFile(oldPath, newPath);
        } catch (const platform::PlatformError&) {}
    }
    FUpdating = true;
    if (!moved) {
        item->setText(0, Q(oldName));
        FUpdating = false;
        return;
    }
    // The folder's nodes below are named after the old path: read them again when needed.
    item->setData(0, PathRole, Q(newPath));
    item->setText(0, Q(newName));
    qDeleteAll(item->takeChildren());
    item->setData(0, LoadedRole, false);
    item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    item->setExpanded(false);
    FUpdating = false;
    // The parent's order follows the names.
    RefreshFolder(parentItem);
    setCurrentItem(FindLoaded(newPath));
    emit currentItemChanged(currentItem(), nullptr);
}

void TExFolderTree::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_F5 && event->modifiers() == Qt::NoModifier) {
        RefreshSelected();
        event->accept();
        return;
    }
    QTreeWidget::keyPressEvent(event);
}

void TExFolderTree::mousePressEvent(QMouseEvent* event)
{
    // A right click selects the folder under the mouse, as a left click does.
    if (event->button() == Qt::RightButton)
        if (QTreeWidgetItem* item = itemAt(event->position().toPoint()))
            setCurrentItem(item);
    QTreeWidget::mousePressEvent(event);
}

} // namespace tarvix
