// The folder tree and the folder selection dialog on a sandbox prefix: the desktop root with the drives and the
// desktop folder, lazy reading, selecting by Windows path, re-reading, renaming in place; the dialog's answers
// (OK, cancel, refusals with the error message, new folders), its shared form, layout, tab order, keys and its
// form saver. The modal windows are answered by the modal-dialog helper.
#include "components/ex_select_folder.h"

#include <QApplication>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <filesystem>

#include "components/ex_folder_tree.h"
#include "components/kq_color_qt.h"
#include "components/kq_form_saver.h"
#include "components/kq_msg_dlg.h"
#include "tests/components/scripted_prefix_system.h"
#include "tests/support/modal_dialog_helper.h"

namespace tarvix {
namespace {

namespace fs = std::filesystem;
using test::ModalDialogHelper;

constexpr std::string_view ShellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

QStringList ChildTexts(const QTreeWidgetItem* item)
{
    QStringList texts;
    for (int i = 0; i < item->childCount(); ++i)
        texts << item->child(i)->text(0);
    return texts;
}

QTreeWidgetItem* Child(QTreeWidgetItem* item, const QString& text)
{
    for (int i = 0; i < item->childCount(); ++i)
        if (item->child(i)->text(0) == text)
            return item->child(i);
    return nullptr;
}

// A sandbox prefix with a few folders, the user's desktop folder and some files that the tree must not list.
class FolderFixture : public ::testing::Test {
protected:
    FolderFixture()
    {
        test::qtApplication();
        auto& s = system.sandbox;
        s.mkdirC("Dados/Projetos/Alpha/Fontes");
        s.mkdirC("Dados/Projetos/beta");
        s.mkdirC("Dados/arquivo");
        s.mkdirC("Dados/Zeta");
        s.writeC("Dados/leia-me.txt", "texto");
        s.mkdirC(".oculta");
        s.mkdirC("users/tester/Desktop/Trabalho");
        system.registry()
            .openKey(platform::RegRoot::CurrentUser, ShellFolders, platform::KeyAccess::AllAccess, true)
            ->writeString("Desktop", "C:\\users\\tester\\Desktop");
    }

