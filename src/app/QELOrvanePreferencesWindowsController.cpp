#include "QELOrvanePreferencesWindowsController.h"

#include <algorithm>
#include <stdexcept>

#include <QAction>
#include <QActionGroup>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QScreen>
#include <QToolBar>

#include "CopyToMacPreferences.h"
#include "GeneralPreferences.h"
#include "LocalizedStrings.h"
#include "Log.h"
#include "QELOrvanePreferencesDelegate.h"
#include "UpdatePreferences.h"
#include "ui_QELOrvanePreferencesWindow.h"

namespace {

QWidget* flexibleSpace(QWidget* parent)
{
    auto* space = new QWidget(parent);
    space->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    return space;
}

} // namespace

QELOrvanePreferencesWindowsController::QELOrvanePreferencesWindowsController(QWidget* parent)
    : QMainWindow(parent)
    , m_ui(new Ui::QELOrvanePreferencesWindow)
{
    m_ui->setupUi(this);
    setWindowTitle(L("PREFERENCESTITLE"));
    Q_INIT_RESOURCE(preferences);

    auto* group = new QActionGroup(this);
    group->setExclusive(true);
    m_ui->toolbar->addWidget(flexibleSpace(m_ui->toolbar));
    // The desktop's own "general preferences" picture where it has one.
    const QIcon general = QIcon::fromTheme(QStringLiteral("preferences-system"),
                                           QIcon(QStringLiteral(":/images/general.svg")));
    for (QAction* item : {addToolbarItem(kCopyToMacToolbarButton, "COPYTOMAC",
                                         QIcon(QStringLiteral(":/images/copy.svg"))),
                          addToolbarItem(kGeneralToolbarButton, "GENERAL", general),
                          addToolbarItem(kUpdateToolbarButton, "UPDATES",
                                         QIcon(QStringLiteral(":/images/download_48.svg")))})
        group->addAction(item);
    m_ui->toolbar->addWidget(flexibleSpace(m_ui->toolbar));
    m_ui->toolbar->setContextMenuPolicy(Qt::PreventContextMenu);
    toolbarItem(QLatin1String(kCopyToMacToolbarButton))->setChecked(true);

    connect(toolbarItem(QLatin1String(kCopyToMacToolbarButton)), &QAction::triggered, this,
            &QELOrvanePreferencesWindowsController::ToolbarCopyToMacClicked);
    connect(toolbarItem(QLatin1String(kGeneralToolbarButton)), &QAction::triggered, this,
            &QELOrvanePreferencesWindowsController::ToolbarGeneralClicked);
    connect(toolbarItem(QLatin1String(kUpdateToolbarButton)), &QAction::triggered, this,
            &QELOrvanePreferencesWindowsController::ToolbarUpdatesClicked);
    connect(m_ui->buttonOK, &QPushButton::clicked, this,
            &QELOrvanePreferencesWindowsController::ButtonOKClicked);

    ToolbarCopyToMacClicked();
}

QELOrvanePreferencesWindowsController::~QELOrvanePreferencesWindowsController() { delete m_ui; }

QAction* QELOrvanePreferencesWindowsController::addToolbarItem(const char* identifier,
                                                               const char* labelKey,
                                                               const QIcon& icon)
{
    auto* item = new QAction(icon, L(labelKey), this);
    item->setObjectName(QLatin1String(identifier));
    item->setToolTip(L(labelKey));
    item->setCheckable(true);
    m_ui->toolbar->addAction(item);
    return item;
}

QWidget* QELOrvanePreferencesWindowsController::pagedViewContainer() const
{
    return m_ui->pagedViewContainer;
}

QToolBar* QELOrvanePreferencesWindowsController::toolbar() const { return m_ui->toolbar; }

QAction* QELOrvanePreferencesWindowsController::toolbarItem(const QString& identifier) const
{
    return findChild<QAction*>(identifier, Qt::FindDirectChildrenOnly);
}

QELPreferencesView* QELOrvanePreferencesWindowsController::currentPane() const
{
    const QList<QWidget*> panes = QELPagedView::subviewsOf(m_ui->pagedViewContainer);
    for (auto it = panes.rbegin(); it != panes.rend(); ++it) {
        if (auto* pane = qobject_cast<QELPreferencesView*>(*it))
            return pane;
    }
    return nullptr;
}

void QELOrvanePreferencesWindowsController::ToolbarCopyToMacClicked()
{
    _savePreferencesForCurrentView();
    showPane(new CopyToMacPreferences(m_ui->pagedViewContainer->rect()), kCopyToMacToolbarButton);
}

void QELOrvanePreferencesWindowsController::ToolbarGeneralClicked()
{
    _savePreferencesForCurrentView();
    showPane(new GeneralPreferences(m_ui->pagedViewContainer->rect()), kGeneralToolbarButton);
}

void QELOrvanePreferencesWindowsController::ToolbarUpdatesClicked()
{
    _savePreferencesForCurrentView();
    showPane(new UpdatePreferences(m_ui->pagedViewContainer->rect()), kUpdateToolbarButton);
}

void QELOrvanePreferencesWindowsController::showPane(QELPreferencesView* pane,
                                                     const char* identifier)
{
    const QList<QWidget*> oldPanes = QELPagedView::subviewsOf(m_ui->pagedViewContainer);
    pane->addToSuperview(m_ui->pagedViewContainer);
    pane->removeAllOtherSubViews();
    // A replaced pane has saved its values and is not shown again.
    for (QWidget* old : oldPanes) {
        if (old != pane)
            old->deleteLater();
    }
    if (QAction* item = toolbarItem(QLatin1String(identifier)))
        item->setChecked(true);
    // A taller pane may grow the window, never past the screen it is on.
    if (const QScreen* shown = screen()) {
        const QRect available = shown->availableGeometry();
        const int frame = frameGeometry().height() - height();
        if (frameGeometry().height() > available.height())
            resize(width(), std::max(minimumHeight(), available.height() - frame));
        if (frameGeometry().bottom() > available.bottom())
            move(x(), std::max(available.top(), available.bottom() - frameGeometry().height()));
    }
}

void QELOrvanePreferencesWindowsController::_savePreferencesForCurrentView()
{
    const QList<QWidget*> panes = QELPagedView::subviewsOf(m_ui->pagedViewContainer);
    for (QWidget* widget : panes) {
        auto* pane = qobject_cast<QELPreferencesView*>(widget);
        if (!pane)
            continue;
        try {
            pane->SavePreferencesInView();
        } catch (const std::logic_error& error) {
            qCWarning(lcOrvane) << error.what();
        }
    }
}

void QELOrvanePreferencesWindowsController::ButtonOKClicked()
{
    // Closing through OK also closes the window, which would save again.
    if (m_finished)
        return;
    m_finished = true;
    _savePreferencesForCurrentView();
    if (m_delegate)
        m_delegate->OnPreferencesWindowClose();
    else
        close();
}

void QELOrvanePreferencesWindowsController::closeEvent(QCloseEvent* event)
{
    ButtonOKClicked();
    event->accept();
}

void QELOrvanePreferencesWindowsController::keyPressEvent(QKeyEvent* event)
{
    // Esc closes the window as OK does, as a dialog's would: what was set is kept.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

void QELOrvanePreferencesWindowsController::showEvent(QShowEvent* event)
{
    m_finished = false;
    QMainWindow::showEvent(event);
}
