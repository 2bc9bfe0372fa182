#include "TSPProgressIndicator.h"

#include <cmath>
#include <exception>

#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include "Clock.h"
#include "Log.h"
#include "QELBezierPath.h"

namespace {
constexpr int kAnimationIntervalMs = 50;

QLinearGradient verticalGradient(const QRectF& rect, qreal at0, const QColor& c0, qreal at1,
                                 const QColor& c1)
{
    // Top to bottom: the highlight sits on the upper part of the shape.
    QLinearGradient gradient(rect.topLeft(), rect.bottomLeft());
    gradient.setColorAt(at0, c0);
    gradient.setColorAt(at1, c1);
    return gradient;
}
} // namespace

TSPProgressIndicator::TSPProgressIndicator(QWidget* parent)
    : QWidget(parent)
    , m_progressHolderColor(QColor::fromRgbF(0.75f, 0.75f, 0.75f, 0.5f))
    , m_progressColor(QColor::fromRgbF(0.076f, 0.076f, 0.071f, 1.0f))
    , m_backgroundTextColor(QColor::fromRgbF(0, 0, 0, 1))
    , m_frontTextColor(QColor::fromRgbF(1, 1, 1, 1))
    , m_shadowColor(QColor::fromRgbF(0.16f, 0.16f, 0.16f, 0.3f))
{
    m_timer.setInterval(kAnimationIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &TSPProgressIndicator::drawIndeterminate);
    setAttribute(Qt::WA_TranslucentBackground);
    makeIndeterminatePole();
}

TSPProgressIndicator::~TSPProgressIndicator()
{
    m_stopThread = true;
    if (m_animationThread.joinable())
        m_animationThread.join();
}

void TSPProgressIndicator::setProgressTextAlign(int position)
{
    m_position = (position == 0 || position == 1) ? position : 2;
}

void TSPProgressIndicator::setIsIndeterminate(bool indeterminate)
{
    m_isIndeterminate = indeterminate;
    if (!indeterminate && m_animationStarted) {
        // stopAnimation() only stops the timer of an indeterminate bar.
        m_isIndeterminate = true;
        stopAnimation();
        m_isIndeterminate = false;
    }
    update();
}

void TSPProgressIndicator::startAnimation()
{
    const QWidget* top = window();
    if (top == this || !top->testAttribute(Qt::WA_WState_Created))
        return;
    makeIndeterminatePole();
    if (m_usesThreadedAnimation) {
        if (m_animationThread.joinable())
            return;
        m_stopThread = false;
        m_animationThread = std::thread([this] { animateInBackgroundThread(); });
    } else {
        m_timer.start();
        m_animationStarted = true;
    }
}

void TSPProgressIndicator::stopAnimation()
{
    if (m_animationThread.joinable()) {
        m_stopThread = true;
        m_animationThread.join();
        return;
    }
    if (m_isIndeterminate) {
        m_timer.stop();
        m_animationStarted = false;
    }
}

void TSPProgressIndicator::animateInBackgroundThread()
{
    while (Clock::sleepFor(Clock::Milliseconds(kAnimationIntervalMs), &m_stopThread)) {
        qCDebug(lcOrvane) << "doing something in another thread";
        ++m_step;
        // Widgets repaint on the main thread only.
        QMetaObject::invokeMethod(this, qOverload<>(&QWidget::update), Qt::QueuedConnection);
    }
}

void TSPProgressIndicator::drawIndeterminate()
{
    ++m_step;
    update();
}

void TSPProgressIndicator::makeIndeterminatePole()
{
    const int h = std::max(1, height());
    const int w = std::max(1, width());
    const qreal dpr = std::max<qreal>(1.0, devicePixelRatioF());

    QImage tile(QSize(h, h) * dpr, QImage::Format_ARGB32_Premultiplied);
    tile.setDevicePixelRatio(dpr);
    tile.fill(Qt::transparent);
    {
        QPainter p(&tile);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        const qreal H = h;
        p.setBrush(m_progressHolderColor);
        p.drawPolygon(QPolygonF({QPointF(0, H), QPointF(0, 0), QPointF(H / 2, 0)}));
        p.setBrush(m_progressColor);
        p.drawPolygon(
            QPolygonF({QPointF(H / 2, 0), QPointF(H, 0), QPointF(H / 2, H), QPointF(0, H)}));
        p.setBrush(m_progressHolderColor);
        p.drawPolygon(QPolygonF({QPointF(H, 0), QPointF(H, H), QPointF(H / 2, H)}));
    }
    m_indeterminateImage2 = tile;

    // One tile longer than the bar plus the distance the stripes travel, so the
    // pattern repeats every `h` points and never stretches.
    const int stripWidth = w + h;
    QImage strip(QSize(stripWidth, h) * dpr, QImage::Format_ARGB32_Premultiplied);
    strip.setDevicePixelRatio(dpr);
    strip.fill(Qt::transparent);
    {
        QPainter p(&strip);
        for (int i = 0; i <= stripWidth / h; ++i)
            p.drawImage(QPointF(i * h, 0), tile);
    }
    m_indeterminateImage = strip;
}

