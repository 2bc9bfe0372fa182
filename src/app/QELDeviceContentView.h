// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QList>
#include <QPointer>

#include <memory>

#include "QELDeviceCategoryContentViewDelegate.h"
#include "QELDeviceInformation.h"
#include "QELFunctionDetail.h"
#include "QELPagedView.h"

class CategoryListModel;
class QELDeviceBackup;
class QELDeviceCategoryContentView;
class QELDeviceContentViewDelegate;
class QELDeviceImageLibraryReader;
class QELDeviceInterface;
class QELDeviceMediaLibrary;
class QELITunesLibrary;
class QListView;
class QModelIndex;

// The main window's page once a device has been read: the category sidebar
// on the left, the selected category's view on the right. It decides which
// categories the device offers, makes each category's view on first
// selection and keeps it until the device goes, tells the application
// delegate what the shown category offers, and passes the views' events on.
// Made once per run and reused for every device. Main thread only.
class QELDeviceContentView : public QELPagedView, public QELDeviceCategoryContentViewDelegate {
    Q_OBJECT
public:
    // Builds the category list for the device and selects its first entry.
    QELDeviceContentView(const QRect& frame, const QELDeviceInformation& deviceInformation,
                         QELDeviceInterface* deviceInterface, QWidget* parent = nullptr);
    ~QELDeviceContentView() override;

    // Rebuilds the category list for a device type (with the device
    // interface's iOS version) and selects its first entry.
    void DisplayCategoriesForDevice(qint64 deviceType);
    QList<QELFunctionDetail> functionList() const;
    void setFunctionList(const QList<QELFunctionDetail>& list);

    // The view types offered, in sidebar order: music first, then each
    // category whose flag the device type has (apps only below iOS 9, books
    // only when `booksOffered`). A type outside the table counts as type 0.
    static QList<int> categoriesForDevice(qint64 deviceType, int iOSMajorVersion, bool booksOffered);
    // The host-system rule for books: offered when the number after the first
    // "." of the system version text is below 9. A system without such a
    // version (this one) offers them.
    static bool booksOfferedForSystemVersion(const QString& versionText);
    // The device's major iOS version for the category list: 6 without a version.
    static int iOSMajorVersionOf(const QString& iOSVersion);

    // Keeps the media library and shows the music view: the cached one (with
    // its libraries), or a new one given these libraries. Any may be null.
    void setDeviceMediaLibraryWithITunesLibraryWithArtwork(std::shared_ptr<QELDeviceMediaLibrary> mediaLibrary,
                                                           std::shared_ptr<QELITunesLibrary> iTunesLibrary,
                                                           std::shared_ptr<QELDeviceImageLibraryReader> artwork);
    std::shared_ptr<QELDeviceMediaLibrary> deviceMediaLibrary() const { return m_deviceMediaLibrary; }

    // The page shown in the content area, whatever it is; null when empty.
    QWidget* currentPage() const;
    // The shown page when it is a category view; null otherwise. The control
    // bar sends its requests only to this, and only those it answers.
    QELDeviceCategoryContentView* GetCurrentCategoryContentView() const;
    // The device went: every page leaves the content area and the cache is
    // emptied. The backup object stays.
    void ResetAllContentViews();
    // The preferences changed: the music view refreshes its lists.
    void RefreshIPodContentView();

    // Sends the availability notices of the selected category again (the
    // delegate was set after the selection).
    void resendAvailability();
    // Selects a category as a click in the sidebar does; false when the
    // sidebar does not list it.
    bool selectCategory(int viewType);
    // The view type of the selected entry; 0 when none.
    int selectedViewType() const;
    // The cached view of a type; null when none was made.
    QELDeviceCategoryContentView* cachedView(int viewType) const;
    int cachedViewCount() const { return int(m_categoryViewsDictionary.size()); }

    // Not owned: the application delegate, for both kinds of notice.
    void setDelegate(QELDeviceContentViewDelegate* contentDelegate, QELDeviceCategoryContentViewDelegate* viewDelegate);
    QELDeviceInterface* deviceInterface() const { return m_deviceInterface; }
    void setDeviceInterface(QELDeviceInterface* deviceInterface) { m_deviceInterface = deviceInterface; }

    QListView* functionCollectionView() const { return m_sidebar; }
    QWidget* functionContentView() const { return m_content; }

    // Category view events, passed on to the application delegate when set.
    void OnProgressEventCurrentValueMaximumValue(const QString& text, double current, double maximum) override;
    void OnInformationStatusEventBottomLine(const QString& topLine, const QString& bottomLine) override;
    void OnMediaViewChanged() override;
    void OnMediaSelectionPlayRequested() override;
    void OnCopyProgressEventWithTitleDescriptionCurrentValueAndMaximumValue(const QString& title,
                                                                           const QString& description, int current,
                                                                           int maximum) override;
    void OnClear() override;
    void OnAllItemsCopiedEventWithType(int copyType) override;

private:
    void handleSelectionChanged(const QModelIndex& current);
    void selectionSwitch(int viewType);
    void sendAvailability(int viewType, const QELDeviceCategoryContentView* shown);
    void showPage(QELPagedView* page);
    void cacheView(int viewType, QELDeviceCategoryContentView* view);

    QWidget* m_content = nullptr;
    QListView* m_sidebar = nullptr;
    CategoryListModel* m_functionList = nullptr;
    std::shared_ptr<QELDeviceMediaLibrary> m_deviceMediaLibrary;
    QHash<int, QPointer<QELDeviceCategoryContentView>> m_categoryViewsDictionary;
    QELDeviceContentViewDelegate* m_contentDelegate = nullptr;
    QELDeviceCategoryContentViewDelegate* m_viewDelegate = nullptr;
    QELDeviceInterface* m_deviceInterface = nullptr;
    std::shared_ptr<QELDeviceBackup> m_deviceBackup;
};
