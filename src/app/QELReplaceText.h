#pragma once

#include <QString>

class QMenu;
class QWidget;

// Rewrites a text in the titles and texts of a window's controls and menus.
class QELReplaceText {
public:
    // Every item title of the menu and, recursively, of its submenus.
    static void ReplaceStringWithStringInMenu(const QString& oldText, const QString& newText, QMenu* menu);

    // A window's title and menu bar, a button's title, a label's or text
    // field's text, then every child widget the same way. Nothing changes
    // when the old text is empty or either text or the target is missing.
    static void ReplaceStringWithStringInView(const QString& oldText, const QString& newText, QWidget* target);
};
