// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <functional>
#include <memory>

#include <QPointer>

#include "QELDeviceCategoryContentView.h"
#include "QELDeviceDataCategoryCouldNotBeReadView.h"
// Complete, as loadingPageView() below converts a QPointer of it.
#include "QELDeviceDataCategoryLoadingView.h"
#include "WorkerThreads.h"

class QELDeviceBackup;

// The base of the categories whose data come from a device backup (contacts,
// calendars, notes, messages, voicemail, call logs, internet): the backup
// object, and the loading page shown while the category loads. Main thread.
class QELDeviceDataCategoryContentView : public QELDeviceCategoryContentView {
    Q_OBJECT
public:
    explicit QELDeviceDataCategoryContentView(const QRect& frame = QRect(),
                                              QWidget* parent = nullptr);
    ~QELDeviceDataCategoryContentView() override;

    // Lays the loading page over the view and hides the view's siblings. A
    // subclass calls this first, then starts its own load with startWorkerLoad().
    virtual void loadData();
    // The load has finished and its result is shown: removes the loading page.
    void loadDataComplete();
    // The load could not read the category's data (a lookup or a reader
    // failed): removes the loading page and shows the "could not be read" page
    // in its place, never an empty list. `detail` (English) goes to the log.
    // Main thread; the next loadData() removes the page again.
    void loadDataFailed(const QString& detail = QString());
    // Whether the last load ended in loadDataFailed().
    bool loadFailed() const { return m_loadFailed; }
    QELDeviceDataCategoryCouldNotBeReadView* couldNotBeReadPageView() const
    {
        return m_couldNotBeReadPageView;
    }

    // Shared with the content page, which keeps the one backup object.
    std::shared_ptr<QELDeviceBackup> deviceBackup() const { return m_deviceBackup; }
    void setDeviceBackup(const std::shared_ptr<QELDeviceBackup>& backup)
    {
        m_deviceBackup = backup;
    }
    // The loading page of the last loadData(); it stays referenced after it closed.
    QELDeviceDataCategoryLoadingView* loadingPageView() const { return m_loadingPageView; }
    // A folder of already extracted device files to read instead of the backup.
    QString viewDataPath() const { return m_viewDataPath; }
    void setViewDataPath(const QString& path) { m_viewDataPath = path; }

protected:
    // Runs a subclass's _workerLoad on a worker thread owned by this view. The
    // worker hands its result back with a queued call to the main thread
    // (never a blocking one) and ends with loadDataComplete() or
    // loadDataFailed() there. What it throws is logged and ends the load as failed.
    void startWorkerLoad(std::function<void()> load);
    // Set when the view goes: a long load may stop early.
    bool isLoadCancelled() const { return m_loadCancelled.load(); }
    // Waits for the running loads. The destructor of a subclass whose load
    // uses its members calls this first, before those members go.
    void joinWorkerLoads();

private:
    std::shared_ptr<QELDeviceBackup> m_deviceBackup;
    QPointer<QELDeviceDataCategoryLoadingView> m_loadingPageView;
    QString m_viewDataPath;
    QPointer<QELDeviceDataCategoryCouldNotBeReadView> m_couldNotBeReadPageView;
    bool m_loadFailed = false;
    std::atomic<bool> m_loadCancelled{false};
    // Last: joined before the members above go.
    WorkerThreads m_workerLoads{QStringLiteral("A category load")};
};