    test::ScriptedPrefixSystem system;
};

// --- The tree ----------------------------------------------------------------------------------------------

class FolderTreeTest : public FolderFixture {
protected:
    TExFolderTree tree;
};

TEST_F(FolderTreeTest, DesktopRootListsTheDrivesAndTheDesktopFolder)
{
    tree.SetRoot("rfDesktop");
    ASSERT_EQ(tree.topLevelItemCount(), 1);
    QTreeWidgetItem* top = tree.topLevelItem(0);
    EXPECT_EQ(top->text(0), QString::fromUtf8("Área de Trabalho"));
    EXPECT_TRUE(top->isExpanded());
    EXPECT_EQ(tree.currentItem(), top);
    EXPECT_EQ(tree.SelectedPath(), TExFolderTree::DesktopParsingName);
    EXPECT_FALSE(system.files().directoryExists(tree.SelectedPath()));
    EXPECT_EQ(ChildTexts(top), (QStringList{"C:", "Z:", "Desktop"}));
    EXPECT_EQ(TExFolderTree::PathOf(top->child(0)), "C:\\");
    EXPECT_EQ(TExFolderTree::PathOf(top->child(2)), "C:\\users\\tester\\Desktop");
    // Drives are read when they are opened, not before.
    EXPECT_EQ(top->child(0)->childCount(), 0);
    top->child(0)->setExpanded(true);
    EXPECT_EQ(ChildTexts(top->child(0)), (QStringList{".oculta", "Dados", "users"}));
}

TEST_F(FolderTreeTest, FoldersOnlySortedByNameWithoutRegardToCase)
{
    tree.SetRoot("C:\\Dados");
    QTreeWidgetItem* top = tree.topLevelItem(0);
    EXPECT_EQ(top->text(0), "Dados");
    EXPECT_EQ(tree.SelectedPath(), "C:\\Dados");
    EXPECT_EQ(ChildTexts(top), (QStringList{"arquivo", "Projetos", "Zeta"}));
    EXPECT_EQ(TExFolderTree::PathOf(Child(top, "Projetos")), "C:\\Dados\\Projetos");
}

TEST_F(FolderTreeTest, RootOfAMissingFolderIsTheDesktop)
{
    tree.SetRoot("C:\\Nada");
    EXPECT_EQ(tree.topLevelItem(0)->text(0), QString::fromUtf8("Área de Trabalho"));
    tree.SetRoot("C:\\");
    EXPECT_EQ(tree.topLevelItem(0)->text(0), "C:");
    EXPECT_EQ(tree.SelectedPath(), "C:\\");
}

TEST_F(FolderTreeTest, SelectPathByWindowsPath)
{
    struct Case {
        const char* root;
        const char* path;
        bool found;
        const char* selected;
    };
    const Case cases[] = {
        {"rfDesktop", "C:\\", true, "C:\\"},
        {"rfDesktop", "c:", true, "C:\\"},
        {"rfDesktop", "c:\\dados\\PROJETOS\\alpha\\", true, "C:\\Dados\\Projetos\\Alpha"},
        {"rfDesktop", "C:\\Dados\\\\Projetos", true, "C:\\Dados\\Projetos"},
        {"rfDesktop", "C:\\.oculta", true, "C:\\.oculta"},
        {"rfDesktop", "C:\\Dados\\leia-me.txt", false, ""},
        {"rfDesktop", "C:\\Dados\\Nada", false, ""},
        {"rfDesktop", "Q:\\Dados", false, ""},
        {"rfDesktop", "::{00021400-0000-0000-C000-000000000046}", true, "::{00021400-0000-0000-C000-000000000046}"},
        {"C:\\Dados", "C:\\Dados\\Projetos\\beta", true, "C:\\Dados\\Projetos\\beta"},
        {"C:\\Dados", "C:\\dados", true, "C:\\Dados"},
        {"C:\\Dados", "C:\\users", false, ""},
        {"C:\\Dados", "::{00021400-0000-0000-C000-000000000046}", false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.root) + " / " + c.path);
        tree.SetRoot(c.root);
        tree.Rebuild();
        const std::string before = tree.SelectedPath();
        EXPECT_EQ(tree.SelectPath(c.path), c.found);
        EXPECT_EQ(tree.SelectedPath(), c.found ? std::string(c.selected) : before);
        if (c.found) {
            for (QTreeWidgetItem* p = tree.currentItem()->parent(); p; p = p->parent())
                EXPECT_TRUE(p->isExpanded()) << p->text(0).toStdString();
        }
    }
}

TEST_F(FolderTreeTest, RefreshKeepsTheNodesOfFoldersThatRemain)
{
    tree.SetRoot("C:\\Dados");
    ASSERT_TRUE(tree.SelectPath("C:\\Dados\\Projetos\\Alpha"));
    QTreeWidgetItem* top = tree.topLevelItem(0);
    QTreeWidgetItem* projetos = Child(top, "Projetos");
    QTreeWidgetItem* alpha = tree.currentItem();
    EXPECT_EQ(ChildTexts(top), (QStringList{"arquivo", "Projetos", "Zeta"}));

    system.sandbox.mkdirC("Dados/Novo");
    fs::remove(system.sandbox.driveC() / "Dados/arquivo");
    EXPECT_EQ(ChildTexts(top), (QStringList{"arquivo", "Projetos", "Zeta"})); // nothing is watched
    tree.RefreshFolder(top);
    EXPECT_EQ(ChildTexts(top), (QStringList{"Novo", "Projetos", "Zeta"}));
    EXPECT_EQ(Child(top, "Projetos"), projetos);
    EXPECT_TRUE(projetos->isExpanded());
    EXPECT_EQ(tree.currentItem(), alpha);

    // The selected folder going away takes its node with it.
    fs::remove_all(system.sandbox.driveC() / "Dados/Projetos/Alpha");
    tree.RefreshFolder(projetos);
    EXPECT_EQ(ChildTexts(projetos), (QStringList{"beta"}));
    EXPECT_NE(tree.SelectedPath(), "C:\\Dados\\Projetos\\Alpha");
}

TEST_F(FolderTreeTest, F5ReReadsTheSelectedFolder)
{
    tree.SetRoot("C:\\Dados");
    ASSERT_TRUE(tree.SelectPath("C:\\Dados\\Projetos"));
    system.sandbox.mkdirC("Dados/Projetos/gama");
    QTest::keyClick(&tree, Qt::Key_F5);
    EXPECT_EQ(ChildTexts(tree.currentItem()), (QStringList{"Alpha", "beta", "gama"}));
}

TEST_F(FolderTreeTest, SelectingAFolderMadeAfterItsParentWasReadReadsTheParentAgain)
{
    tree.SetRoot("C:\\Dados");
    ASSERT_TRUE(tree.SelectPath("C:\\Dados\\Projetos"));
    system.sandbox.mkdirC("Dados/Projetos/delta");
    EXPECT_TRUE(tree.SelectPath("C:\\Dados\\Projetos\\delta"));
    EXPECT_EQ(tree.SelectedPath(), "C:\\Dados\\Projetos\\delta");
}

TEST_F(FolderTreeTest, PropertiesOfTheRows)
{
    tree.SetRoot("C:\\Dados");
    tree.resize(300, 300);
    tree.SetIndent(31);
    EXPECT_EQ(tree.indentation(), 31);
    tree.SetItemHeight(27);
    tree.show();
    QApplication::processEvents();
    EXPECT_EQ(tree.visualItemRect(tree.topLevelItem(0)->child(0)).height(), 27);
    EXPECT_TRUE(tree.ReadOnly());
    EXPECT_EQ(tree.editTriggers(), QAbstractItemView::NoEditTriggers);

    // A right click selects.
    QTreeWidgetItem* projetos = Child(tree.topLevelItem(0), "Projetos");
    ASSERT_TRUE(projetos);
    QTest::mouseClick(tree.viewport(), Qt::RightButton, Qt::NoModifier, tree.visualItemRect(projetos).center());
    EXPECT_EQ(tree.SelectedPath(), "C:\\Dados\\Projetos");
}

TEST_F(FolderTreeTest, RenamingInPlaceWhenNotReadOnly)
{
    tree.SetRoot("rfDesktop");
    ASSERT_TRUE(tree.SelectPath("C:\\Dados\\Zeta"));
    QTreeWidgetItem* zeta = tree.currentItem();
    EXPECT_FALSE(zeta->flags() & Qt::ItemIsEditable);
    tree.SetReadOnly(false);
    EXPECT_TRUE(zeta->flags() & Qt::ItemIsEditable);
    EXPECT_FALSE(tree.topLevelItem(0)->flags() & Qt::ItemIsEditable);
    EXPECT_FALSE(tree.topLevelItem(0)->child(0)->flags() & Qt::ItemIsEditable);

    zeta->setText(0, "Omega");
    EXPECT_TRUE(fs::is_directory(system.sandbox.driveC() / "Dados/Omega"));
    EXPECT_FALSE(fs::exists(system.sandbox.driveC() / "Dados/Zeta"));
    EXPECT_EQ(tree.SelectedPath(), "C:\\Dados\\Omega");

    // A name Windows refuses, or one that is taken, puts the old name back.
    for (const char* name : {"a*b", "arquivo", ""}) {
        SCOPED_TRACE(name);
        QTreeWidgetItem* omega = tree.currentItem();
        omega->setText(0, name);
        EXPECT_EQ(omega->text(0), "Omega");
        EXPECT_TRUE(fs::is_directory(system.sandbox.driveC() / "Dados/Omega"));
    }
}

// --- The dialog --------------------------------------------------------------------------------------------

class SelectFolderTest : public FolderFixture {
protected:
    SelectFolderTest() { select.SetFont(test::testFont(12)); }
    ~SelectFolderTest() override
    {
        // The shared form belongs to this sandbox's folders; the next test starts with a new one.
        TFrmExSelFolder::DestroyShared();
    }

