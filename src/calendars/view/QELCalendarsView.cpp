// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELCalendarsView.h"

#include <algorithm>
#include <functional>
#include <typeinfo>

#include <QButtonGroup>
#include <QDir>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QSplitter>
#include <QStringList>
#include <QToolButton>
#include <QVBoxLayout>

#include "FolderBackupFileSource.h"
#include "LRCalendarView.h"
#include "LocalizedStrings.h"
#include "QELCalendarHTMLCodeToIconTransformer.h"
#include "QELCalendarListModel.h"
#include "QELCalendarsDbReader.h"
#include "QELCopyCalendars.h"
#include "QELCopyEndMessage.h"
#include "QELCopyItemBeginEventArgs.h"
#include "QELCopyOutcome.h"
#include "TransferEndRelay.h"
#include "QELDeviceBackup.h"
#include "QELDeviceCategoryContentViewDelegate.h"
#include "QELDeviceInterface.h"
#include "QELNothingFoundView.h"
#include "QELPagedView.h"
#include "QELTransferCalendars.h"
#include "RecurrenceExpansion.h"

namespace {

// The backup's data type of the calendar database.
constexpr int kCalendarDatabaseType = 1;

} // namespace

// What the load's worker hands to the main thread, in one piece.
struct QELCalendarsView::LoadResult {
    quint64 generation = 0;
    std::shared_ptr<QELCalendarsReader> reader;
    QList<QELCalendarDetailPtr> calendars;
    // Every occurrence of every event, filed by day on the worker.
    std::shared_ptr<CalendarDayMap> days = std::make_shared<CalendarDayMap>();
    // The database is there but could not be read (why, for the log).
    bool failed = false;
    QString error;
};

QELCalendarsView::QELCalendarsView(const QRect& frame, QWidget* parent)
    : QELDeviceDataCategoryContentView(frame, parent)
    , m_now([] { return QDateTime::currentDateTime(); })
{
    setObjectName(QStringLiteral("QELCalendarsView"));
    m_content = new QWidget;
    auto* splitter = new QSplitter(Qt::Horizontal, m_content);
    auto* outer = new QVBoxLayout(m_content);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(splitter);

    auto* left = new QWidget(splitter);
    auto* leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(6, 6, 6, 6);
    auto* segmentRow = new QHBoxLayout;
    segmentRow->setSpacing(0);
    m_segments = new QButtonGroup(this);
    m_segments->setExclusive(true);
    const char* const segmentKeys[] = {"MONTH", "WEEK"};
    const char* const segmentNames[] = {"monthSegmentButton", "weekSegmentButton"};
    for (int i = 0; i < 2; ++i) {
        auto* segment = new QToolButton(left);
        segment->setText(L(segmentKeys[i]));
        segment->setObjectName(QLatin1String(segmentNames[i]));
        segment->setCheckable(true);
        segment->setChecked(i == 0);
        segment->setToolButtonStyle(Qt::ToolButtonTextOnly);
        segment->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        m_segments->addButton(segment, i);
        segmentRow->addWidget(segment);
    }
    leftLayout->addLayout(segmentRow);
    m_calendarList = new QListView(left);
    m_calendarList->setObjectName(QStringLiteral("calendarList"));
    m_calendarList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_calendarList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_calendarList->setIconSize(QSize(QELCalendarHTMLCodeToIconTransformer::kIconSize,
                                      QELCalendarHTMLCodeToIconTransformer::kIconSize));
    m_model = new QELCalendarListModel(this);
    m_calendarList->setModel(m_model);
    leftLayout->addWidget(m_calendarList, 1);
    m_exportButton = new QPushButton(L("EXPORTASICALENDAR"), left);
    m_addButton = new QPushButton(L("ADDTOCALENDAR"), left);
    leftLayout->addWidget(m_exportButton);
    leftLayout->addWidget(m_addButton);

    m_calendarView = new LRCalendarView(splitter);
    m_calendarView->setObjectName(QStringLiteral("calendarView"));
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({200, 700});
    setView(m_content);

    connect(m_segments, &QButtonGroup::idClicked, this,
            &QELCalendarsView::segmentViewSelectionControlClicked);
    connect(m_exportButton, &QPushButton::clicked, this,
            &QELCalendarsView::copyAsICalFileButtonClicked);
    connect(m_addButton, &QPushButton::clicked, this,
            &QELCalendarsView::copySelectionToICalButtonClicked);
}

