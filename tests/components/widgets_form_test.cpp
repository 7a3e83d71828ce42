// The three widgets as a Qt Designer form description uses them: promoted widgets built by uic code.
#include "components/ex_notebook.h"
#include "components/kq_gauge.h"
#include "components/kq_panel.h"

#include <gtest/gtest.h>

#include "tests/support/modal_dialog_helper.h"
#include "ui_widgets_form.h"

namespace tarvix {
namespace {

TEST(WidgetsForm, AFormDescriptionBuildsTheNotebookWithItsPagesAndWidgets)
{
    test::qtApplication();
    QWidget form;
    Ui::WidgetsForm ui;
    ui.setupUi(&form);

    TExNotebook* notebook = ui.NoteEtapas;
    ASSERT_EQ(notebook->PageCount(), 3);
    EXPECT_EQ(notebook->Pages(0), ui.NpgBemVindo);
    EXPECT_EQ(notebook->Pages(1), ui.NpgContrato);
    EXPECT_EQ(notebook->Pages(2), ui.NpgCopiar);
    // The index the form sets before its pages exist does nothing; the page it names is shown (uic sets a
    // translatable text last, once the pages exist; Loaded() shows it otherwise).
    int changes = 0;
    notebook->OnChange = [&](QObject*) { ++changes; };
    notebook->Loaded();
    EXPECT_EQ(notebook->ActivePage(), ui.NpgBemVindo);
    EXPECT_EQ(changes, 0);
    // The notebook places its pages, whatever position the form gave them.
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(notebook->Pages(i)->geometry(), QRect(0, 0, 630, 335)) << i;
    EXPECT_EQ(ui.NpgBemVindo->BorderWidth(), 30);
    EXPECT_TRUE(ui.NpgBemVindo->ParentColor());

    EXPECT_EQ(ui.ProgBar1->GaugeStyle(), TKqGauge::gsBar);
    EXPECT_EQ(ui.ProgBar1->BorderStyle(), TKqGauge::bsSingle);
    EXPECT_EQ(ui.ProgBar1->BevelStyle(), TKqGauge::bvNone);
    EXPECT_EQ(ui.ProgBar1->BoxColor(), RGBColor(0, 159, 0));
    EXPECT_EQ(ui.ProgBar1->Progress(), 0);

    EXPECT_FALSE(ui.PanArquivo->Gradient().Enabled());
    EXPECT_TRUE(ui.PanArquivo->Spacer());
    EXPECT_EQ(ui.PanArquivo->BevelWidth(), 0);
    EXPECT_EQ(ui.PanArquivo->BorderWidth(), 1);
    EXPECT_EQ(ui.PanArquivo->Gradient().Direction(), TKqPanel::dgVertical);

    form.show();
    notebook->SetActivePage(ui.NpgCopiar);
    EXPECT_EQ(changes, 1);
    EXPECT_TRUE(ui.ProgBar1->isVisible());
    EXPECT_FALSE(ui.NpgBemVindo->isVisible());
    // The gauge spans the page inside its 30-pixel border and keeps the form's height.
    EXPECT_EQ(ui.ProgBar1->width(), 630 - 60);
    EXPECT_EQ(ui.ProgBar1->height(), 19);
}

} // namespace
} // namespace tarvix