    static TFrmExSelFolder* Form(QWidget* window) { return qobject_cast<TFrmExSelFolder*>(window); }

    TExSelectFolder select;
};

TEST_F(SelectFolderTest, StartsWithItsDefaults)
{
    TExSelectFolder fresh;
    EXPECT_EQ(fresh.Root(), "rfDesktop");
    EXPECT_EQ(fresh.Path(), "");
    EXPECT_EQ(fresh.Indent(), 20);
    EXPECT_EQ(fresh.ItemHeight(), 18);
    EXPECT_TRUE(fresh.ReadOnly());
    EXPECT_EQ(fresh.Caption(), "Caminho:");
    EXPECT_EQ(fresh.Title(), "Selecionar Pasta");
    EXPECT_FALSE(fresh.NewFolderVisible());
    EXPECT_EQ(fresh.NewFolderCaption(), "Criar Pasta");
    EXPECT_EQ(fresh.Font(), QApplication::font());

    QWidget owner;
    QFont ownerFont = test::testFont(15);
    owner.setFont(ownerFont);
    TExSelectFolder owned(&owner);
    EXPECT_EQ(owned.Font(), ownerFont);
}

TEST_F(SelectFolderTest, PresetFoldersAreSelectedAndOkReturnsTheirPaths)
{
    struct Case {
        const char* preset;
        const char* result;
    };
    const Case cases[] = {
        {"C:\\", "C:\\"},
        {"c:\\dados\\projetos\\ALPHA", "C:\\Dados\\Projetos\\Alpha"},
        {"C:\\users\\tester\\Desktop\\Trabalho", "C:\\users\\tester\\Desktop\\Trabalho"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.preset);
        select.SetPath(c.preset);
        ModalDialogHelper answers;
        answers.pressButton("&OK", [&](QWidget* window) {
            TFrmExSelFolder* form = Form(window);
            ASSERT_TRUE(form);
            EXPECT_EQ(form->EdtCaminho()->text().toStdString(), c.result);
            EXPECT_EQ(form->TrvPastas()->SelectedPath(), c.result);
        });
        EXPECT_TRUE(select.Execute());
        EXPECT_EQ(select.Path(), c.result);
    }
}

TEST_F(SelectFolderTest, DriveRootNodeIsTheDrive)
{
    select.SetPath("C:\\");
    ModalDialogHelper answers;
    answers.pressButton("&OK",
                        [](QWidget* window) { EXPECT_EQ(Form(window)->TrvPastas()->currentItem()->text(0), "C:"); });
    EXPECT_TRUE(select.Execute());
}

TEST_F(SelectFolderTest, CancelAndCloseBoxKeepThePath)
{
    select.SetPath("C:\\Dados");
    ModalDialogHelper answers;
    answers.act([](QWidget* window) { Form(window)->TrvPastas()->SelectPath("C:\\Dados\\Zeta"); }, "select Zeta")
        .pressButton("&Cancelar");
    EXPECT_FALSE(select.Execute());
    EXPECT_EQ(select.Path(), "C:\\Dados");

    answers.act([](QWidget* window) { Form(window)->TrvPastas()->SelectPath("C:\\Dados\\Zeta"); }, "select Zeta")
        .closeWindow();
    EXPECT_FALSE(select.Execute());
    EXPECT_EQ(select.Path(), "C:\\Dados");
}

TEST_F(SelectFolderTest, EnterAndEscapePressNeitherButton)
{
    select.SetPath("C:\\Dados");
    ModalDialogHelper answers;
    answers
        .act(
            [](QWidget* window) {
                TFrmExSelFolder* form = Form(window);
                for (QWidget* target : {static_cast<QWidget*>(form->TrvPastas()), static_cast<QWidget*>(form->BtnOk()),
                                        static_cast<QWidget*>(form->BtnCancelar())}) {
                    target->setFocus();
                    for (int key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape})
                        QTest::keyClick(target, static_cast<Qt::Key>(key));
                }
                EXPECT_TRUE(form->isVisible());
                EXPECT_FALSE(form->BtnOk()->isDefault());
                EXPECT_FALSE(form->BtnOk()->autoDefault());
                EXPECT_FALSE(form->BtnCancelar()->autoDefault());
            },
            "press Enter and Escape")
        .pressButton("&Cancelar");
    EXPECT_FALSE(select.Execute());
}

