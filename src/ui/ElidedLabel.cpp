// SPDX-License-Identifier: GPL-3.0-or-later
#include "ElidedLabel.h"

#include <QEvent>
#include <QHelpEvent>
#include <QPainter>
#include <QStyle>
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

QString ElidedLabel::shownText() const
{
    return fontMetrics().elidedText(text(), Qt::ElideRight, contentsRect().width());
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
    return QLabel::event(event);
}

void ElidedLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    style()->drawItemText(&painter, contentsRect(), int(alignment()), palette(), isEnabled(),
                          shownText(), foregroundRole());
}
