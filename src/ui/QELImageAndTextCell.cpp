#include "QELImageAndTextCell.h"

#include <cmath>

#include <QApplication>
#include <QFontMetricsF>
#include <QIcon>
#include <QPainter>
#include <QStyle>

namespace {

QPixmap shrunkToHeight(const QPixmap& icon, qreal height)
{
    const qreal ratio = icon.devicePixelRatio();
    QPixmap result = icon.scaledToHeight(std::max(1, static_cast<int>(height * ratio)),
                                         Qt::SmoothTransformation);
    result.setDevicePixelRatio(ratio);
    return result;
}

} // namespace

QELImageAndTextCell::QELImageAndTextCell(const QString& text, QObject* parent)
    : QStyledItemDelegate(parent)
    , m_text(text)
{
}

void QELImageAndTextCell::drawWithFrameInView(QPainter& painter, const QRectF& frame,
                                              const QString& stringValue, const QFont& font,
                                              bool highlighted, const QColor& highlightedTextColor,
                                              const QPixmap& rowIcon)
{
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QColor color = highlighted ? highlightedTextColor : m_textColor;

    if (m_backgroundColor.isValid())
        painter.fillRect(frame, m_backgroundColor);

    const QFontMetricsF metrics(font);
    const float h = static_cast<float>(
        metrics
            .boundingRect(QRectF(0, 0, frame.width(), frame.height()), Qt::TextSingleLine,
                          stringValue.isEmpty() ? QStringLiteral(" ") : stringValue)
            .height());
    qreal textX = frame.x() + m_leftPadding + m_imageToTextSpacing;
    const qreal textY = frame.y() + frame.height() / 2.0 - h / 2.0 - 1.0;

    QPixmap icon = rowIcon.isNull() ? m_icon : rowIcon;
    qreal iconWidth = 0;
    m_lastIconRect = QRectF();
    if (!icon.isNull()) {
        const qreal x = std::trunc(frame.x() + m_leftPadding);
        qreal y = std::trunc(frame.y());
        if (icon.deviceIndependentSize().height() > frame.height()) {
            icon = shrunkToHeight(icon, frame.height() - 2.0);
            if (rowIcon.isNull())
                m_icon = icon; // later drawings use the smaller icon
        }
        const QSizeF iconSize = icon.deviceIndependentSize();
        if (iconSize.height() < frame.height())
            y = std::trunc(frame.y() + frame.height() / 2.0 - iconSize.height() / 2.0);
        m_lastIconRect = QRectF(QPointF(x, y), iconSize);
        painter.drawPixmap(QPointF(x, y), icon);
        iconWidth = iconSize.width();
        textX += iconWidth;
    } else {
        textX += m_blankImageWidth;
    }

    const qreal reserved = icon.isNull() ? m_blankImageWidth : iconWidth;
    m_lastTextRect =
        QRectF(textX, textY, frame.width() - m_leftPadding - m_imageToTextSpacing - reserved,
               frame.height());
    painter.setFont(font);
    painter.setPen(color);
    const QString shown =
        metrics.elidedText(stringValue, Qt::ElideRight, std::max<qreal>(0, m_lastTextRect.width()));
    painter.drawText(m_lastTextRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, shown);
    painter.restore();
}

void QELImageAndTextCell::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                const QModelIndex& index) const
{
    QStyleOptionViewItem opt(option);
    initStyleOption(&opt, index);
    const QString text = opt.text;
    // The style draws the selection and focus; the cell draws icon and text.
    opt.text.clear();
    opt.icon = QIcon();
    opt.features &= ~QStyleOptionViewItem::HasDecoration;
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);

    QPixmap rowIcon;
    const QVariant decoration = index.data(Qt::DecorationRole);
    if (decoration.canConvert<QPixmap>() && decoration.userType() == QMetaType::QPixmap)
        rowIcon = decoration.value<QPixmap>();
    else if (decoration.userType() == QMetaType::QIcon)
        rowIcon = decoration.value<QIcon>().pixmap(option.decorationSize,
                                                   widget ? widget->devicePixelRatioF() : 1.0);
    else if (decoration.userType() == QMetaType::QImage)
        rowIcon = QPixmap::fromImage(decoration.value<QImage>());

    // Drawing may shrink the cell's own icon once, as the cell's state.
    auto* self = const_cast<QELImageAndTextCell*>(this);
    self->drawWithFrameInView(*painter, QRectF(option.rect), text, opt.font,
                              option.state.testFlag(QStyle::State_Selected),
                              option.palette.color(QPalette::HighlightedText), rowIcon);
}

QSize QELImageAndTextCell::sizeHint(const QStyleOptionViewItem& option,
                                    const QModelIndex& index) const
{
    const QFontMetrics metrics(option.font);
    const QString text = index.data(Qt::DisplayRole).toString();
    const int iconWidth = m_icon.isNull()
        ? m_blankImageWidth
        : static_cast<int>(m_icon.deviceIndependentSize().width());
    return QSize(m_leftPadding + m_imageToTextSpacing + iconWidth + metrics.horizontalAdvance(text)
                     + 4,
                 std::max(metrics.height() + 4, 18));
}