TEST_F(SelectFolderTest, NodesThatAreNoFolderAreRefusedAndTheDialogStaysOpen)
{
    struct Case {
        const char* name;
        std::function<void(TFrmExSelFolder*)> choose;
    };
    const Case cases[] = {
        {"the desktop root",
         [](TFrmExSelFolder* form) { form->TrvPastas()->setCurrentItem(form->TrvPastas()->topLevelItem(0)); }},
        {"a folder removed since it was listed",
         [this](TFrmExSelFolder* form) {
             form->TrvPastas()->SelectPath("C:\\Dados\\Zeta");
             fs::remove(system.sandbox.driveC() / "Dados/Zeta");
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        bool stillOpen = false;
        QString focus;
        ModalDialogHelper answers;
        answers.act([&](QWidget* window) { c.choose(Form(window)); }, "choose")
            .pressButton("&OK")
            .pressButton("&OK", [](QWidget* window) { EXPECT_EQ(window->windowTitle(), "Erro"); })
            .act(
                [&](QWidget* window) {
                    stillOpen = Form(window) != nullptr && window->isVisible();
                    focus = window->focusWidget() ? window->focusWidget()->objectName() : QString();
                    Form(window)->BtnCancelar()->click();
                },
                "look and cancel");
        EXPECT_FALSE(select.Execute());
        ASSERT_EQ(answers.seen().size(), 4u);
        EXPECT_EQ(answers.seen()[2].text.toStdString(), TFrmExSelFolder::InvalidFolderMessage);
        EXPECT_TRUE(stillOpen);
        EXPECT_EQ(focus, "TrvPastas");
        EXPECT_EQ(select.Path(), "");
    }
}

TEST_F(SelectFolderTest, NewFolderIsCreatedAndSelected)
{
    struct Case {
        const char* name;
        QString typed; // empty: the proposed name as it stands
        bool existing;
    };
    const Case cases[] = {
        {"the proposed name", {}, false},
        {"a name of the user's", QString::fromUtf8("Relatórios 2024"), false},
        {"a name that exists", {}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString name = c.typed.isEmpty() ? QStringLiteral("Nova Pasta") : c.typed;
        const fs::path host = system.sandbox.driveC() / "Dados" / name.toStdString();
        fs::remove_all(host);
        if (c.existing)
            system.sandbox.writeC("Dados/Nova Pasta/guardado.txt", "x");

        select.SetPath("C:\\Dados");
        select.SetNewFolderVisible(true);
        ModalDialogHelper answers;
        answers.pressButton("Criar Pasta")
            .act(
                [&](QWidget* window) {
                    auto* ask = qobject_cast<QInputDialog*>(window);
                    ASSERT_TRUE(ask);
                    EXPECT_EQ(ask->windowTitle(), "Criar Pasta");
                    EXPECT_EQ(ask->labelText(), "Entre com o nome da nova pasta:");
                    EXPECT_EQ(ask->textValue(), "Nova Pasta");
                    if (!c.typed.isEmpty())
                        ask->setTextValue(c.typed);
                    ask->accept();
                },
                "answer the name")
            .pressButton("&OK", [&](QWidget* window) {
                TFrmExSelFolder* form = Form(window);
                EXPECT_EQ(form->EdtCaminho()->text(), "C:\\Dados\\" + name);
                EXPECT_EQ(form->focusWidget(), form->TrvPastas());
            });
        EXPECT_TRUE(select.Execute());
        EXPECT_EQ(QString::fromStdString(select.Path()), "C:\\Dados\\" + name);
        EXPECT_TRUE(fs::is_directory(host));
        if (c.existing) {
            EXPECT_TRUE(fs::exists(host / "guardado.txt"));
        }
    }
}

TEST_F(SelectFolderTest, NewFolderCancelledOrRefused)
{
    select.SetPath("C:\\Dados");
    select.SetNewFolderVisible(true);
    ModalDialogHelper answers;
    // Cancelled: nothing is made, the selection stays.
    answers.pressButton("Criar Pasta").pressButton("&Cancelar", [](QWidget* window) {
        EXPECT_TRUE(qobject_cast<QInputDialog*>(window));
    });
    // A name Windows refuses: the dialog says so and makes nothing.
    answers.pressButton("Criar Pasta")
        .act(
            [](QWidget* window) {
                auto* ask = qobject_cast<QInputDialog*>(window);
                ask->setTextValue("a*b");
                ask->accept();
            },
            "type a*b")
        .pressButton("&OK", [](QWidget* window) { EXPECT_EQ(window->windowTitle(), "Erro"); });
    // Without a folder to go into: the error of an unusable folder, and no question.
    answers
        .act(
            [](QWidget* window) {
                Form(window)->TrvPastas()->setCurrentItem(Form(window)->TrvPastas()->topLevelItem(0));
            },
            "select the desktop")
        .pressButton("Criar Pasta")
        .pressButton("&OK", [](QWidget* window) { EXPECT_EQ(window->windowTitle(), "Erro"); })
        .pressButton("&Cancelar", [](QWidget* window) { EXPECT_TRUE(qobject_cast<TFrmExSelFolder*>(window)); });
    EXPECT_FALSE(select.Execute());
    const auto& seen = answers.seen();
    ASSERT_EQ(seen.size(), 9u);
    EXPECT_EQ(seen[4].text, QString::fromUtf8("Não foi possível criar a pasta \"a*b\"."));
    EXPECT_EQ(seen[7].text.toStdString(), TFrmExSelFolder::InvalidFolderMessage);
    EXPECT_FALSE(fs::exists(system.sandbox.driveC() / "Dados/Nova Pasta"));
    EXPECT_EQ(std::distance(fs::directory_iterator(system.sandbox.driveC() / "Dados"), fs::directory_iterator()), 4);
}

TEST_F(SelectFolderTest, OneSharedFormKeepsTheLastSelection)
{
    select.SetPath("C:\\Dados\\Projetos");
    ModalDialogHelper answers;
    answers.pressButton("&OK");
    ASSERT_TRUE(select.Execute());
    TFrmExSelFolder* first = TFrmExSelFolder::SharedIfCreated();
    ASSERT_TRUE(first);

    // Empty, missing and file paths leave the tree where it was.
    for (const char* preset : {"", "C:\\Nada", "C:\\Dados\\leia-me.txt"}) {
        SCOPED_TRACE(preset);
        TExSelectFolder other;
        other.SetPath(preset);
        answers.pressButton("&Cancelar", [&](QWidget* window) {
            EXPECT_EQ(window, first);
            EXPECT_EQ(Form(window)->EdtCaminho()->text(), "C:\\Dados\\Projetos");
        });
        EXPECT_FALSE(other.Execute());
        EXPECT_EQ(other.Path(), preset);
    }
}

TEST_F(SelectFolderTest, ExecuteAppliesTheProperties)
{
    select.SetTitle("Escolha");
    select.SetCaption("Pasta:");
    select.SetNewFolderVisible(true);
    select.SetNewFolderCaption("Nova");
    select.SetIndent(25);
    select.SetItemHeight(22);
    select.SetReadOnly(false);
    select.SetRoot("C:\\Dados");
    ModalDialogHelper answers;
    answers.pressButton("&Cancelar", [this](QWidget* window) {
        TFrmExSelFolder* form = Form(window);
        EXPECT_EQ(form->windowTitle(), "Escolha");
        EXPECT_EQ(form->LabCaminho()->text(), "Pasta:");
        EXPECT_TRUE(form->BtnNova()->isVisible());
        EXPECT_EQ(form->BtnNova()->text(), "Nova");
        EXPECT_EQ(form->font(), select.Font());
        EXPECT_EQ(form->MsgDlg()->ButtonFont(), select.Font());
        EXPECT_EQ(form->MsgDlg()->MessageFont(), select.Font());
        TExFolderTree* tree = form->TrvPastas();
        EXPECT_EQ(tree->Indent(), 25);
        EXPECT_EQ(tree->ItemHeight(), 22);
        EXPECT_FALSE(tree->ReadOnly());
        EXPECT_EQ(tree->topLevelItem(0)->text(0), "Dados");
        EXPECT_EQ(form->EdtCaminho()->text(), "C:\\Dados");
    });
    EXPECT_FALSE(select.Execute());

    // ItemHeight 0 keeps the rows' height as it is.
    select.SetItemHeight(0);
    answers.pressButton("&Cancelar", [](QWidget* window) { EXPECT_EQ(Form(window)->TrvPastas()->ItemHeight(), 22); });
    EXPECT_FALSE(select.Execute());
}

TEST_F(SelectFolderTest, LayoutColoursAndFrame)
{
    ModalDialogHelper answers;
    answers.pressButton("&Cancelar", [](QWidget* window) {
        TFrmExSelFolder* form = Form(window);
        EXPECT_EQ(form->size(), QSize(456, 350));
        EXPECT_EQ(form->BtnNova()->geometry(), QRect(10, 317, 85, 23));
        EXPECT_EQ(form->BtnOk()->geometry(), QRect(270, 317, 85, 23));
        EXPECT_EQ(form->BtnCancelar()->geometry(), QRect(361, 317, 85, 23));
        const QRect label = form->LabCaminho()->geometry();
        const QRect path = form->EdtCaminho()->geometry();
        const QRect tree = form->TrvPastas()->geometry();
        EXPECT_EQ(label.topLeft(), QPoint(10, 10));
        EXPECT_EQ(path, QRect(10, label.bottom() + 1 + 2, 436, 21));
        EXPECT_EQ(tree.top(), path.bottom() + 1 + 4);
        EXPECT_EQ(tree.left(), 10);
        EXPECT_EQ(tree.width(), 436);
        EXPECT_EQ(tree.bottom() + 1, 317 - 6);

        EXPECT_EQ(form->palette().color(QPalette::Window), QColor(0xE0, 0xE0, 0xE0));
        EXPECT_EQ(form->EdtCaminho()->palette().color(QPalette::Base), QColor(0xE9, 0xE9, 0xE9));
        EXPECT_TRUE(form->EdtCaminho()->isReadOnly());
        EXPECT_EQ(form->EdtCaminho()->focusPolicy(), Qt::NoFocus);
        EXPECT_FALSE(form->windowFlags() & Qt::WindowMaximizeButtonHint);
        EXPECT_FALSE(form->windowFlags() & Qt::WindowMinimizeButtonHint);
        EXPECT_TRUE(form->windowFlags() & Qt::WindowSystemMenuHint);
        EXPECT_FALSE(form->FormSaver()->AllowMaximize());
        EXPECT_EQ(form->MsgDlg()->BtnWidth(), 85);
        EXPECT_EQ(form->MsgDlg()->BtnHeight(), 23);
        EXPECT_EQ(form->MsgDlg()->BtnSpace(), 12);
    });
    EXPECT_FALSE(select.Execute());
}

TEST_F(SelectFolderTest, TreeEndsSixPixelsAboveTheButtonRowWithTheButtonHidden)
{
    ModalDialogHelper answers;
    for (QSize size : {QSize(456, 350), QSize(600, 480), QSize(380, 260)}) {
        SCOPED_TRACE(testing::Message() << size.width() << "x" << size.height());
        answers.pressButton("&Cancelar", [size](QWidget* window) {
            TFrmExSelFolder* form = Form(window);
            form->resize(size);
            QApplication::processEvents();
            EXPECT_FALSE(form->BtnNova()->isVisible());
            const QRect tree = form->TrvPastas()->geometry();
            EXPECT_EQ(tree.bottom() + 1, form->BtnOk()->y() - 6);
            EXPECT_EQ(form->BtnNova()->y(), form->BtnOk()->y());
            EXPECT_EQ(form->BtnCancelar()->geometry().right() + 1, size.width() - 10);
            EXPECT_EQ(form->BtnOk()->y() + 23, size.height() - 10);
        });
        EXPECT_FALSE(select.Execute());
    }
}

TEST_F(SelectFolderTest, TabOrderAndTheFocusOnOpening)
{
    for (bool newFolder : {true, false}) {
        SCOPED_TRACE(newFolder);
        select.SetNewFolderVisible(newFolder);
        QStringList visited;
        ModalDialogHelper answers;
        answers
            .act(
                [&](QWidget* window) {
                    TFrmExSelFolder* form = Form(window);
                    form->BtnOk()->setFocus();
                    for (int i = 0; i < 5; ++i) {
                        QWidget* focus = form->focusWidget();
                        ASSERT_TRUE(focus);
                        visited << focus->objectName();
                        QTest::keyClick(focus, Qt::Key_Tab);
                    }
                },
                "walk with Tab")
            .pressButton("&Cancelar");
        EXPECT_FALSE(select.Execute());
        ASSERT_EQ(answers.seen().size(), 2u);
        EXPECT_EQ(answers.seen()[0].focusName, "TrvPastas");
        if (newFolder)
            EXPECT_EQ(visited, (QStringList{"BtnOk", "BtnCancelar", "TrvPastas", "BtnNova", "BtnOk"}));
        else
            EXPECT_EQ(visited, (QStringList{"BtnOk", "BtnCancelar", "TrvPastas", "BtnOk", "BtnCancelar"}));
    }
}

TEST_F(SelectFolderTest, ShowingReReadsTheSelectedFolder)
{
    select.SetPath("C:\\Dados\\Projetos");
    ModalDialogHelper answers;
    answers.pressButton("&Cancelar");
    EXPECT_FALSE(select.Execute());
    system.sandbox.mkdirC("Dados/Projetos/epsilon");
    answers.pressButton("&Cancelar", [](QWidget* window) {
        EXPECT_EQ(ChildTexts(Form(window)->TrvPastas()->currentItem()), (QStringList{"Alpha", "beta", "epsilon"}));
    });
    EXPECT_FALSE(select.Execute());
}

TEST_F(SelectFolderTest, FormSaverKeepsOnlyThePosition)
{
    const std::string_view key = "SOFTWARE\\Morvane\\Quorval\\Forms";
    std::string record;
    for (int32_t v : {33, 44, 999, 888})
        for (int i = 0; i < 4; ++i)
            record.push_back(static_cast<char>((static_cast<uint32_t>(v) >> (8 * i)) & 0xFF));
    record += std::string("\x02\0\0\0", 4);
    system.registry()
        .openKey(platform::RegRoot::CurrentUser, key, platform::KeyAccess::AllAccess, true)
        ->setValue("FrmExSelFolder", platform::RegValue::binary(record));

    TFrmExSelFolder& form = TFrmExSelFolder::Shared();
    EXPECT_EQ(form.geometry(), QRect(33, 44, 456, 350));
    EXPECT_FALSE(form.isMaximized());
    form.move(55, 66);
    const QRect moved = form.geometry();
    TFrmExSelFolder::DestroyShared();
    EXPECT_EQ(TFrmExSelFolder::SharedIfCreated(), nullptr);

    auto stored = system.registry().openKey(platform::RegRoot::CurrentUser, key, platform::KeyAccess::Read, false);
    ASSERT_TRUE(stored);
    const auto value = stored->value("FrmExSelFolder");
    ASSERT_TRUE(value.has_value());
    const auto placement = TKqFormPlacement::Decode(value->data);
    ASSERT_TRUE(placement.has_value());
    EXPECT_EQ(placement->Left, moved.x());
    EXPECT_EQ(placement->Top, moved.y());
    EXPECT_EQ(placement->Width, 456);
    EXPECT_EQ(placement->State, 0);
    EXPECT_EQ(TFrmExSelFolder::Shared().geometry().topLeft(), moved.topLeft());
}

} // namespace
} // namespace tarvix
