#include "QELReplaceText.h"

#include <QAbstractButton>
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QSet>
#include <QWidget>

namespace {

// Each menu and widget is rewritten once, however it is reached (a submenu is
// both an action's menu and a child widget), so a new text that contains the
// old one is not replaced twice.
class Replacer {
public:
    Replacer(const QString& oldText, const QString& newText) : m_old(oldText), m_new(newText) {}

    void actions(const QList<QAction*>& items)
    {
        for (QAction* action : items) {
            if (!action)
                continue;
            if (!m_seen.contains(action)) {
                m_seen.insert(action);
                action->setText(replaced(action->text()));
            }
            if (QMenu* submenu = action->menu<QMenu*>())
                menu(submenu);
        }
    }

    void menu(QMenu* target)
    {
        if (!target || m_seen.contains(target))
            return;
        m_seen.insert(target);
        actions(target->actions());
    }

    void view(QWidget* target)
    {
        if (!target || m_seen.contains(target))
            return;
        if (auto* asMenu = qobject_cast<QMenu*>(target)) {
            menu(asMenu);
            return;
        }
        m_seen.insert(target);
        if (target->isWindow())
            target->setWindowTitle(replaced(target->windowTitle()));
        if (auto* bar = qobject_cast<QMenuBar*>(target))
            actions(bar->actions());
        else if (auto* button = qobject_cast<QAbstractButton*>(target))
            button->setText(replaced(button->text()));
        else if (auto* label = qobject_cast<QLabel*>(target))
            label->setText(replaced(label->text()));
        else if (auto* field = qobject_cast<QLineEdit*>(target))
            field->setText(replaced(field->text()));
        const auto children = target->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
        for (QWidget* child : children)
            view(child);
    }

private:
    QString replaced(QString text) const { return text.replace(m_old, m_new); }

    const QString m_old;
    const QString m_new;
    QSet<QObject*> m_seen;
};

bool usable(const QString& oldText, const QString& newText) { return !oldText.isEmpty() && !newText.isNull(); }

} // namespace

void QELReplaceText::ReplaceStringWithStringInMenu(const QString& oldText, const QString& newText, QMenu* menu)
{
    // Replacing "" would insert the new text between every character.
    if (!menu || !usable(oldText, newText))
        return;
    Replacer(oldText, newText).menu(menu);
}

void QELReplaceText::ReplaceStringWithStringInView(const QString& oldText, const QString& newText, QWidget* target)
{
    if (!target || !usable(oldText, newText))
        return;
    Replacer(oldText, newText).view(target);
}
