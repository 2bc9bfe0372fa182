// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELDeviceDataCategoryCouldNotBeReadView.h"

#include <QLabel>
#include <QVBoxLayout>

#include "LocalizedStrings.h"

QELDeviceDataCategoryCouldNotBeReadView::QELDeviceDataCategoryCouldNotBeReadView(const QRect& frame,
                                                                                 QWidget* parent)
    : QELPagedView(frame, parent)
{
    auto* top = new QWidget;
    auto* layout = new QVBoxLayout(top);
    m_descriptionLabel = new QLabel(L("CATEGORYCOULDNOTBEREAD"), top);
    m_descriptionLabel->setObjectName(QStringLiteral("couldNotBeReadLabel"));
    m_descriptionLabel->setAlignment(Qt::AlignCenter);
    m_descriptionLabel->setWordWrap(true);
    layout->addStretch(1);
    layout->addWidget(m_descriptionLabel);
    layout->addStretch(1);
    setView(top);
}
