// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELDeviceDataCategoryContentView.h"

#include "QELDeviceDataCategoryLoadingView.h"

QELDeviceDataCategoryContentView::QELDeviceDataCategoryContentView(const QRect& frame, QWidget* parent)
    : QELDeviceCategoryContentView(frame, parent)
{
}

QELDeviceDataCategoryContentView::~QELDeviceDataCategoryContentView()
{
    // A closed loading page has no parent any more.
    if (m_loadingPageView && m_loadingPageView->parent() != this)
        delete m_loadingPageView.data();
}

void QELDeviceDataCategoryContentView::loadData()
{
    // The page is a child of this view, so it goes with it; an earlier one is
    // replaced.
    if (m_loadingPageView)
        m_loadingPageView->deleteLater();
    m_loadingPageView = new QELDeviceDataCategoryLoadingView(rect(), this);
    m_loadingPageView->setIsOpaque(true);
    m_loadingPageView->startProgressIndicatorAnimation();
    m_loadingPageView->addToSuperview(this);
    hideAllOtherSubViews();
    m_loadingPageView->resize();
}

void QELDeviceDataCategoryContentView::loadDataComplete()
{
    if (m_loadingPageView)
        m_loadingPageView->close();
}
