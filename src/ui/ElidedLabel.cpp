// SPDX-License-Identifier: GPL-3.0-or-later
#include "ElidedLabel.h"

#include <algorithm>

#include <QEvent>
#include <QHelpEvent>
#include <QPainter>
#include <QStyle>
#include <QTextLayout>
#include <QToolTip>

#include "PlainText.h"

ElidedLabel::ElidedLabel(QWidget* parent)
    : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
    setWordWrap(false);
    // The label takes the width it is given, never the width of its text.
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    setMinimumWidth(0);
}

void ElidedLabel::setMaximumLineCount(int lines)
{
    lines = std::max(1, lines);
    if (lines == m_maximumLines)
        return;
    m_maximumLines = lines;
    QSizePolicy policy = sizePolicy();
    policy.setHeightForWidth(lines > 1);
    setSizePolicy(policy);
    updateGeometry();
    update();
}

int ElidedLabel::textWidth() const { return contentsRect().width(); }

ElidedLabel::Lines ElidedLabel::linesFor(int width) const
{
    const QString whole = text();
    const QFontMetrics metrics = fontMetrics();
    Lines result;
    if (m_maximumLines <= 1 || whole.isEmpty() || width <= 0) {
        const QString shown = metrics.elidedText(whole, Qt::ElideRight, std::max(0, width));
        result.lines << shown;
        result.elided = shown != whole;
        return result;
    }
    // A line break of the text itself is a place to wrap like any other.
    QString flowing = whole;
    flowing.replace(QLatin1Char('\n'), QLatin1Char(' '));
    QTextLayout layout(flowing, font());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    for (;;) {
        QTextLine line = layout.createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(width);
        if (result.lines.size() == m_maximumLines - 1) {
            // The last line there is room for takes the rest, cut.
            const QString rest = flowing.mid(line.textStart()).trimmed();
            const QString shown = metrics.elidedText(rest, Qt::ElideRight, width);
            result.lines << shown;
            result.elided = shown != rest;
            break;
        }
        result.lines << flowing.mid(line.textStart(), line.textLength()).trimmed();
    }
    layout.endLayout();
    if (result.lines.isEmpty())
        result.lines << QString();
    return result;
}

QString ElidedLabel::shownText() const { return shownLines().join(QLatin1Char('\n')); }

QStringList ElidedLabel::shownLines() const { return linesFor(textWidth()).lines; }

bool ElidedLabel::isElided() const { return linesFor(textWidth()).elided; }

int ElidedLabel::linesHeightFor(int width) const
{
    const QMargins margins = contentsMargins();
    const int lines = int(linesFor(width - margins.left() - margins.right()).lines.size());
    return lines * fontMetrics().lineSpacing() + margins.top() + margins.bottom();
}

bool ElidedLabel::hasHeightForWidth() const { return m_maximumLines > 1; }

int ElidedLabel::heightForWidth(int width) const
{
    if (m_maximumLines <= 1)
        return QLabel::heightForWidth(width);
    return linesHeightFor(width);
}

QSize ElidedLabel::sizeHint() const
{
    const QSize hint = QLabel::sizeHint();
    if (m_maximumLines <= 1)
        return hint;
    return {hint.width(), heightForWidth(width() > 0 ? width() : hint.width())};
}

QSize ElidedLabel::minimumSizeHint() const
{
    const QSize hint = QLabel::minimumSizeHint();
    if (m_maximumLines <= 1)
        return hint;
    const QMargins margins = contentsMargins();
    return {0, fontMetrics().lineSpacing() + margins.top() + margins.bottom()};
}

bool ElidedLabel::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        // The tool tip is the cut part of the text: none while it all shows,
        // unless one was set on purpose.
        if (toolTip().isEmpty()) {
            auto* help = static_cast<QHelpEvent*>(event);
            if (isElided())
                QToolTip::showText(help->globalPos(), PlainText::toolTip(text()), this);
            else
                QToolTip::hideText();
            return true;
        }
    }
    if (event->type() == QEvent::Resize && m_maximumLines > 1) {
        // Another width may take another number of lines.
        updateGeometry();
    }
    return QLabel::event(event);
}

void ElidedLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QStringList lines = shownLines();
    if (lines.size() <= 1) {
        style()->drawItemText(&painter, contentsRect(), int(alignment()), palette(), isEnabled(),
                              lines.value(0), foregroundRole());
        return;
    }
    // The lines as one block, placed as the alignment says, each line aligned
    // within the block.
    const int spacing = fontMetrics().lineSpacing();
    const QRect area = contentsRect();
    const int blockHeight = int(lines.size()) * spacing;
    int top = area.top();
    if (alignment() & Qt::AlignVCenter)
        top += (area.height() - blockHeight) / 2;
    else if (alignment() & Qt::AlignBottom)
        top += area.height() - blockHeight;
    const int horizontal = int(alignment() & Qt::AlignHorizontal_Mask) | Qt::AlignVCenter;
    for (const QString& line : lines) {
        style()->drawItemText(&painter, QRect(area.left(), top, area.width(), spacing), horizontal,
                              palette(), isEnabled(), line, foregroundRole());
        top += spacing;
    }
}
