// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELDeviceDataCategoryLoadingView.h"

#include "LocalizedStrings.h"
#include "ui_QELDeviceDataCategoryLoadingView.h"

QELDeviceDataCategoryLoadingView::QELDeviceDataCategoryLoadingView(const QRect& frame,
                                                                   QWidget* parent)
    : QELPagedView(frame, parent)
    , m_ui(std::make_unique<Ui::QELDeviceDataCategoryLoadingView>())
{
    auto* top = new QWidget;
    m_ui->setupUi(top);
    setView(top);
    m_ui->loadingDescriptionLabel->setText(L("LOADINGDATA"));
    // Still until the animation is started.
    m_ui->loadingProgressBar->setMaximum(1);
}

QELDeviceDataCategoryLoadingView::~QELDeviceDataCategoryLoadingView() = default;

void QELDeviceDataCategoryLoadingView::startProgressIndicatorAnimation()
{
    // A range of 0..0 is Qt's busy indicator.
    m_ui->loadingProgressBar->setRange(0, 0);
}

bool QELDeviceDataCategoryLoadingView::isAnimating() const
{
    return m_ui->loadingProgressBar->minimum() == 0 && m_ui->loadingProgressBar->maximum() == 0;
}

QProgressBar* QELDeviceDataCategoryLoadingView::loadingProgressBar() const
{
    return m_ui->loadingProgressBar;
}
QLabel* QELDeviceDataCategoryLoadingView::loadingDescriptionLabel() const
{
    return m_ui->loadingDescriptionLabel;
}
