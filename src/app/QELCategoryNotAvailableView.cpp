// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELCategoryNotAvailableView.h"

#include <QLabel>
#include <QVBoxLayout>

#include "LocalizedStrings.h"

QELCategoryNotAvailableView::QELCategoryNotAvailableView(int viewType, const QString& categoryName,
                                                         const QRect& frame, QWidget* parent)
    : QELDeviceCategoryContentView(frame, parent)
    , m_viewType(viewType)
{
    auto* top = new QWidget;
    auto* layout = new QVBoxLayout(top);
    layout->addStretch(1);
    m_title = new QLabel(categoryName, top);
    m_title->setAlignment(Qt::AlignCenter);
    QFont titleFont = m_title->font();
    titleFont.setPixelSize(22);
    titleFont.setWeight(QFont::DemiBold);
    m_title->setFont(titleFont);
    m_detail = new QLabel(L("CATEGORYNOTAVAILABLE").arg(categoryName), top);
    m_detail->setAlignment(Qt::AlignCenter);
    m_detail->setWordWrap(true);
    m_detail->setStyleSheet(QStringLiteral("color: #555b66;"));
    QFont detailFont = m_detail->font();
    detailFont.setPixelSize(14);
    m_detail->setFont(detailFont);
    layout->addWidget(m_title);
    layout->addSpacing(8);
    layout->addWidget(m_detail);
    layout->addStretch(2);
    setView(top);
    setIsOpaque(true);
}
