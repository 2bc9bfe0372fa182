#include "QELReplaceText.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace {

// A window with a menu bar (a menu, an item, a submenu) and controls nested in
// its central widget, every text naming "Foo".
struct Window {
    Window()
    {
        window.setWindowTitle(QStringLiteral("About Foo"));
        menu = window.menuBar()->addMenu(QStringLiteral("Foo"));
        quit = menu->addAction(QStringLiteral("Quit Foo"));
        submenu = menu->addMenu(QStringLiteral("More Foo"));
        help = submenu->addAction(QStringLiteral("Foo Help, Foo"));
        auto* central = new QWidget(&window);
        auto* layout = new QVBoxLayout(central);
        button = new QPushButton(QStringLiteral("Open Foo"), central);
        label = new QLabel(QStringLiteral("Foo label"), central);
        field = new QLineEdit(QStringLiteral("Foo field"), central);
        auto* inner = new QWidget(central);
        box = new QCheckBox(QStringLiteral("Foo box"), inner);
        layout->addWidget(button);
        layout->addWidget(label);
        layout->addWidget(field);
        layout->addWidget(inner);
        window.setCentralWidget(central);
    }
    QMainWindow window;
    QMenu* menu;
    QAction* quit;
    QMenu* submenu;
    QAction* help;
    QPushButton* button;
    QLabel* label;
    QLineEdit* field;
    QCheckBox* box;
};

TEST(ReplaceText, RewritesWindowMenusAndControlsOnce)
{
    Window w;
    // The new text holds the old one: each text is rewritten exactly once.
    QELReplaceText::ReplaceStringWithStringInView(QStringLiteral("Foo"), QStringLiteral("FooBar"), &w.window);
    EXPECT_EQ(w.window.windowTitle(), QStringLiteral("About FooBar"));
    EXPECT_EQ(w.menu->title(), QStringLiteral("FooBar"));
    EXPECT_EQ(w.quit->text(), QStringLiteral("Quit FooBar"));
    EXPECT_EQ(w.submenu->title(), QStringLiteral("More FooBar"));
    EXPECT_EQ(w.help->text(), QStringLiteral("FooBar Help, FooBar"));
    EXPECT_EQ(w.button->text(), QStringLiteral("Open FooBar"));
    EXPECT_EQ(w.label->text(), QStringLiteral("FooBar label"));
    EXPECT_EQ(w.field->text(), QStringLiteral("FooBar field"));
    EXPECT_EQ(w.box->text(), QStringLiteral("FooBar box"));
}

TEST(ReplaceText, MenuAndItsSubmenus)
{
    Window w;
    QELReplaceText::ReplaceStringWithStringInMenu(QStringLiteral("Foo"), QStringLiteral("Baz"), w.menu);
    EXPECT_EQ(w.quit->text(), QStringLiteral("Quit Baz"));
    EXPECT_EQ(w.submenu->title(), QStringLiteral("More Baz"));
    EXPECT_EQ(w.help->text(), QStringLiteral("Baz Help, Baz"));
    EXPECT_EQ(w.button->text(), QStringLiteral("Open Foo"));
}

TEST(ReplaceText, EmptyOrMissingTextsChangeNothing)
{
    Window w;
    QELReplaceText::ReplaceStringWithStringInView(QString(""), QStringLiteral("x"), &w.window);
    QELReplaceText::ReplaceStringWithStringInView(QStringLiteral("Foo"), QString(), &w.window);
    QELReplaceText::ReplaceStringWithStringInView(QStringLiteral("Foo"), QStringLiteral("x"), nullptr);
    QELReplaceText::ReplaceStringWithStringInMenu(QString(""), QStringLiteral("x"), w.menu);
    QELReplaceText::ReplaceStringWithStringInMenu(QStringLiteral("Foo"), QStringLiteral("x"), nullptr);
    EXPECT_EQ(w.window.windowTitle(), QStringLiteral("About Foo"));
    EXPECT_EQ(w.quit->text(), QStringLiteral("Quit Foo"));
    EXPECT_EQ(w.button->text(), QStringLiteral("Open Foo"));
    EXPECT_EQ(w.field->text(), QStringLiteral("Foo field"));
}

TEST(ReplaceText, EmptyNewTextRemovesTheOld)
{
    Window w;
    QELReplaceText::ReplaceStringWithStringInView(QStringLiteral(" Foo"), QString(""), &w.window);
    EXPECT_EQ(w.button->text(), QStringLiteral("Open"));
}

} // namespace
