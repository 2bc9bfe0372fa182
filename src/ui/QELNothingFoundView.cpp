// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELNothingFoundView.h"

#include <QLabel>
#include <QVBoxLayout>

QELNothingFoundView::QELNothingFoundView(const QString& text, const QString& labelName,
                                         const QRect& frame, QWidget* parent)
    : QELPagedView(frame, parent)
{
    auto* top = new QWidget;
    m_layout = new QVBoxLayout(top);
    m_label = new QLabel(text, top);
    m_label->setObjectName(labelName);
    m_label->setAlignment(Qt::AlignCenter);
    m_label->setWordWrap(true);
    m_label->setTextFormat(Qt::PlainText);
    m_layout->addStretch(1);
    m_layout->addWidget(m_label);
    m_layout->addStretch(1);
    setView(top);
}

void QELNothingFoundView::addBelow(QWidget* widget)
{
    widget->setParent(m_label->parentWidget());
    // Before the last stretch, so the text and what follows stay together in the middle.
    m_layout->insertWidget(m_layout->count() - 1, widget, 0, Qt::AlignHCenter);
}
