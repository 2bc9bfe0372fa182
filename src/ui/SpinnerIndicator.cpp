#include "SpinnerIndicator.h"

#include <QPainter>

namespace {
constexpr int kSpokes = 12;
constexpr int kTickMs = 80;
} // namespace

SpinnerIndicator::SpinnerIndicator(QWidget* parent)
    : QWidget(parent)
{
    m_timer.setInterval(kTickMs);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        m_angle = (m_angle + 1) % kSpokes;
        update();
    });
    setAttribute(Qt::WA_TranslucentBackground);
}

void SpinnerIndicator::startAnimation()
{
    m_timer.start();
    update();
}

void SpinnerIndicator::stopAnimation()
{
    m_timer.stop();
    update();
}

void SpinnerIndicator::paintEvent(QPaintEvent*)
{
    if (!isSpinning())
        return;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal side = std::min(width(), height());
    p.translate(width() / 2.0, height() / 2.0);
    const qreal outer = side / 2.0;
    const qreal inner = outer * 0.45;
    QColor color = palette().color(QPalette::WindowText);
    QPen pen(color, std::max<qreal>(1.5, side / 11.0), Qt::SolidLine, Qt::RoundCap);
    for (int i = 0; i < kSpokes; ++i) {
        // The spoke at the current angle is darkest; the others fade behind it.
        const int age = (m_angle - i + kSpokes) % kSpokes;
        color.setAlphaF(1.0f - 0.75f * static_cast<float>(age) / kSpokes);
        pen.setColor(color);
        p.setPen(pen);
        p.save();
        p.rotate(i * 360.0 / kSpokes);
        p.drawLine(QPointF(0, -inner), QPointF(0, -outer + pen.widthF() / 2));
        p.restore();
    }
}
