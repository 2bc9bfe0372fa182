// SPDX-License-Identifier: GPL-3.0-or-later
#include "CalendarDayCellDelegate.h"

#include <QFontMetrics>
#include <QPainter>

#include "CalendarDayCellModel.h"

namespace {

constexpr int kDayNumberHeight = 18;
constexpr int kTextMargin = 3;

} // namespace

CalendarDayCellDelegate::CalendarDayCellDelegate(const CalendarDayCellModel* model, QObject* parent)
    : QStyledItemDelegate(parent)
    , m_model(model)
{
}

QFont CalendarDayCellDelegate::rowFont()
{
    QFont font(QStringLiteral("Lucida Grande"));
    // The size is meant as on a screen of 72 dots an inch: 12 pixels.
    font.setPixelSize(12);
    return font;
}

QSize CalendarDayCellDelegate::sizeHint(const QStyleOptionViewItem& option,
                                        const QModelIndex& index) const
{
    const CalendarEntry* entry = m_model->entryAt(index.row());
    const int height = entry ? entry->rowHeight(m_weekView) : kDayNumberHeight;
    return {option.rect.width(), height};
}

void CalendarDayCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                    const QModelIndex& index) const
{
    painter->save();
    painter->setFont(rowFont());
    const QRect rect = option.rect;
    const QRect textRect = rect.adjusted(kTextMargin, 1, -kTextMargin, -1);
    QString text = index.data(Qt::DisplayRole).toString();
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    const CalendarEntry* entry = m_model->entryAt(index.row());
    if (!entry) {
        painter->setPen(Qt::black);
        painter->drawText(textRect, Qt::AlignRight | Qt::AlignVCenter, text);
        painter->restore();
        return;
    }
    const QColor colour = entry->color.isValid() ? entry->color : QColor(Qt::darkGray);
    QColor textColour = colour;
    if (option.state & QStyle::State_Selected) {
        painter->fillRect(rect, option.palette.brush(QPalette::Highlight));
        textColour = Qt::white;
    } else if (entry->allDay) {
        painter->fillRect(rect.adjusted(1, 1, -1, 0), colour);
        textColour = Qt::white;
    } else if (m_weekView) {
        QColor translucent = colour;
        translucent.setAlphaF(0.7f);
        painter->fillRect(rect.adjusted(1, 1, -1, 0), translucent);
        textColour = Qt::white;
    }
    painter->setPen(textColour);
    const QFontMetrics metrics(painter->font());
    if (textRect.height() < 2 * metrics.lineSpacing()) {
        // One line: wrapping would push the title below the row, leaving its
        // time alone; the title is cut at the row's end instead.
        const QString line = text.simplified();
        painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter,
                          metrics.elidedText(line, Qt::ElideRight, textRect.width()));
    } else {
        const int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap;
        const QRect needed = metrics.boundingRect(textRect, flags, text);
        const qsizetype lastBreak = text.lastIndexOf(QLatin1Char('\n'));
        if (needed.height() <= textRect.height() || lastBreak < 0) {
            painter->drawText(textRect, flags, text);
        } else {
            // Too long for the row: the start and title are cut on the first
            // line so that the end time keeps its own line.
            const QString head = text.left(lastBreak).simplified();
            const QString end = text.mid(lastBreak + 1).trimmed();
            const int line = metrics.lineSpacing();
            painter->drawText(QRect(textRect.left(), textRect.top(), textRect.width(), line),
                              Qt::AlignLeft | Qt::AlignVCenter,
                              metrics.elidedText(head, Qt::ElideRight, textRect.width()));
            painter->drawText(QRect(textRect.left(), textRect.top() + line, textRect.width(), line),
                              Qt::AlignLeft | Qt::AlignVCenter, end);
        }
    }
    painter->restore();
}