QELCalendarsView::~QELCalendarsView()
{
    // The load's worker hands its result to this view.
    joinWorkerLoads();
}

void QELCalendarsView::setNow(std::function<QDateTime()> now)
{
    m_now = std::move(now);
    m_calendarView->setNow(m_now);
}

QColor QELCalendarsView::_getColorFromHTMLCode(const QString& code)
{
    return QELCalendarHTMLCodeToIconTransformer::colorFromHTMLCode(code);
}

void QELCalendarsView::loadData()
{
    m_calendarList->setVisible(false);
    QELDeviceDataCategoryContentView::loadData();
    const std::shared_ptr<QELDeviceBackup> backup = deviceBackup();
    const QString folder = viewDataPath();
    const bool iOSDevice =
        deviceInterface() && deviceInterface()->connectedDeviceOperatingSystem() == 1;
    const QDateTime now = m_now();
    const quint64 generation = ++m_loadGeneration;
    startWorkerLoad([this, backup, folder, iOSDevice, now, generation] {
        auto result = std::make_shared<LoadResult>();
        result->generation = generation;
        QString path;
        if (iOSDevice) {
            if (!folder.isEmpty()) {
                FolderBackupFileSource source(folder);
                path = source.GetPathToDataOfType(kCalendarDatabaseType);
            } else if (backup) {
                path = backup->GetPathToDataOfType(kCalendarDatabaseType);
            }
        }
        if (!path.isEmpty()) {
            std::unique_ptr<QELCalendarsDbReader> reader =
                QELCalendarsDbReader::initWithCalendarsDbPath(path);
            if (!reader) {
                result->failed = true;
                result->error = QStringLiteral("no calendar store could be made");
            } else if (reader->loadCalendars()) {
                result->calendars = reader->getCalendars();
                if (result->calendars.isEmpty() && !reader->lastError().isEmpty()) {
                    result->failed = true;
                    result->error = reader->lastError();
                }
            }
            // Each calendar's own events: two calendars of one title would
            // otherwise show each other's events twice.
            for (const QELCalendarDetailPtr& calendar : std::as_const(result->calendars)) {
                if (isLoadCancelled())
                    break;
                const QColor colour = _getColorFromHTMLCode(calendar->colorHTMLCode);
                for (const QELCalendarComponentPtr& event : calendar->relationshipComponents)
                    result->days->addEntries(
                        RecurrenceExpansion::entriesForEvent(event, colour, now));
            }
            result->reader = std::move(reader);
        }
        QMetaObject::invokeMethod(
            this, [this, result] { _workerLoadComplete(result); }, Qt::QueuedConnection);
    });
}

void QELCalendarsView::_workerLoadComplete(const std::shared_ptr<LoadResult>& result)
{
    if (result->generation != m_loadGeneration)
        return;
    _calendarReader = result->reader;
    m_model->setCalendars(result->calendars);
    if (result->failed) {
        loadDataFailed(QStringLiteral("calendar database: ") + result->error);
        return;
    }
    loadDataComplete();
    m_calendarList->setVisible(true);
    if (result->calendars.isEmpty()) {
        showNoCalendarsFoundView();
        return;
    }
    if (m_noCalendarsFoundView)
        m_noCalendarsFoundView->close();
    m_content->show();
    // A new load shows what it read, not what an earlier one had added.
    m_calendarView->setDayMap(std::move(*result->days));
    m_calendarView->drawCalendar();
}

void QELCalendarsView::showNoCalendarsFoundView()
{
    if (!m_noCalendarsFoundView)
        m_noCalendarsFoundView = new QELNothingFoundView(
            L("NOCALENDARSFOUND"), QStringLiteral("noCalendarsFoundLabel"), rect(), this);
    m_noCalendarsFoundView->setIsOpaque(true);
    m_noCalendarsFoundView->addToSuperview(this);
    m_noCalendarsFoundView->hideAllOtherSubViews();
    m_noCalendarsFoundView->resize();
}

