// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELCollectionAppsView.h"

#include "QELAppDetailSummary.h"
#include "QELAppsCollectionViewItem.h"
#include "QELDeviceInterface.h"

QELCollectionAppsView::QELCollectionAppsView(QWidget* parent)
    : QListView(parent)
{
    setObjectName(QStringLiteral("appCollectionView"));
    setViewMode(QListView::IconMode);
    setMovement(QListView::Static);
    setResizeMode(QListView::Adjust);
    setUniformItemSizes(true);
    setSpacing(6);
    setWrapping(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setItemDelegate(new QELAppsCollectionViewItem(this));
}

QELCollectionAppsView::~QELCollectionAppsView()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    m_workers.stopAndJoinAll();
}

void QELCollectionAppsView::setItems(const std::vector<std::shared_ptr<QELAppDetailSummary>>& apps)
{
    {
        // One step, so the thread sees the whole list and serves it newest first.
        std::lock_guard lock(m_mutex);
        ++m_items;
        m_appIconWaitingDetails.clear();
        for (const auto& app : apps)
            queueLocked(app);
    }
    m_changed.notify_all();
}

void QELCollectionAppsView::newItemForRepresentedObject(
    const std::shared_ptr<QELAppDetailSummary>& app)
{
    {
        std::lock_guard lock(m_mutex);
        queueLocked(app);
    }
    m_changed.notify_all();
}

void QELCollectionAppsView::queueLocked(const std::shared_ptr<QELAppDetailSummary>& app)
{
    if (!app)
        return;
    startThreadLocked();
    m_appIconWaitingDetails.push_back({app, m_items});
    app->setBundleIcon(QELAppsCollectionViewItem::placeholderIcon());
}

void QELCollectionAppsView::startThreadLocked()
{
    if (m_isRunning || m_stop)
        return;
    m_isRunning = true;
    m_workers.start([this] { _loadAppIconsWorkerThread(); });
}

size_t QELCollectionAppsView::pendingIconRequests() const
{
    std::lock_guard lock(m_mutex);
    return m_appIconWaitingDetails.size();
}

void QELCollectionAppsView::_loadAppIconsWorkerThread()
{
    // The apps connection is held while requests wait, so other users never
    // see the session restarted for an icon.
    QELDeviceInterface* held = nullptr;
    const auto release = [&held] {
        if (held)
            held->StopAppsService();
        held = nullptr;
    };
    for (;;) {
        QELAppSummaryForCollectionViewItem entry;
        quint64 items = 0;
        {
            std::unique_lock lock(m_mutex);
            if (m_appIconWaitingDetails.empty() && held) {
                lock.unlock();
                release();
                lock.lock();
            }
            m_changed.wait(lock, [this] { return m_stop || !m_appIconWaitingDetails.empty(); });
            if (m_stop)
                break;
            entry = m_appIconWaitingDetails.back();
            m_appIconWaitingDetails.pop_back();
            items = m_items;
        }
        const std::shared_ptr<QELAppDetailSummary> app = entry.appDetailSummary.lock();
        QELDeviceInterface* device = m_deviceInterface.load();
        if (!app || entry.collectionViewItem != items || app->bundleID().isEmpty() || !device)
            continue;
        const QString bundleId = app->bundleID();
        if (held != device) {
            release();
            device->StartAppsService();
            held = device;
        }
        const QImage icon = device->GetApplicationIconForBundleId(bundleId);
        if (icon.isNull())
            continue;
        std::weak_ptr<QELAppDetailSummary> weak = app;
        QMetaObject::invokeMethod(
            this,
            [this, weak, icon] {
                if (const auto summary = weak.lock()) {
                    summary->setBundleIcon(icon);
                    emit iconChanged(summary.get());
                }
            },
            Qt::QueuedConnection);
    }
    release();
}