float TSPProgressIndicator::alignTextOnProgressFontSize(const QRectF& rect,
                                                        const QSizeF& textSize) const
{
    switch (m_position) {
    case 0:
        return 10.0f;
    case 1:
        return static_cast<float>(rect.width() - textSize.width() - 10.0);
    default:
        return static_cast<float>(rect.width() / 2.0 - textSize.width() / 2.0);
    }
}

QFont TSPProgressIndicator::labelFont() const
{
    QFont f = font();
    f.setPixelSize(std::max(1, static_cast<int>(std::lround(m_fontSize))));
    return f;
}

void TSPProgressIndicator::drawText(QPainter& painter, const QRectF& rect, const QColor& color)
{
    if (m_progressText.isEmpty() || !m_drawsProgressText)
        return;
    const QFont f = labelFont();
    const QFontMetricsF metrics(f);
    const QSizeF textSize(metrics.horizontalAdvance(m_progressText), metrics.height());
    const QRectF textRect(rect.x() + alignTextOnProgressFontSize(rect, textSize),
                          rect.y() + rect.height() / 2.0 - textSize.height() / 2.0,
                          textSize.width(), textSize.height());
    painter.setFont(f);
    painter.setPen(color);
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                     m_progressText);
}

void TSPProgressIndicator::drawRect(QPainter& painter, const QRectF& dirty)
{
    if (dirty.isEmpty())
        return;
    painter.save();
    try {
        using namespace QELBezierPath;
        const float radius = static_cast<float>(m_cornerRadius);
        const Shadow shadow{m_shadowColor, m_shadowBlur, QPointF(0, 0)};

        // The bar leaves one point free along its top edge.
        const QRectF r = dirty.adjusted(0, 1, 0, 0);
        m_indeterminateRect = r;
        QRectF fill = r;
        if (m_maxValue != 0)
            fill.setWidth(std::clamp(r.width() / m_maxValue * m_doubleValue, 0.0, r.width()));
        m_lastFillRect = fill;
        const QRectF gloss = fill.translated(0, 1.5);

        const QPainterPath holder = bezierPathWithRoundedRectCornerRadius(r, radius);
        painter.fillPath(holder, m_progressHolderColor);
        fillWithInnerShadow(painter, holder, shadow);
        painter.setClipPath(holder, Qt::IntersectClip);

        if (!m_isIndeterminate)
            drawText(painter, dirty, m_backgroundTextColor);

        if (!m_isIndeterminate) {
            const QPainterPath fillPath = bezierPathWithRoundedRectCornerRadius(fill, radius);
            painter.fillPath(fillPath, m_progressColor);
            painter.setClipPath(fillPath, Qt::IntersectClip);
            painter.fillPath(fillPath,
                             verticalGradient(fill, 0.1, QColor::fromRgbF(1, 1, 1, 0.35f), 0.6,
                                              QColor::fromRgbF(1, 1, 1, 0)));
            painter.strokePath(bezierPathWithRoundedRectCornerRadius(gloss, radius),
                               QPen(QColor::fromRgbF(1, 1, 1, 0.4f), 1.0));
        }

        const qreal h = height();
        m_indeterminateRect.moveLeft(m_indeterminateRect.left() - (h - m_step));
        m_indeterminateRect.setWidth(m_indeterminateRect.width() + h);
        if (m_step > h)
            m_step = 0;
        const QPainterPath stripes =
            bezierPathWithRoundedRectCornerRadius(m_indeterminateRect, radius);
        painter.setClipPath(stripes, Qt::IntersectClip);
        if (!m_indeterminateImage.isNull()) {
            // Source-in: the stripes replace what is painted, and only there.
            painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
            const QSizeF stripSize = m_indeterminateImage.deviceIndependentSize();
            painter.drawImage(
                QRectF(m_indeterminateRect.topLeft(),
                       QSizeF(std::min(stripSize.width(), m_indeterminateRect.width()),
                              m_indeterminateRect.height())),
                m_indeterminateImage,
                QRectF(QPointF(0, 0),
                       QSizeF(std::min(stripSize.width(), m_indeterminateRect.width()),
                              stripSize.height())
                           * m_indeterminateImage.devicePixelRatio()));
            painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        }
        painter.fillPath(stripes,
                         verticalGradient(m_indeterminateRect, 0.0, QColor::fromRgbF(1, 1, 1, 0.3f),
                                          0.6, QColor::fromRgbF(1, 1, 1, 0)));
        fillWithInnerShadow(painter, stripes, shadow);

        if (!m_isIndeterminate)
            drawText(painter, r, m_frontTextColor);
    } catch (const std::exception& e) {
        qCWarning(lcOrvane) << e.what();
    }
    painter.restore();
}

void TSPProgressIndicator::paintEvent(QPaintEvent*)
{
    // Drawn into a transparent buffer first, so that source-in compositing sees
    // only the bar's own paint and not what lies beneath the widget.
    const qreal dpr = std::max<qreal>(1.0, devicePixelRatioF());
    QImage buffer(size() * dpr, QImage::Format_ARGB32_Premultiplied);
    if (buffer.isNull())
        return;
    buffer.setDevicePixelRatio(dpr);
    buffer.fill(Qt::transparent);
    {
        QPainter p(&buffer);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::TextAntialiasing);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        drawRect(p, QRectF(rect()));
    }
    QPainter(this).drawImage(0, 0, buffer);
}

void TSPProgressIndicator::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    makeIndeterminatePole();
}