const QList<QELCalendarDetailPtr>& QELCalendarsView::calendars() const
{
    return m_model->calendars();
}

void QELCalendarsView::search(const QString& text) { (void)text; }

void QELCalendarsView::segmentViewSelectionControlClicked(int segment)
{
    if (QAbstractButton* button = m_segments->button(segment))
        button->setChecked(true);
    if (segment == 0)
        m_calendarView->setMonthlyView();
    else
        m_calendarView->setWeeklyView();
}

QVariantList QELCalendarsView::queuedCalendars() const
{
    QModelIndexList rows = m_calendarList->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    QVariantList items;
    for (const QModelIndex& row : std::as_const(rows))
        items.append(QVariant::fromValue(calendars().at(row.row())));
    if (items.isEmpty())
        for (const QELCalendarDetailPtr& calendar : calendars())
            items.append(QVariant::fromValue(calendar));
    return items;
}

void QELCalendarsView::copyAsICalFileButtonClicked()
{
    if (!_copyCalendars) {
        _copyCalendars = std::make_unique<QELCopyCalendars>();
        _copyCalendars->setDelegate(this);
        _copyCalendars->setDeviceInteface(deviceInterface());
    }
    const QString folder = chooseCopyFolder();
    if (folder.isEmpty())
        return;
    _copyCalendars->setBaseCopyPath(folder);
    // Cancelled first, so that a run still going takes nothing of the new queue.
    _copyCalendars->cancelCopy();
    _copyCalendars->setItemQueue(queuedCalendars());
    _copyCalendars->startCopy();
}

void QELCalendarsView::copySelectionToICalButtonClicked()
{
    if (!_transferCalendars) {
        _transferCalendars = std::make_unique<QELTransferCalendars>();
        m_transferRelay = std::make_unique<TransferEndRelay>(
            this, [this](const QELCopyOutcome& outcome) { transferEnded(outcome); });
        _transferCalendars->setDelegate(m_transferRelay.get());
        _transferCalendars->setDeviceInteface(deviceInterface());
    }
    _transferCalendars->cancelCopy();
    forgetCopyFolder();
    _transferCalendars->setItemQueue(queuedCalendars());
    _transferCalendars->startCopy();
}

void QELCalendarsView::RequestCancelCopy()
{
    if (_copyCalendars)
        _copyCalendars->cancelCopy();
    if (_transferCalendars)
        _transferCalendars->cancelCopy();
}

void QELCalendarsView::OnItemCopyBeginEvent(const QELCopyItemBeginEventArgs& args)
{
    QString title;
    if (args.senderClass() == typeid(QELCopyCalendars))
        title = L("EXPORTINGCALENDARS");
    else if (args.senderClass() == typeid(QELTransferCalendars))
        title = L("COPYINGTOICAL");
    else
        return;
    reportCopyItemBegin(title, args);
}

void QELCalendarsView::OnItemCopyEndEvent(const QELCopyItemEndEventArgs& args) { (void)args; }

void QELCalendarsView::OnAllItemsCopiedEventWithType(int copyType)
{
    OnAllItemsCopiedEventWithOutcome(copyType, 0, QELCopyOutcome());
}

void QELCalendarsView::OnAllItemsCopiedEventWithOutcome(int, quint32, const QELCopyOutcome& outcome)
{
    reportCopyEnd(outcome, L("ALLCALENDARSCOPYIED"), lastCopyFolder());
}

void QELCalendarsView::transferEnded(const QELCopyOutcome& outcome)
{
    QStringList bottom;
    if (const QString folder = _transferCalendars ? _transferCalendars->destination() : QString();
        !folder.isEmpty())
        bottom << L("CALENDARSTRANSFERREDTO").arg(QDir::toNativeSeparators(folder));
    if (const QString detail = QELCopyEndMessage::detail(outcome); !detail.isEmpty())
        bottom << detail;
    if (delegate())
        delegate()->OnInformationStatusEventBottomLine(QELCopyEndMessage::title(outcome, L("ALLCALENDARSCOPYIED")),
                                                       bottom.join(QLatin1Char('\n')));
}
