#include "components/ex_notebook.h"

#include <QChildEvent>
#include <QEvent>
#include <QPointer>
#include <QResizeEvent>

#include <algorithm>

namespace tarvix {
namespace {

// Passes a request to show `w` to the nearest notebook around it, with the child of that notebook that holds `w`.
void ShowInOuterNotebook(QWidget* w)
{
    for (; w != nullptr && !w->isWindow(); w = w->parentWidget()) {
        if (auto* notebook = qobject_cast<TExNotebook*>(w->parentWidget())) {
            notebook->ShowControl(w);
            return;
        }
    }
}

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// TExNotebook

TExNotebook::TExNotebook(QWidget* parent) : TKqCustomPanel(parent)
{
    resize(150, 150);
}

TExNotebook::~TExNotebook()
{
    // The pages are destroyed after this, as child widgets: make sure they do not call back.
    for (TExNotebookPage* page : FPages)
        page->FNotebook = nullptr;
    FPages.clear();
    FActivePage = nullptr;
}

void TExNotebook::SetActivePage(TExNotebookPage* page)
{
    if (page == nullptr || page->FNotebook != this || page == FActivePage)
        return;

    QWidget* form = window();
    TExNotebookPage* oldPage = FActivePage;

    // Focus must not stay on a control that is about to be hidden: park it on the old page itself first.
    if (oldPage != nullptr) {
        QWidget* focused = form->focusWidget();
        if (focused != nullptr && (focused == oldPage || oldPage->isAncestorOf(focused)))
            oldPage->setFocus(Qt::OtherFocusReason);
    }

    page->raise();
    FShowingPage = true;
    page->QWidget::setVisible(true);
    FShowingPage = false;
    if (oldPage != nullptr && form->focusWidget() == oldPage) {
        if (page->isVisible() && page->isEnabled())
            page->setFocus(Qt::OtherFocusReason);
        else
            setFocus(Qt::OtherFocusReason);
    }

    if (oldPage != nullptr)
        oldPage->QWidget::setVisible(false);
    FActivePage = page;
    LayoutPages();

    if (form->focusWidget() == page)
        SelectFirstOn(page);

    FActivePageIndex = IndexOfPage(page);

    if (!FLoading && OnChange) {
        // A copy: the handler may assign OnChange anew while it runs.
        const auto handler = OnChange;
        handler(this);
    }
}

void TExNotebook::SetActivePageIndex(int index)
{
    if (index < 0 || index >= PageCount() || index == FActivePageIndex)
        return;
    FActivePageIndex = index;
    SetActivePage(FPages[static_cast<size_t>(index)]);
}

QString TExNotebook::ActivePageName() const
{
    if (FActivePage != nullptr)
        return FActivePage->objectName();
    return FPendingPageName;
}

void TExNotebook::SetActivePageName(const QString& name)
{
    for (TExNotebookPage* page : FPages) {
        if (!name.isEmpty() && page->objectName() == name) {
            FPendingPageName.clear();
            SetActivePage(page);
            return;
        }
    }
    FPendingPageName = name;
}

void TExNotebook::SelectNextPage(bool goForward)
{
    SetActivePageIndex(FActivePageIndex + (goForward ? 1 : -1));
}

TExNotebookPage* TExNotebook::FindNextPage(const TExNotebookPage* curPage, bool goForward) const
{
    const int count = PageCount();
    if (count == 0)
        return nullptr;
    int index = IndexOfPage(curPage);
    if (index < 0)
        index = goForward ? count - 1 : 0;
    if (goForward) {
        ++index;
        if (index == count)
            index = 0;
    } else {
        if (index == 0)
            index = count;
        --index;
    }
    return FPages[static_cast<size_t>(index)];
}

TExNotebookPage* TExNotebook::Pages(int index) const
{
    if (index < 0 || index >= PageCount())
        return nullptr;
    return FPages[static_cast<size_t>(index)];
}

void TExNotebook::Loaded()
{
    FLoading = true;
    LayoutPages();
    ApplyPendingPageName();
    FLoading = false;
}

void TExNotebook::ShowControl(QWidget* control)
{
    if (auto* page = qobject_cast<TExNotebookPage*>(control); page != nullptr && page->FNotebook == this)
        SetActivePage(page);
    // The notebook itself may lie on a page of an outer notebook.
    ShowInOuterNotebook(this);
}

bool TExNotebook::event(QEvent* event)
{
    switch (event->type()) {
    case QEvent::ContentsRectChange: LayoutPages(); break;
    case QEvent::Polish:
        // The form has been applied by now. Its pages may carry positions of their own: the notebook decides.
        // And a page named before it existed can be shown, as part of the form.
        LayoutPages();
        if (!FPendingPageName.isEmpty()) {
            const bool wasLoading = FLoading;
            FLoading = true;
            ApplyPendingPageName();
            FLoading = wasLoading;
        }
        break;
    case QEvent::ChildPolished: {
        // A page given this notebook as parent after its construction joins now.
        auto* page = qobject_cast<TExNotebookPage*>(static_cast<QChildEvent*>(event)->child());
        if (page != nullptr && page->FNotebook == nullptr && page->parentWidget() == this)
            page->SetNotebook(this);
        break;
    }
    case QEvent::ChildRemoved: {
        // A page moved elsewhere with setParent() is no longer one of ours. (Only the address is compared: the
        // child may be half destroyed; a page that is destroyed has unlinked itself already.)
        QObject* child = static_cast<QChildEvent*>(event)->child();
        for (TExNotebookPage* page : FPages) {
            if (static_cast<QObject*>(page) == child) {
                // setParent() hides the page itself; nothing is shown or hidden from inside it.
                RemovePage(page, false);
                break;
            }
        }
        break;
    }
    default: break;
    }
    return TKqCustomPanel::event(event);
}

void TExNotebook::resizeEvent(QResizeEvent* event)
{
    TKqCustomPanel::resizeEvent(event);
    LayoutPages();
}

void TExNotebook::InsertPage(TExNotebookPage* page)
{
    FPages.push_back(page);
    page->FNotebook = this;
    page->setGeometry(0, 0, width(), height());
    LayoutPages();
}

void TExNotebook::RemovePage(TExNotebookPage* page, bool hide)
{
    const auto it = std::find(FPages.begin(), FPages.end(), page);
    if (it == FPages.end())
        return;
    FPages.erase(it);
    page->FNotebook = nullptr;
    if (page == FActivePage) {
        FActivePage = nullptr;
        if (hide)
            page->QWidget::setVisible(false);
    }
}

void TExNotebook::MovePage(TExNotebookPage* page, int index)
{
    const int from = IndexOfPage(page);
    if (from < 0)
        return;
    FPages.erase(FPages.begin() + from);
    FPages.insert(FPages.begin() + index, page);
}

int TExNotebook::IndexOfPage(const TExNotebookPage* page) const
{
    const auto it = std::find(FPages.begin(), FPages.end(), page);
    return it == FPages.end() ? -1 : static_cast<int>(it - FPages.begin());
}

QRect TExNotebook::PageRect() const
{
    // contentsRect() is the client area less the frame and the border (the panel's contents margins).
    return contentsRect();
}

void TExNotebook::LayoutPages()
{
    // Every page, hidden or not, keeps the size of the area the visible one fills, so a page switch needs no new
    // layout. An empty area (a notebook smaller than its border) leaves the hidden pages as they are.
    const QRect area = PageRect();
    const QRect visibleArea(area.topLeft(), area.size().expandedTo(QSize(0, 0)));
    for (TExNotebookPage* page : FPages) {
        if (page == FActivePage)
            page->setGeometry(visibleArea);
        else if (!area.isEmpty())
            page->setGeometry(area);
    }
}

void TExNotebook::ApplyPendingPageName()
{
    if (FPendingPageName.isEmpty())
        return;
    for (TExNotebookPage* page : FPages) {
        if (page->objectName() == FPendingPageName) {
            FPendingPageName.clear();
            SetActivePage(page);
            return;
        }
    }
}

void TExNotebook::SelectFirstOn(QWidget* page)
{
    // The first control on the page in tab order that takes focus with the Tab key.
    for (QWidget* w = page->nextInFocusChain(); w != nullptr && w != page; w = w->nextInFocusChain()) {
        if (page->isAncestorOf(w) && (w->focusPolicy() & Qt::TabFocus) == Qt::TabFocus && w->isVisible() &&
            w->isEnabled()) {
            w->setFocus(Qt::TabFocusReason);
            return;
        }
    }
}

// ---------------------------------------------------------------------------------------------------------------
// TExNotebookPage

TExNotebookPage::TExNotebookPage(QWidget* parent) : TKqCustomPanel(parent)
{
    QWidget::setVisible(false);
    if (auto* notebook = qobject_cast<TExNotebook*>(parent))
        notebook->InsertPage(this);
}

TExNotebookPage::~TExNotebookPage()
{
    if (FNotebook != nullptr)
        FNotebook->RemovePage(this);
}

void TExNotebookPage::SetNotebook(TExNotebook* notebook)
{
    if (notebook == FNotebook)
        return;
    if (FNotebook != nullptr)
        FNotebook->RemovePage(this);
    if (parentWidget() != notebook) {
        // setParent() hides the page, which is what a page outside the active position must be. For a page that
        // has been polished it also tells the notebook, which then adopts the page itself.
        setParent(notebook);
    }
    if (notebook != nullptr && FNotebook != notebook)
        notebook->InsertPage(this);
}

int TExNotebookPage::PageIndex() const
{
    return FNotebook != nullptr ? FNotebook->IndexOfPage(this) : -1;
}

void TExNotebookPage::SetPageIndex(int index)
{
    if (FNotebook == nullptr)
        return;
    index = std::max(std::min(index, FNotebook->PageCount() - 1), 0);
    FNotebook->MovePage(this, index);
}

void TExNotebookPage::setVisible(bool visible)
{
    if (visible && FNotebook != nullptr && FNotebook->FActivePage != this && !FNotebook->FShowingPage) {
        FNotebook->ShowControl(this);
        return;
    }
    QWidget::setVisible(visible);
}

// ---------------------------------------------------------------------------------------------------------------

void ShowControl(QWidget* control)
{
    if (control == nullptr)
        return;
    // The innermost notebook first; it passes the request on to the notebooks around it.
    ShowInOuterNotebook(control);
    control->show();
}

} // namespace tarvix
