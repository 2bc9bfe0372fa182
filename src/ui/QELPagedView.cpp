#include "QELPagedView.h"

#include <QEvent>
#include <QLabel>
#include <QPainter>
#include <QPropertyAnimation>
#include <QVBoxLayout>

#include "Clock.h"

namespace {
constexpr int kPushDurationMs = 250;
// Marks the short-lived picture of a page sliding out; it is no subview.
constexpr const char* kTransientProperty = "qelTransientPicture";
} // namespace

QELPagedView::QELPagedView(QWidget* parent)
    : QWidget(parent)
{
    followSuperview();
}

QELPagedView::QELPagedView(const QRect& frame, QWidget* parent)
    : QWidget(parent)
{
    setGeometry(frame);
    followSuperview();
}

void QELPagedView::setView(QWidget* top)
{
    if (!top)
        return;
    m_view = top;
    // The view follows the page's size, as the page follows its container's.
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(top);
}

QList<QWidget*> QELPagedView::subviewsOf(const QWidget* superview)
{
    QList<QWidget*> result;
    if (!superview)
        return result;
    for (QObject* child : superview->children()) {
        auto* widget = qobject_cast<QWidget*>(child);
        if (widget && !widget->isWindow() && !widget->property(kTransientProperty).toBool())
            result.append(widget);
    }
    return result;
}

void QELPagedView::addToSuperview(QWidget* superview)
{
    if (!superview)
        return;
    if (parentWidget() != superview)
        setParent(superview);
    resize();
    raise();
    show();
}

void QELPagedView::removeAllOtherSubViews()
{
    QWidget* superview = parentWidget();
    if (!superview)
        return;
    const QList<QWidget*> siblings = subviewsOf(superview);
    for (QWidget* sibling : siblings) {
        if (sibling != this)
            sibling->setParent(nullptr);
    }
}

void QELPagedView::hideAllOtherSubViews()
{
    QWidget* superview = parentWidget();
    if (!superview)
        return;
    const QList<QWidget*> siblings = subviewsOf(superview);
    for (QWidget* sibling : siblings) {
        if (sibling != this)
            sibling->hide();
    }
}

void QELPagedView::close()
{
    if (parentWidget())
        setParent(nullptr);
}

void QELPagedView::animateToFront()
{
    QWidget* superview = parentWidget();
    if (!superview)
        return;
    const QList<QWidget*> subviews = subviewsOf(superview);
    if (subviews.isEmpty())
        return;
    QWidget* old = subviews.first();
    if (old == this)
        return;

    resize();
    raise();
    show();
    const int width = superview->width();
    const bool animate = superview->isVisible() && width > 0 && !old->size().isEmpty();
    if (animate) {
        // The old page leaves at once (so the container's state is exact); a
        // picture of it slides out to the right while the new page comes in.
        auto* picture = new QLabel(superview);
        picture->setPixmap(old->grab());
        picture->setGeometry(old->geometry());
        picture->setAttribute(Qt::WA_TransparentForMouseEvents);
        picture->setProperty(kTransientProperty, true);
        picture->show();
        const int duration = std::max(1, Clock::scaledMs(kPushDurationMs));
        auto* out = new QPropertyAnimation(picture, "pos", picture);
        out->setDuration(duration);
        out->setStartValue(QPoint(0, 0));
        out->setEndValue(QPoint(width, 0));
        out->setEasingCurve(QEasingCurve::OutCubic);
        connect(out, &QPropertyAnimation::finished, picture, &QObject::deleteLater);
        auto* in = new QPropertyAnimation(this, "pos", this);
        in->setDuration(duration);
        in->setStartValue(QPoint(-width, 0));
        in->setEndValue(QPoint(0, 0));
        in->setEasingCurve(QEasingCurve::OutCubic);
        connect(in, &QPropertyAnimation::finished, this, &QELPagedView::resize);
        out->start(QAbstractAnimation::DeleteWhenStopped);
        in->start(QAbstractAnimation::DeleteWhenStopped);
    }
    old->setParent(nullptr);
}

void QELPagedView::resize()
{
    if (QWidget* superview = parentWidget())
        setGeometry(superview->rect());
}

void QELPagedView::setIsOpaque(bool opaque)
{
    m_isOpaque = opaque;
    setAttribute(Qt::WA_OpaquePaintEvent, opaque);
    update();
}

bool QELPagedView::event(QEvent* event)
{
    if (event->type() == QEvent::ParentChange)
        followSuperview();
    return QWidget::event(event);
}

void QELPagedView::followSuperview()
{
    if (m_watchedSuperview)
        m_watchedSuperview->removeEventFilter(this);
    m_watchedSuperview = parentWidget();
    if (m_watchedSuperview) {
        m_watchedSuperview->installEventFilter(this);
        resize();
    }
}

bool QELPagedView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_watchedSuperview && event->type() == QEvent::Resize) {
        // A page always covers its container, unless it is sliding in.
        const bool sliding = pos() != QPoint(0, 0) && findChild<QPropertyAnimation*>();
        if (!sliding)
            resize();
    }
    return QWidget::eventFilter(watched, event);
}

void QELPagedView::paintEvent(QPaintEvent* event)
{
    if (m_isOpaque) {
        QPainter painter(this);
        painter.fillRect(rect(), Qt::white);
    }
    QWidget::paintEvent(event);
}
