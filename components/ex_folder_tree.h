// TExFolderTree: the folder tree of the folder selection dialog. It shows the machine's folders the way a
// Windows user sees them, by their Windows names and paths, through the platform's file system:
//
//   Root "rfDesktop"   a virtual top node, the desktop, listing the mapped drives ("C:", "Z:", ...) and the
//                      user's desktop folder;
//   Root a folder path the tree starts at that folder.
//
// Folders are read when they are first expanded (or reached by SelectPath), hidden ones included, and are
// never watched for changes: RefreshFolder re-reads a folder on request (F5 re-reads the selected one). A node
// that is no folder of the file system (the desktop root) has a path that is not a directory: the shell's
// parsing name of the desktop, "::{00021400-0000-0000-C000-000000000046}".
#pragma once

#include <QTreeWidget>

#include <string>
#include <string_view>
#include <vector>

namespace tarvix {

class TExFolderTree : public QTreeWidget {
    Q_OBJECT
public:
    // The special root of the whole desktop, and the parsing name its node reports as its path.
    static constexpr std::string_view DesktopRoot = "rfDesktop";
    static constexpr std::string_view DesktopParsingName = "::{00021400-0000-0000-C000-000000000046}";

    explicit TExFolderTree(QWidget* parent = nullptr);

    // "rfDesktop" (compared without regard to case) or a folder's Windows path. Setting a different root (or
    // Rebuild) discards every node and starts again with the root expanded and selected. A path that names no
    // existing folder gives the desktop root.
    const std::string& Root() const { return FRoot; }
    void SetRoot(std::string_view root);
    void Rebuild();

    // Pixels per level.
    int Indent() const { return indentation(); }
    void SetIndent(int value) { setIndentation(value); }
    // Row height in pixels; 0 or less keeps the rows' own height.
    int ItemHeight() const { return FItemHeight; }
    void SetItemHeight(int value);
    // False lets the user rename folders in place (F2 or a click on the selected folder); drives and the
    // desktop root are never renamed.
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool value);

    // Selects the folder with this Windows path (any letter case, with or without a trailing backslash),
    // reading and expanding the folders down to it. False, with the selection unchanged, when the tree does not
    // reach such a folder.
    bool SelectPath(std::string_view path);
    // The selected node's path: a folder's Windows path (a drive root as "C:\"), the parsing name of a virtual
    // node; empty when nothing is selected.
    std::string SelectedPath() const;
    // The path of a node (as SelectedPath).
    static std::string PathOf(const QTreeWidgetItem* item);

    // Re-reads the folders below `item`: new folders appear, vanished ones go, the others keep their own nodes
    // (and so their expansion and selection). A node that was never read is read now.
    void RefreshFolder(QTreeWidgetItem* item);
    void RefreshSelected();

    // The node of a path among the nodes read so far, or nullptr.
    QTreeWidgetItem* FindLoaded(std::string_view path) const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    enum class Kind { Virtual, Drive, Folder };

    QTreeWidgetItem* MakeItem(const QString& text, const std::string& path, Kind kind);
    static Kind KindOf(const QTreeWidgetItem* item);
    static bool Loaded(const QTreeWidgetItem* item);
    void EnsureLoaded(QTreeWidgetItem* item);
    // The child nodes a node should have now, in display order: (text, path, kind).
    struct Entry {
        QString text;
        std::string path;
        Kind kind;
    };
    std::vector<Entry> ReadChildren(const QTreeWidgetItem* item) const;
    QTreeWidgetItem* DescendTo(QTreeWidgetItem* from, std::string_view fromPath, std::string_view path);
    void Renamed(QTreeWidgetItem* item);
    void ApplyEditFlags(QTreeWidgetItem* item) const;

    std::string FRoot{DesktopRoot};
    int FItemHeight = 0;
    bool FReadOnly = true;
    bool FBuilt = false;
    bool FUpdating = false; // set while the tree changes item texts itself
};

} // namespace tarvix
