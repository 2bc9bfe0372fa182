// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPointer>

#include <memory>

#include "QELDeviceCategoryContentView.h"

class QELDeviceBackup;
class QELDeviceDataCategoryLoadingView;

// The base of the categories whose data come from a device backup (contacts,
// calendars, notes, messages, voicemail, call logs, internet): the backup
// object, and the loading page shown while the category loads. Main thread.
class QELDeviceDataCategoryContentView : public QELDeviceCategoryContentView {
    Q_OBJECT
public:
    explicit QELDeviceDataCategoryContentView(const QRect& frame = QRect(), QWidget* parent = nullptr);
    ~QELDeviceDataCategoryContentView() override;

    // Lays the loading page over the view and hides the view's siblings. A
    // subclass calls this first, then starts its own load on a worker.
    virtual void loadData();
    // The load has finished and its result is shown: removes the loading page.
    void loadDataComplete();

    // Shared with the content page, which keeps the one backup object.
    std::shared_ptr<QELDeviceBackup> deviceBackup() const { return m_deviceBackup; }
    void setDeviceBackup(const std::shared_ptr<QELDeviceBackup>& backup) { m_deviceBackup = backup; }
    // The loading page of the last loadData(); it stays referenced after it closed.
    QELDeviceDataCategoryLoadingView* loadingPageView() const { return m_loadingPageView; }
    // A folder of already extracted device files to read instead of the backup.
    QString viewDataPath() const { return m_viewDataPath; }
    void setViewDataPath(const QString& path) { m_viewDataPath = path; }

private:
    std::shared_ptr<QELDeviceBackup> m_deviceBackup;
    QPointer<QELDeviceDataCategoryLoadingView> m_loadingPageView;
    QString m_viewDataPath;
};
