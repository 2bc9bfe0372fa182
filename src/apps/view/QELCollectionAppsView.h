// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

#include <QListView>

#include "QELAppSummaryForCollectionViewItem.h"
#include "WorkerThreads.h"

class QELAppDetailSummary;
class QELDeviceInterface;

// The icon grid of the apps view. Each item shows the grey placeholder at
// once; one thread of the grid's own fetches the real icons, one request at a
// time and the newest first, and hands each to the main thread. The thread
// holds the apps connection only while requests wait, sleeps on a condition
// while none do, and stops with the grid.
class QELCollectionAppsView : public QListView {
    Q_OBJECT
public:
    explicit QELCollectionAppsView(QWidget* parent = nullptr);
    ~QELCollectionAppsView() override;

    // Not owned; the icons are asked of it. Any thread.
    QELDeviceInterface* deviceInterface() const { return m_deviceInterface.load(); }
    void setDeviceInterface(QELDeviceInterface* deviceInterface)
    {
        m_deviceInterface.store(deviceInterface);
    }

    // Makes the items of a new list: every app gets the placeholder and an
    // icon request, also one that had its icon; requests of earlier items are
    // dropped. Main thread.
    void setItems(const std::vector<std::shared_ptr<QELAppDetailSummary>>& apps);
    // Makes one item for the app (placeholder, request). Main thread.
    void newItemForRepresentedObject(const std::shared_ptr<QELAppDetailSummary>& app);

    // The requests not yet served. Any thread.
    size_t pendingIconRequests() const;

signals:
    // An app's icon arrived and is set on its record.
    void iconChanged(const QELAppDetailSummary* app);

private:
    void queueLocked(const std::shared_ptr<QELAppDetailSummary>& app);
    void startThreadLocked();
    void _loadAppIconsWorkerThread();

    std::atomic<QELDeviceInterface*> m_deviceInterface{nullptr};
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<QELAppSummaryForCollectionViewItem> m_appIconWaitingDetails;
    quint64 m_items = 0;
    bool m_isRunning = false;
    bool m_stop = false;
    // Last: the destructor joins the thread before the members it uses go.
    WorkerThreads m_workers{QStringLiteral("The app icon loader")};
};
