// The step notebook: a container that holds an ordered list of pages and shows exactly one of them, filling its
// client area. It draws no tabs and has no navigation of its own: its owner switches pages in code and reacts to
// the change through OnChange.
//
// Pages join a notebook when they are created with it as their parent (a Qt Designer form creates them in the
// order the form lists them), when SetNotebook is called, or, for a page given the notebook as parent later with
// setParent(), when the notebook is polished (at the latest before it is first shown). The notebook does not own
// its pages: they are child widgets and die with it, and each side unlinks itself from the other when destroyed.
//
// In a Qt Designer form the notebook and its pages are promoted widgets; their own properties are written with
// stdset="0", so that uic sets them through setProperty(). The form's owner calls Loaded() once setupUi() has
// run.
#pragma once

#include <QString>

#include <functional>
#include <vector>

#include "components/kq_custom_panel.h"

namespace tarvix {

class TExNotebookPage;

class TExNotebook : public TKqCustomPanel {
    Q_OBJECT
    // Not stored: a form sets it before its pages exist, where it would do nothing. A form names its first page
    // with ActivePageName instead.
    Q_PROPERTY(int ActivePageIndex READ ActivePageIndex WRITE SetActivePageIndex STORED false)
    Q_PROPERTY(QString ActivePageName READ ActivePageName WRITE SetActivePageName)

public:
    explicit TExNotebook(QWidget* parent = nullptr);
    ~TExNotebook() override;

    TExNotebookPage* ActivePage() const { return FActivePage; }
    // Shows `page` and raises OnChange; nothing happens for none, a page of another notebook or the page that
    // is already active.
    void SetActivePage(TExNotebookPage* page);

    // The position of the active page as recorded at the last change of the active page.
    int ActivePageIndex() const { return FActivePageIndex; }
    void SetActivePageIndex(int index);

    // The objectName of the active page. Setting it activates the page of that name; when no page of that name
    // has joined yet (a form sets the property before it creates the pages) the name is kept and applied,
    // without OnChange, by Loaded() or when the notebook is polished.
    QString ActivePageName() const;
    void SetActivePageName(const QString& name);

    // ActivePageIndex + 1 or - 1, without wrapping around.
    void SelectNextPage(bool goForward);
    // The page after (goForward) or before `curPage`, wrapping around at both ends; a page that is not in the
    // notebook gives the first page forward and the last page backward; none on an empty notebook.
    TExNotebookPage* FindNextPage(const TExNotebookPage* curPage, bool goForward) const;

    int PageCount() const { return static_cast<int>(FPages.size()); }
    // The page at `index`, or nullptr when the index is out of range.
    TExNotebookPage* Pages(int index) const;

    // While loading, page changes raise no OnChange. Loaded() applies a pending ActivePageName and ends loading.
    bool Loading() const { return FLoading; }
    void SetLoading(bool value) { FLoading = value; }
    void Loaded() override;

    // Asked to make `control` visible: when it is one of the pages, it becomes the active page first. Then the
    // request goes on to the notebook's own parents (so a notebook on a page of another notebook shows too).
    void ShowControl(QWidget* control);

    // Raised after the active page changed; the sender is the notebook. A handler may change the active page
    // again: that change runs to its end, with its own OnChange, before the handler goes on.
    std::function<void(QObject* Sender)> OnChange;

protected:
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    friend class TExNotebookPage;

    // Page list bookkeeping, called by the page.
    void InsertPage(TExNotebookPage* page);
    void RemovePage(TExNotebookPage* page, bool hide = true);
    void MovePage(TExNotebookPage* page, int index);
    int IndexOfPage(const TExNotebookPage* page) const;

    // The area the pages fill: the client area less the border.
    QRect PageRect() const;
    void LayoutPages();
    void ApplyPendingPageName();
    void SelectFirstOn(QWidget* page);

    std::vector<TExNotebookPage*> FPages;
    TExNotebookPage* FActivePage = nullptr;
    int FActivePageIndex = 0;
    QString FPendingPageName;
    bool FLoading = false;
    // Set while the notebook itself shows a page, so that the page's setVisible does not ask to be activated.
    bool FShowingPage = false;
};

// A page paints its background colour only; its Caption is kept for the form and not drawn.
class TExNotebookPage : public TKqCustomPanel {
    Q_OBJECT
    Q_PROPERTY(int PageIndex READ PageIndex WRITE SetPageIndex STORED false)

public:
    // A page created on a notebook joins it at once, at the end of its pages.
    explicit TExNotebookPage(QWidget* parent = nullptr);
    ~TExNotebookPage() override;

    TExNotebook* Notebook() const { return FNotebook; }
    // Moves the page into `notebook` (at the end), or out of every notebook when it is nullptr. The page's parent
    // widget becomes `notebook`; a page taken out of every notebook has no parent, and whoever took it out owns
    // it (as with QWidget::setParent(nullptr)).
    void SetNotebook(TExNotebook* notebook);

    // The position in the notebook; -1 in none.
    int PageIndex() const;
    // Moves the page to `index` (clamped to the notebook's pages); nothing without a notebook.
    void SetPageIndex(int index);

    // Showing a page that is not the active one makes it the active page.
    void setVisible(bool visible) override;

private:
    friend class TExNotebook;

    TExNotebook* FNotebook = nullptr;
};

// Makes `control` visible the way a form does before it focuses a control: every notebook between the control
// and its window first activates the page that holds it, then the control itself is shown.
void ShowControl(QWidget* control);

} // namespace tarvix
