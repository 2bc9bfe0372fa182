// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <memory>

#include <QDateTime>
#include <QList>

#include "QELCalendarDetail.h"
#include "QELCopyDelegate.h"
#include "QELDeviceDataCategoryContentView.h"

class LRCalendarView;
class QButtonGroup;
class QELCalendarListModel;
class QELCalendarsReader;
class QELCopyCalendars;
class QELPagedView;
class QELTransferCalendars;
class QListView;
class QPushButton;

// The calendars category: the device's calendars with their colour discs on
// the left, every event and its repeats in a month or week grid on the right,
// and two exports of the selected calendars (or all): iCalendar files into a
// chosen folder, and into the computer's calendars. The load reads the
// calendar database and builds the grid's entries on a worker; the main
// thread files them in one call. Main thread.
class QELCalendarsView : public QELDeviceDataCategoryContentView,
                         public QELCopyDelegate {
    Q_OBJECT
public:
    // Asks for the destination folder of an export; empty: the user cancelled.

    explicit QELCalendarsView(const QRect& frame = QRect(), QWidget* parent = nullptr);
    ~QELCalendarsView() override;

    Requests answeredRequests() const override { return Copy | CancelCopy | Search; }
    // Shows the loading page and reads the calendars on a worker.
    void loadData() override;
    // The control bar's copy: the iCalendar export.
    void RequestCopy() override { copyAsICalFileButtonClicked(); }
    void RequestCancelCopy() override;
    // The calendars view ignores the search field.
    void search(const QString& text) override;

    // Segment 0 shows the month, any other the week.
    void segmentViewSelectionControlClicked(int segment);
    void copyAsICalFileButtonClicked();
    void copySelectionToICalButtonClicked();

    // The colour of a calendar's code (grey for a malformed one).
    static QColor _getColorFromHTMLCode(const QString& code);

    // Replaces the folder panel (tests) and the moment the repeats are counted from.
    void setNow(std::function<QDateTime()> now);

    // QELCopyDelegate
    void OnItemCopyBeginEvent(const QELCopyItemBeginEventArgs& args) override;
    void OnItemCopyEndEvent(const QELCopyItemEndEventArgs& args) override;
    void OnAllItemsCopiedEventWithType(int copyType) override;
    void OnAllItemsCopiedEventWithOutcome(int copyType, quint32 notCopied,
                                          const QELCopyOutcome& outcome) override;
    // The end of a transfer: the message names the folder it wrote.
    void transferEnded(const QELCopyOutcome& outcome);

    const QList<QELCalendarDetailPtr>& calendars() const;
    QListView* calendarList() const { return m_calendarList; }
    LRCalendarView* calendarView() const { return m_calendarView; }
    QPushButton* exportButton() const { return m_exportButton; }
    QPushButton* addToCalendarButton() const { return m_addButton; }
    QButtonGroup* segmentViewSelection() const { return m_segments; }
    // The page shown when the device has no calendar; null until then.
    QELPagedView* noCalendarsfoundView() const { return m_noCalendarsFoundView; }
    QWidget* content() const { return m_content; }
    QELCopyCalendars* copyJob() const { return _copyCalendars.get(); }
    QELTransferCalendars* transferJob() const { return _transferCalendars.get(); }

private:
    struct LoadResult;
    void _workerLoadComplete(const std::shared_ptr<LoadResult>& result);
    QVariantList queuedCalendars() const;
    void showNoCalendarsFoundView();

    QWidget* m_content = nullptr;
    QListView* m_calendarList = nullptr;
    QELCalendarListModel* m_model = nullptr;
    LRCalendarView* m_calendarView = nullptr;
    QButtonGroup* m_segments = nullptr;
    QPushButton* m_exportButton = nullptr;
    QPushButton* m_addButton = nullptr;
    QELPagedView* m_noCalendarsFoundView = nullptr;
    std::shared_ptr<QELCalendarsReader> _calendarReader;
    std::unique_ptr<QELCopyCalendars> _copyCalendars;
    // Declared before the transfer job, which it outlives.
    std::unique_ptr<QELCopyDelegate> m_transferRelay;
    std::unique_ptr<QELTransferCalendars> _transferCalendars;
    std::function<QDateTime()> m_now;
    // Counts the loads; a load's result is dropped once a newer one started.
    quint64 m_loadGeneration = 0;
};
