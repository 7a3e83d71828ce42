#include "components/ex_notebook.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/support/modal_dialog_helper.h"

namespace tarvix {
namespace {

// A window holding a notebook of `count` pages built the way a form description builds them: each page created
// with the notebook as its parent, then named.
struct Wizard {
    explicit Wizard(int count)
    {
        test::qtApplication();
        window = std::make_unique<QWidget>();
        window->resize(400, 300);
        notebook = new TExNotebook(window.get());
        notebook->setObjectName("NoteEtapas");
        notebook->setGeometry(0, 0, 400, 300);
        for (int i = 0; i < count; ++i) {
            auto* page = new TExNotebookPage(notebook);
            page->setObjectName(QString("Npg%1").arg(i));
            pages.push_back(page);
        }
        notebook->OnChange = [this](QObject* sender) {
            EXPECT_EQ(sender, notebook);
            ++changes;
            log.push_back(notebook->ActivePageIndex());
        };
    }

    // The indexes of the pages that are not hidden.
    std::vector<int> shownPages() const
    {
        std::vector<int> shown;
        for (int i = 0; i < notebook->PageCount(); ++i)
            if (!notebook->Pages(i)->isHidden())
                shown.push_back(i);
        return shown;
    }

    std::unique_ptr<QWidget> window;
    TExNotebook* notebook = nullptr;
    std::vector<TExNotebookPage*> pages;
    int changes = 0;
    std::vector<int> log;
};

TEST(ExNotebook, StartsEmptyWithTheDefaults)
{
    test::qtApplication();
    TExNotebook notebook;
    EXPECT_EQ(notebook.size(), QSize(150, 150));
    EXPECT_EQ(notebook.PageCount(), 0);
    EXPECT_EQ(notebook.ActivePage(), nullptr);
    EXPECT_EQ(notebook.ActivePageIndex(), 0);
    EXPECT_EQ(notebook.Pages(0), nullptr);
    EXPECT_TRUE(notebook.Caption().isEmpty());
    notebook.SelectNextPage(true);
    notebook.SetActivePageIndex(0);
    EXPECT_EQ(notebook.ActivePage(), nullptr);
    EXPECT_EQ(notebook.FindNextPage(nullptr, true), nullptr);
}

TEST(ExNotebook, PagesOfAFormJoinInFormOrderHiddenAndFillingTheClientArea)
{
    Wizard w(6);
    w.notebook->SetBorderWidth(4);
    ASSERT_EQ(w.notebook->PageCount(), 6);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(w.notebook->Pages(i), w.pages[i]);
        EXPECT_EQ(w.pages[i]->Notebook(), w.notebook);
        EXPECT_EQ(w.pages[i]->PageIndex(), i);
        EXPECT_EQ(w.pages[i]->parentWidget(), w.notebook);
        EXPECT_EQ(w.pages[i]->geometry(), QRect(4, 4, 392, 292)) << i;
    }
    w.window->show();
    EXPECT_TRUE(w.shownPages().empty());
    EXPECT_EQ(w.notebook->ActivePage(), nullptr);
}

TEST(ExNotebook, SequenceOfPageChanges)
{
    Wizard w(6);
    w.window->show();

    struct Step {
        std::string what;
        std::function<void(Wizard&)> action;
        int changes; // OnChange calls so far
        int active;  // index of the active page, -1 for none
        int index;   // ActivePageIndex
    };
    const std::vector<Step> steps = {
        // Nothing is active yet and the index already reads 0.
        {"index 0 on a fresh notebook", [](Wizard& wz) { wz.notebook->SetActivePageIndex(0); }, 0, -1, 0},
        {"first page", [](Wizard& wz) { wz.notebook->SetActivePage(wz.pages[0]); }, 1, 0, 0},
        {"first page again", [](Wizard& wz) { wz.notebook->SetActivePage(wz.pages[0]); }, 1, 0, 0},
        {"none", [](Wizard& wz) { wz.notebook->SetActivePage(nullptr); }, 1, 0, 0},
        {"back from the first", [](Wizard& wz) { wz.notebook->SelectNextPage(false); }, 1, 0, 0},
        {"next", [](Wizard& wz) { wz.notebook->SelectNextPage(true); }, 2, 1, 1},
        {"next", [](Wizard& wz) { wz.notebook->SelectNextPage(true); }, 3, 2, 2},
        {"back", [](Wizard& wz) { wz.notebook->SelectNextPage(false); }, 4, 1, 1},
        {"index 1 again", [](Wizard& wz) { wz.notebook->SetActivePageIndex(1); }, 4, 1, 1},
        {"index 5", [](Wizard& wz) { wz.notebook->SetActivePageIndex(5); }, 5, 5, 5},
        {"next from the last", [](Wizard& wz) { wz.notebook->SelectNextPage(true); }, 5, 5, 5},
        {"index 6", [](Wizard& wz) { wz.notebook->SetActivePageIndex(6); }, 5, 5, 5},
        {"index -1", [](Wizard& wz) { wz.notebook->SetActivePageIndex(-1); }, 5, 5, 5},
        {"page 3 by reference", [](Wizard& wz) { wz.notebook->SetActivePage(wz.pages[3]); }, 6, 3, 3},
        {"page 2 by name", [](Wizard& wz) { wz.notebook->SetActivePageName("Npg2"); }, 7, 2, 2},
        {"showing page 4", [](Wizard& wz) { wz.pages[4]->show(); }, 8, 4, 4},
    };
    for (const Step& step : steps) {
        step.action(w);
        SCOPED_TRACE(step.what);
        EXPECT_EQ(w.changes, step.changes);
        EXPECT_EQ(w.notebook->ActivePage(), step.active < 0 ? nullptr : w.pages[step.active]);
        EXPECT_EQ(w.notebook->ActivePageIndex(), step.index);
        EXPECT_EQ(w.shownPages(), step.active < 0 ? std::vector<int>{} : std::vector<int>{step.active});
        if (step.active >= 0) {
            EXPECT_TRUE(w.pages[step.active]->isVisible());
        }
    }
    EXPECT_EQ(w.log, (std::vector<int>{0, 1, 2, 1, 5, 3, 2, 4}));
}

TEST(ExNotebook, APageOfAnotherNotebookIsNotActivated)
{
    Wizard w(2);
    Wizard other(1);
    w.notebook->SetActivePage(other.pages[0]);
    EXPECT_EQ(w.notebook->ActivePage(), nullptr);
    EXPECT_EQ(w.changes, 0);
    EXPECT_EQ(other.notebook->ActivePage(), nullptr);
}

TEST(ExNotebook, ANestedChangeFromOnChangeRunsToItsEndFirst)
{
    Wizard w(6);
    std::vector<std::string> trace;
    w.notebook->OnChange = [&](QObject*) {
        const int index = w.notebook->ActivePageIndex();
        trace.push_back("enter " + std::to_string(index));
        if (w.notebook->ActivePage() == w.pages[4]) {
            // The copy page activates the registration page from inside its own handler.
            w.notebook->SetActivePage(w.pages[5]);
            trace.push_back("after nested: active " + std::to_string(w.notebook->ActivePageIndex()));
        }
        trace.push_back("leave " + std::to_string(index));
    };
    w.notebook->SetActivePage(w.pages[4]);
    EXPECT_EQ(trace, (std::vector<std::string>{"enter 4", "enter 5", "leave 5", "after nested: active 5", "leave 4"}));
    EXPECT_EQ(w.notebook->ActivePage(), w.pages[5]);
    EXPECT_EQ(w.shownPages(), std::vector<int>{5});
}

TEST(ExNotebook, AHandlerMayReplaceOnChangeWhileItRuns)
{
    Wizard w(2);
    int calls = 0;
    w.notebook->OnChange = [&](QObject*) {
        ++calls;
        w.notebook->OnChange = nullptr;
    };
    w.notebook->SetActivePage(w.pages[1]);
    w.notebook->SetActivePage(w.pages[0]);
    EXPECT_EQ(calls, 1);
}

TEST(ExNotebook, FindNextPageWrapsAroundAndChangesNothing)
{
    Wizard w(3);
    TExNotebookPage stranger;
    struct Case {
        const TExNotebookPage* from;
        bool forward;
        int expected;
    };
    const Case cases[] = {
        {w.pages[0], true, 1}, {w.pages[2], true, 0}, {w.pages[0], false, 2}, {w.pages[1], false, 0},
        {&stranger, true, 0},  {&stranger, false, 2}, {nullptr, true, 0},     {nullptr, false, 2},
    };
    for (const Case& c : cases)
        EXPECT_EQ(w.notebook->FindNextPage(c.from, c.forward), w.pages[c.expected])
            << c.expected << (c.forward ? " forward" : " backward");
    EXPECT_EQ(w.notebook->ActivePage(), nullptr);
    EXPECT_EQ(w.changes, 0);
}

TEST(ExNotebook, PageIndexMovesWithClamping)
{
    struct Case {
        int page;
        int to;
        std::vector<int> order; // the original numbers of the pages, in the new order
    };
    const Case cases[] = {
        {0, 99, {1, 2, 3, 4, 5, 0}}, {5, -3, {5, 0, 1, 2, 3, 4}}, {2, 4, {0, 1, 3, 4, 2, 5}},
        {4, 1, {0, 4, 1, 2, 3, 5}},  {3, 3, {0, 1, 2, 3, 4, 5}},
    };
    for (const Case& c : cases) {
        Wizard w(6);
        w.pages[c.page]->SetPageIndex(c.to);
        std::vector<int> order;
        for (int i = 0; i < w.notebook->PageCount(); ++i)
            order.push_back(
                static_cast<int>(std::find(w.pages.begin(), w.pages.end(), w.notebook->Pages(i)) - w.pages.begin()));
        EXPECT_EQ(order, c.order) << c.page << " to " << c.to;
    }

    TExNotebookPage loose;
    EXPECT_EQ(loose.PageIndex(), -1);
    loose.SetPageIndex(2);
    EXPECT_EQ(loose.PageIndex(), -1);
}

TEST(ExNotebook, MovingPagesKeepsTheRecordedActiveIndex)
{
    Wizard w(4);
    w.notebook->SetActivePage(w.pages[1]);
    w.pages[1]->SetPageIndex(3);
    EXPECT_EQ(w.notebook->ActivePageIndex(), 1);
    EXPECT_EQ(w.notebook->ActivePage(), w.pages[1]);
    // The next step works from the recorded index: position 2 now holds the old page 3.
    w.notebook->SelectNextPage(true);
    EXPECT_EQ(w.notebook->ActivePage(), w.pages[3]);
    EXPECT_EQ(w.notebook->ActivePageIndex(), 2);
}

TEST(ExNotebook, SetNotebookMovesAPageBetweenNotebooks)
{
    Wizard a(3);
    Wizard b(1);
    a.notebook->SetActivePage(a.pages[1]);
    a.changes = 0;

    a.pages[1]->SetNotebook(b.notebook);
    EXPECT_EQ(a.notebook->PageCount(), 2);
    EXPECT_EQ(a.notebook->ActivePage(), nullptr);
    EXPECT_EQ(a.notebook->ActivePageIndex(), 1);
    EXPECT_EQ(a.changes, 0);
    EXPECT_EQ(b.notebook->PageCount(), 2);
    EXPECT_EQ(b.notebook->Pages(1), a.pages[1]);
    EXPECT_EQ(a.pages[1]->Notebook(), b.notebook);
    EXPECT_EQ(a.pages[1]->parentWidget(), b.notebook);
    EXPECT_TRUE(a.pages[1]->isHidden());
    EXPECT_EQ(a.pages[1]->geometry(), b.notebook->contentsRect());

    // Setting the same notebook again changes nothing.
    a.pages[1]->SetNotebook(b.notebook);
    EXPECT_EQ(b.notebook->PageCount(), 2);

    // Out of every notebook: no parent any more, and the caller owns the page.
    std::unique_ptr<TExNotebookPage> taken(a.pages[2]);
    taken->SetNotebook(nullptr);
    EXPECT_EQ(taken->Notebook(), nullptr);
    EXPECT_EQ(taken->parentWidget(), nullptr);
    EXPECT_EQ(a.notebook->PageCount(), 1);

    // Activating again works.
    a.notebook->SetActivePage(a.pages[0]);
    EXPECT_EQ(a.notebook->ActivePage(), a.pages[0]);
    EXPECT_EQ(a.changes, 1);
}

TEST(ExNotebook, PagesReparentedByHandJoinWhenPolishedAndLeaveWhenTakenAway)
{
    Wizard w(1);
    auto* late = new TExNotebookPage;
    late->setParent(w.notebook);
    EXPECT_EQ(late->Notebook(), nullptr);
    w.window->show(); // polishes the notebook and its children
    EXPECT_EQ(late->Notebook(), w.notebook);
    EXPECT_EQ(w.notebook->Pages(1), late);
    EXPECT_TRUE(late->isHidden());

    w.notebook->SetActivePage(late);
    QWidget elsewhere;
    late->setParent(&elsewhere);
    EXPECT_EQ(late->Notebook(), nullptr);
    EXPECT_EQ(w.notebook->PageCount(), 1);
    EXPECT_EQ(w.notebook->ActivePage(), nullptr);
}

TEST(ExNotebook, DestroyingTheActivePageLeavesNoActivePage)
{
    Wizard w(3);
    w.window->show();
    w.notebook->SetActivePage(w.pages[1]);
    delete w.pages[1];
    EXPECT_EQ(w.notebook->PageCount(), 2);
    EXPECT_EQ(w.notebook->ActivePage(), nullptr);
    EXPECT_EQ(w.notebook->ActivePageIndex(), 1);
    EXPECT_EQ(w.changes, 1);

    w.notebook->SetActivePage(w.pages[2]);
    EXPECT_EQ(w.notebook->ActivePage(), w.pages[2]);
    EXPECT_EQ(w.notebook->ActivePageIndex(), 1);
    EXPECT_EQ(w.changes, 2);
    EXPECT_EQ(w.shownPages(), std::vector<int>{1});
}

TEST(ExNotebook, DestroyingTheNotebookTakesItsPagesWithoutCallingBack)
{
    Wizard w(3);
    w.notebook->SetActivePage(w.pages[0]);
    std::vector<QPointer<TExNotebookPage>> watched(w.pages.begin(), w.pages.end());
    // A page that left for another notebook survives.
    Wizard other(0);
    w.pages[2]->SetNotebook(other.notebook);
    delete w.notebook;
    EXPECT_TRUE(watched[0].isNull());
    EXPECT_TRUE(watched[1].isNull());
    ASSERT_FALSE(watched[2].isNull());
    EXPECT_EQ(other.notebook->PageCount(), 1);
    delete other.notebook;
    EXPECT_TRUE(watched[2].isNull());
}

TEST(ExNotebook, HiddenPagesFollowTheClientAreaOnResizeAndBorderChanges)
{
    Wizard w(3);
    w.window->show();
    w.notebook->SetActivePage(w.pages[0]);
    w.notebook->resize(250, 120);
    for (TExNotebookPage* page : w.pages)
        EXPECT_EQ(page->geometry(), QRect(0, 0, 250, 120));
    w.notebook->SetBorderWidth(30);
    for (TExNotebookPage* page : w.pages)
        EXPECT_EQ(page->geometry(), QRect(30, 30, 190, 60));
    // An area that the border swallows leaves the hidden pages as they were.
    w.notebook->resize(50, 50);
    EXPECT_EQ(w.pages[1]->geometry(), QRect(30, 30, 190, 60));
    EXPECT_EQ(w.pages[0]->size(), QSize(0, 0));
}

TEST(ExNotebook, AFormNamesItsFirstPageAndLoadedShowsItSilently)
{
    test::qtApplication();
    QWidget window;
    auto* notebook = new TExNotebook(&window);
    // The form sets the notebook's properties before it creates the pages.
    notebook->setProperty("ActivePageIndex", 1);
    notebook->setProperty("ActivePageName", "NpgBemVindo");
    auto* first = new TExNotebookPage(notebook);
    first->setObjectName("NpgBemVindo");
    first->setProperty("BorderWidth", 30);
    first->setProperty("ParentColor", true);
    auto* second = new TExNotebookPage(notebook);
    second->setObjectName("NpgContrato");
    EXPECT_EQ(notebook->ActivePage(), nullptr);
    EXPECT_EQ(notebook->ActivePageIndex(), 0);
    EXPECT_EQ(notebook->ActivePageName(), "NpgBemVindo");

    int changes = 0;
    notebook->OnChange = [&](QObject*) { ++changes; };
    notebook->Loaded();
    EXPECT_EQ(notebook->ActivePage(), first);
    EXPECT_EQ(changes, 0);
    EXPECT_FALSE(notebook->Loading());
    EXPECT_EQ(first->contentsRect(), first->rect().adjusted(30, 30, -30, -30));

    notebook->SetActivePage(second);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(notebook->ActivePageName(), "NpgContrato");
}

TEST(ExNotebook, APendingPageNameIsAppliedWhenTheNotebookIsPolished)
{
    test::qtApplication();
    QWidget window;
    auto* notebook = new TExNotebook(&window);
    notebook->SetActivePageName("NpgB");
    new TExNotebookPage(notebook);
    auto* b = new TExNotebookPage(notebook);
    b->setObjectName("NpgB");
    int changes = 0;
    notebook->OnChange = [&](QObject*) { ++changes; };
    window.show();
    EXPECT_EQ(notebook->ActivePage(), b);
    EXPECT_TRUE(b->isVisible());
    EXPECT_EQ(changes, 0);
}

TEST(ExNotebook, WhileLoadingPageChangesRaiseNoEvent)
{
    Wizard w(2);
    w.notebook->SetLoading(true);
    w.notebook->SetActivePage(w.pages[1]);
    EXPECT_EQ(w.notebook->ActivePage(), w.pages[1]);
    EXPECT_EQ(w.changes, 0);
    w.notebook->Loaded();
    w.notebook->SetActivePage(w.pages[0]);
    EXPECT_EQ(w.changes, 1);
}

// A window with a notebook whose pages hold line edits, shown and active, so that focus is real.
struct FocusWizard : Wizard {
    FocusWizard() : Wizard(3)
    {
        for (int i = 0; i < 2; ++i) {
            auto* layout = new QVBoxLayout(pages[i]);
            for (int j = 0; j < 2; ++j) {
                auto* edit = new QLineEdit(pages[i]);
                edit->setObjectName(QString("Edt%1%2").arg(i).arg(j));
                layout->addWidget(edit);
                edits[i][j] = edit;
            }
        }
        new QLabel("no focusable control", pages[2]);
        outside = new QLineEdit(window.get());
        outside->setGeometry(0, 280, 100, 20);
        window->show();
        window->activateWindow();
        QApplication::setActiveWindow(window.get());
        notebook->SetActivePage(pages[0]);
    }
    QLineEdit* edits[2][2] = {};
    QLineEdit* outside = nullptr;
};

TEST(ExNotebook, FocusOnTheOldPageMovesToTheFirstControlOfTheNewPage)
{
    FocusWizard w;
    // Left alone, Qt would move the focus of a hidden control on to the next one in the chain: `outside`.
    QWidget::setTabOrder(w.edits[0][1], w.outside);
    w.edits[0][1]->setFocus();
    ASSERT_EQ(w.window->focusWidget(), w.edits[0][1]);
    w.notebook->SetActivePage(w.pages[1]);
    EXPECT_EQ(w.window->focusWidget(), w.edits[1][0]);
    EXPECT_TRUE(w.edits[1][0]->hasFocus());
}

TEST(ExNotebook, FocusGoesToTheNewPageWhenItHasNoFocusableControl)
{
    FocusWizard w;
    w.edits[0][0]->setFocus();
    w.notebook->SetActivePage(w.pages[2]);
    EXPECT_EQ(w.window->focusWidget(), w.pages[2]);
}

TEST(ExNotebook, FocusGoesToTheNotebookWhenTheNewPageCannotTakeIt)
{
    FocusWizard w;
    w.edits[0][0]->setFocus();
    w.pages[1]->setEnabled(false);
    w.notebook->SetActivePage(w.pages[1]);
    EXPECT_EQ(w.window->focusWidget(), w.notebook);
}

TEST(ExNotebook, FocusElsewhereStaysWhereItIs)
{
    FocusWizard w;
    w.outside->setFocus();
    w.notebook->SetActivePage(w.pages[1]);
    EXPECT_EQ(w.window->focusWidget(), w.outside);
}

TEST(ExNotebook, ShowingAControlOnAHiddenPageActivatesThatPage)
{
    FocusWizard w;
    ShowControl(w.edits[1][1]);
    EXPECT_EQ(w.notebook->ActivePage(), w.pages[1]);
    EXPECT_TRUE(w.edits[1][1]->isVisible());
    EXPECT_EQ(w.changes, 2);

    // A notebook on a page of an outer notebook: both activate the pages on the way.
    auto* inner = new TExNotebook(w.pages[2]);
    auto* innerFirst = new TExNotebookPage(inner);
    auto* innerSecond = new TExNotebookPage(inner);
    auto* deep = new QLineEdit(innerSecond);
    inner->SetActivePage(innerFirst);
    ShowControl(deep);
    EXPECT_EQ(w.notebook->ActivePage(), w.pages[2]);
    EXPECT_EQ(inner->ActivePage(), innerSecond);
    EXPECT_TRUE(deep->isVisible());
}

} // namespace
} // namespace tarvix
