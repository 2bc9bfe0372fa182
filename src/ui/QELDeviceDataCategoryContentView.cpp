// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELDeviceDataCategoryContentView.h"

#include <exception>

#include "Log.h"
#include "QELDeviceDataCategoryCouldNotBeReadView.h"
#include "QELDeviceDataCategoryLoadingView.h"

QELDeviceDataCategoryContentView::QELDeviceDataCategoryContentView(const QRect& frame,
                                                                   QWidget* parent)
    : QELDeviceCategoryContentView(frame, parent)
{
}

QELDeviceDataCategoryContentView::~QELDeviceDataCategoryContentView()
{
    joinWorkerLoads();
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
    // A new load tries again: the page of an earlier failure goes.
    if (m_couldNotBeReadPageView)
        m_couldNotBeReadPageView->deleteLater();
    m_loadFailed = false;
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

void QELDeviceDataCategoryContentView::loadDataFailed(const QString& detail)
{
    qCWarning(lcOrvane).noquote() << "A category could not be read:"
                                  << (detail.isEmpty() ? QStringLiteral("no detail") : detail);
    loadDataComplete();
    m_loadFailed = true;
    if (m_couldNotBeReadPageView)
        m_couldNotBeReadPageView->deleteLater();
    m_couldNotBeReadPageView = new QELDeviceDataCategoryCouldNotBeReadView(rect(), this);
    m_couldNotBeReadPageView->setIsOpaque(true);
    m_couldNotBeReadPageView->addToSuperview(this);
    m_couldNotBeReadPageView->hideAllOtherSubViews();
    m_couldNotBeReadPageView->resize();
}

void QELDeviceDataCategoryContentView::startWorkerLoad(std::function<void()> load)
{
    m_workerLoads.start([this, load = std::move(load)] {
        try {
            load();
        } catch (const std::exception& error) {
            const QString detail = QString::fromLocal8Bit(error.what());
            QMetaObject::invokeMethod(
                this, [this, detail] { loadDataFailed(detail); }, Qt::QueuedConnection);
        } catch (...) {
            QMetaObject::invokeMethod(
                this, [this] { loadDataFailed(QStringLiteral("unknown exception")); },
                Qt::QueuedConnection);
        }
    });
}

void QELDeviceDataCategoryContentView::joinWorkerLoads()
{
    m_loadCancelled = true;
    m_workerLoads.stopAndJoinAll();
}
