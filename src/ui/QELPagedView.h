#pragma once

#include <QPointer>
#include <QRect>
#include <QWidget>

// The base of every page: a view whose content comes from a layout file, shown
// by adding it to its container and removing (or hiding) its siblings. A page
// always covers its container. Removing a page does not destroy it; its owner
// keeps it. Main thread only.
class QELPagedView : public QWidget {
    Q_OBJECT
public:
    // A page with no content yet (pages laid out inside another layout file).
    explicit QELPagedView(QWidget* parent = nullptr);
    // A page of the given frame; subclasses then load their layout with setView().
    explicit QELPagedView(const QRect& frame, QWidget* parent = nullptr);

    // The top view of the page's layout file; null until one is loaded.
    QWidget* view() const { return m_view; }

    // Adds the page to `superview`, in front of its other subviews, fitted to it.
    void addToSuperview(QWidget* superview);
    // Removes every sibling of the page from the common superview (walks a copy
    // of the list); without a superview nothing happens.
    void removeAllOtherSubViews();
    // Hides every sibling of the page.
    void hideAllOtherSubViews();
    // Removes the page from its superview.
    void close();
    // Replaces the superview's back-most subview with the page, sliding the new
    // page in from the left.
    void animateToFront();
    // Sets the page's frame to its superview's bounds.
    void resize();

    bool isOpaque() const { return m_isOpaque; }
    void setIsOpaque(bool opaque);

    // The direct child widgets of `superview`, back-most first (its "subviews").
    static QList<QWidget*> subviewsOf(const QWidget* superview);

protected:
    // Installs `top` as the page's top view, filling the page.
    void setView(QWidget* top);
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void followSuperview();

    QWidget* m_view = nullptr;
    QPointer<QWidget> m_watchedSuperview;
    bool m_isOpaque = false;
};
