// SPDX-License-Identifier: GPL-3.0-or-later
// The application delegate's control bar, HUD reports, preview player events,
// search, sheets and menu commands.
#include <algorithm>
#include <limits>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDialog>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QSettings>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include "AppImages.h"
#include "Clock.h"
#include "LocalizedStrings.h"
#include "Log.h"
#include "Orvane11AppDelegate.h"
#include "ProductInfo.h"
#include "QELCopyEndMessage.h"
#include "QELCopyOutcome.h"
#include "QELDeviceCategoryContentView.h"
#include "QELDeviceContentView.h"
#include "QELHUDView.h"
#include "QELImageButton.h"
#include "QELMediaPlayer.h"
#include "QELOrvanePreferencesWindowsController.h"
#include "QELPreferences.h"
#include "WindowPlacement.h"

namespace {

constexpr int kSearchDelayMs = 500;

QToolButton* makeBarButton(const QString& objectName, const QString& text, const QString& image,
                           QWidget* parent)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(objectName);
    button->setText(text);
    button->setIcon(AppImages::icon(image));
    button->setIconSize(QSize(28, 28));
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setAutoRaise(true);
    button->setMinimumWidth(84);
    return button;
}

QLabel* makeSheetTitle(const QString& text, QWidget* parent)
{
    auto* title = new QLabel(text, parent);
    QFont font = title->font();
    font.setWeight(QFont::DemiBold);
    font.setPointSizeF(font.pointSizeF() * 1.15);
    title->setFont(font);
    title->setWordWrap(true);
    return title;
}

QLabel* makeSheetText(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    return label;
}

QLabel* makeSheetIcon(const QString& image, QWidget* parent)
{
    auto* icon = new QLabel(parent);
    icon->setFixedSize(64, 64);
    icon->setPixmap(AppImages::pixmap(image, QSize(64, 64), parent));
    icon->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
    return icon;
}

// A dialog shaped like a sheet: no title of its own, window-modal on the window.
QDialog* makeSheet(const QString& objectName, QWidget* window)
{
    auto* sheet = new QDialog(window, Qt::Sheet);
    sheet->setObjectName(objectName);
    sheet->setWindowModality(Qt::WindowModal);
    sheet->setMinimumWidth(440);
    return sheet;
}

// The sheet's body: an icon on the left and `content` on its right, over a row of buttons.
QVBoxLayout* sheetLayout(QDialog* sheet, QLabel* icon, QVBoxLayout* content, QHBoxLayout* buttons)
{
    auto* outer = new QVBoxLayout(sheet);
    outer->setContentsMargins(20, 20, 20, 16);
    outer->setSpacing(14);
    auto* row = new QHBoxLayout;
    row->setSpacing(16);
    row->addWidget(icon, 0, Qt::AlignTop);
    row->addLayout(content, 1);
    outer->addLayout(row);
    outer->addLayout(buttons);
    return outer;
}

QPushButton* makeSheetButton(const QString& objectName, const QString& text, QWidget* parent)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(objectName);
    button->setAutoDefault(false);
    button->setMinimumWidth(96);
    return button;
}

// The sheet's title over its explanation.
QVBoxLayout* sheetContent(const char* titleKey, const char* textKey, QWidget* sheet)
{
    auto* content = new QVBoxLayout;
    content->addWidget(makeSheetTitle(L(titleKey), sheet));
    content->addWidget(makeSheetText(L(textKey), sheet));
    return content;
}

// The buttons at the right, the last one the default.
QHBoxLayout* sheetButtons(const QList<QPushButton*>& buttons)
{
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    for (QPushButton* button : buttons)
        row->addWidget(button);
    if (!buttons.isEmpty())
        buttons.last()->setDefault(true);
    return row;
}

QList<QELMediaPlayerItem> playerItems(const QList<TrackDetailPtr>& tracks)
{
    QList<QELMediaPlayerItem> items;
    for (const TrackDetailPtr& track : tracks) {
        if (track)
            items.append(QELMediaPlayerItem{track->path, track->trackName, track->artist,
                                            track->persistentID});
    }
    return items;
}

} // namespace

// --- Building ---

QWidget* Orvane11AppDelegate::buildControlBar(QWidget* parent)
{
    auto* controlBar = new QWidget(parent);
    controlBar->setObjectName(QStringLiteral("controlBar"));
    controlBar->setFixedHeight(76);
    controlBar->setAttribute(Qt::WA_StyledBackground);
    controlBar->setStyleSheet(
        QStringLiteral("#controlBar { background: qlineargradient(x1:0, y1:0, x2:0, y2:1,"
                       " stop:0 #e9ecf1, stop:1 #cfd5de); border-bottom: 1px solid #a9b1bd; }"
                       " #controlBar QToolButton { color: #2f3640; }"
                       " #controlBar QToolButton:disabled { color: #98a0ab; }"));
    auto* bar = new QHBoxLayout(controlBar);
    bar->setContentsMargins(12, 6, 12, 6);
    bar->setSpacing(6);

    m_playButton = new QELImageButton(controlBar);
    m_playButton->setObjectName(QStringLiteral("playButton"));
    m_playButton->setFixedSize(44, 44);
    m_playButton->setToolTip(L("PLAYPAUSE"));
    m_nextButton = new QELImageButton(controlBar);
    m_nextButton->setObjectName(QStringLiteral("nextButton"));
    m_nextButton->setFixedSize(34, 34);
    m_nextButton->setImage(QStringLiteral("next.png"));
    m_nextButton->setAlternateImage(QStringLiteral("next_over.png"));
    m_nextButton->setToolTip(L("NEXTTRACK"));
    bar->addWidget(m_playButton);
    bar->addWidget(m_nextButton);
    bar->addStretch(1);

    m_hudView = new QELHUDView(QRect(0, 0, 460, 64), controlBar);
    // A message that wraps makes the panel, and so the bar, taller while it shows.
    connect(m_hudView, &QELHUDView::wantedHeightChanged, controlBar, [controlBar](int height) {
        controlBar->setFixedHeight(76 + std::max(0, height - 64));
    });
    // The panel takes most of the free width; the stretches centre it once
    // it has reached its widest.
    bar->addWidget(m_hudView, 6);
    bar->addStretch(1);

    m_copyToITunesButton = makeBarButton(QStringLiteral("copyToITunesButton"), L("COPYTOITUNES"),
                                         QStringLiteral("itunes"), controlBar);
    m_copyToMacButton = makeBarButton(QStringLiteral("copyToMacButton"), L("COPYTOMAC"),
                                      QStringLiteral("copy"), controlBar);
    m_backUpButton = makeBarButton(QStringLiteral("backUpButton"), L("BACKUP"),
                                   QStringLiteral("backup"), controlBar);
    for (QToolButton* button :
         {m_copyToITunesButton.data(), m_copyToMacButton.data(), m_backUpButton.data()})
        bar->addWidget(button);
    bar->addSpacing(8);

    m_searchTextField = new QLineEdit(controlBar);
    m_searchTextField->setObjectName(QStringLiteral("searchTextField"));
    m_searchTextField->setFixedWidth(190);
    m_searchTextField->setClearButtonEnabled(true);
    m_searchTextField->setPlaceholderText(L("SEARCH"));
    // A category without search hides the field; its place stays, so the
    // status panel and the buttons do not move between categories.
    QSizePolicy keepPlace = m_searchTextField->sizePolicy();
    keepPlace.setRetainSizeWhenHidden(true);
    m_searchTextField->setSizePolicy(keepPlace);
    bar->addWidget(m_searchTextField, 0, Qt::AlignVCenter);

    m_searchTimer = new QTimer(this);
    m_searchTimer->setSingleShot(true);
    connect(m_searchTimer, &QTimer::timeout, this, [this] { _searchTimerExpired(); });

    connect(m_playButton, &QAbstractButton::clicked, this, [this] { PlayClicked(); });
    connect(m_nextButton, &QAbstractButton::clicked, this, [this] { NextClicked(); });
    connect(m_copyToITunesButton, &QAbstractButton::clicked, this,
            [this] { CopyToITunesClicked(); });
    connect(m_copyToMacButton, &QAbstractButton::clicked, this, [this] { CopyToMacClicked(); });
    connect(m_backUpButton, &QAbstractButton::clicked, this, [this] { BackUpClicked(); });
    // Typing and the field's clear button search; emptying the field from here does not.
    connect(m_searchTextField, &QLineEdit::textChanged, this, [this] {
        if (!m_emptyingSearchField)
            controlTextDidChange();
    });

    _setPlayPauseButtonImage();
    _enableControlBarControls(false);
    return controlBar;
}

QList<QKeySequence> Orvane11AppDelegate::keysOf(Shortcut which)
{
    switch (which) {
    case Shortcut::Find:
        return {QKeySequence(Qt::CTRL | Qt::Key_F)};
    case Shortcut::ClearSearch:
        return {QKeySequence(Qt::Key_Escape)};
    case Shortcut::Preferences: {
        // The desktop's own keys where it has them, and Ctrl+, everywhere.
        QList<QKeySequence> keys = QKeySequence::keyBindings(QKeySequence::Preferences);
        const QKeySequence comma(Qt::CTRL | Qt::Key_Comma);
        if (!keys.contains(comma))
            keys.prepend(comma);
        return keys;
    }
    case Shortcut::PlayPause:
        return {QKeySequence(Qt::Key_Space)};
    }
    return {};
}

void Orvane11AppDelegate::buildMenus()
{
    QMenuBar* menus = m_window->menuBar();
    QMenu* app = menus->addMenu(L("MENUAPPLICATION"));
    QAction* about = app->addAction(L("MENUABOUT"), this, [this] { menuAboutOrvaneClicked(); });
    about->setMenuRole(QAction::AboutRole);
    about->setObjectName(QStringLiteral("menuAboutOrvane"));
    QAction* preferences =
        app->addAction(L("MENUPREFERENCES"), this, [this] { menuPreferencesClicked(); });
    preferences->setMenuRole(QAction::PreferencesRole);
    preferences->setShortcuts(keysOf(Shortcut::Preferences));
    preferences->setObjectName(QStringLiteral("menuPreferences"));
    app->addSeparator();
    QAction* quit = app->addAction(L("MENUQUIT"), this, [this] { menuQuitClicked(); });
    quit->setMenuRole(QAction::QuitRole);
    quit->setShortcuts(QKeySequence::Quit);
    // A platform without its own Quit keys (the Windows scheme has none) still
    // gets the keys every Linux desktop uses.
    if (quit->shortcuts().isEmpty())
        quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    quit->setObjectName(QStringLiteral("menuQuit"));

    // Keys without a menu entry: they act on the window wherever its focus is.
    auto windowKey = [this](Shortcut which, const char* name, auto slot) {
        auto* action = new QAction(m_window);
        action->setObjectName(QLatin1String(name));
        action->setShortcuts(keysOf(which));
        action->setShortcutContext(Qt::WindowShortcut);
        connect(action, &QAction::triggered, this, slot);
        m_window->addAction(action);
    };
    windowKey(Shortcut::Find, "shortcutFind", [this] {
        if (m_searchTextField && m_searchTextField->isVisible()) {
            m_searchTextField->setFocus(Qt::ShortcutFocusReason);
            m_searchTextField->selectAll();
        }
    });
    windowKey(Shortcut::ClearSearch, "shortcutClearSearch", [this] {
        if (m_searchTextField && !m_searchTextField->text().isEmpty()) {
            m_searchTextField->clear();
            // At once: the user asked for the whole list back.
            _searchTimerExpired();
            return;
        }
        // Else the shown category closes what it has open (the photo viewer).
        if (QELDeviceCategoryContentView* view = currentCategoryView())
            view->escapePressed();
    });
    windowKey(Shortcut::PlayPause, "shortcutPlayPause", [this] {
        // A focused button keeps Space as its own press.
        auto* button = qobject_cast<QAbstractButton*>(QApplication::focusWidget());
        if (button && button != m_playButton) {
            button->animateClick();
            return;
        }
        if (m_playButton && m_playButton->isEnabled() && m_playButton->isVisible())
            PlayClicked();
    });

    QMenu* help = menus->addMenu(L("MENUHELP"));
    QAction* helpContents = help->addAction(L("MENUHELPORVANE"), this, [this] { showHelp(); });
    helpContents->setShortcut(QKeySequence::HelpContents);
    helpContents->setObjectName(QStringLiteral("menuHelp"));
    help->addAction(L("MENUUSERGUIDE"), this, [this] { menuHelpOrvaneUserGuideClicked(); })
        ->setObjectName(QStringLiteral("menuHelpOrvaneUserGuide"));
    help->addAction(L("MENUCONTACTSUPPORT"), this, [this] { menuHelpContactSupportClicked(); })
        ->setObjectName(QStringLiteral("menuHelpContactSupport"));
    help->addSeparator();
    help->addAction(L("TERMSANDCONDITIONS"), this,
                    [this] { viewTermsAndConditionsButtonClicked(); })
        ->setObjectName(QStringLiteral("menuTermsAndConditions"));
}

void Orvane11AppDelegate::menuQuitClicked()
{
    if (!m_quitConfirmed && !mayQuitNow())
        return;
    m_quitConfirmed = true;
    // Closing runs the clean-up through the window's close event; a window
    // that is not shown gets no such event.
    if (m_window)
        m_window->close();
    windowWillClose();
}

void Orvane11AppDelegate::buildCopyCompleteView()
{
    m_copyCompleteView = makeSheet(QStringLiteral("copyCompleteView"), m_window);
    m_copyCompleteIconImageView = makeSheetIcon(QStringLiteral("copy"), m_copyCompleteView);
    m_copyCompleteIconImageView->setObjectName(QStringLiteral("copyCompleteIconImageView"));
    m_copyCompleteIconImage = QStringLiteral("copy.png");

    QVBoxLayout* content = sheetContent("COPYCOMPLETE", "COPYCOMPLETEDETAIL", m_copyCompleteView);
    content->itemAt(1)->widget()->setObjectName(QStringLiteral("copyCompleteDetailLabel"));
    m_copyCompleteNotCopiedLabel = makeSheetText(QString(), m_copyCompleteView);
    m_copyCompleteNotCopiedLabel->setObjectName(QStringLiteral("copyCompleteNotCopiedLabel"));
    m_copyCompleteNotCopiedLabel->hide();
    content->addWidget(m_copyCompleteNotCopiedLabel);
    auto* filesBox = new QFrame(m_copyCompleteView);
    filesBox->setObjectName(QStringLiteral("copyCompleteViewFilesBox"));
    filesBox->setFrameShape(QFrame::StyledPanel);
    auto* filesRow = new QHBoxLayout(filesBox);
    filesRow->addWidget(makeSheetText(L("COPYCOMPLETEFILES"), filesBox), 1);
    QPushButton* files =
        makeSheetButton(QStringLiteral("copyCompleteViewFilesButton"), L("SHOWFILES"), filesBox);
    filesRow->addWidget(files);
    m_copyCompleteViewFilesBox = filesBox;
    content->addWidget(filesBox);
    m_checkBoxShowCopyCompleteView =
        new QCheckBox(L("SHOWCOPYCOMPLETEMESSAGE"), m_copyCompleteView);
    m_checkBoxShowCopyCompleteView->setObjectName(QStringLiteral("checkBoxShowCopyCompleteView"));
    content->addWidget(m_checkBoxShowCopyCompleteView);

    QPushButton* close =
        makeSheetButton(QStringLiteral("copyCompleteViewCloseButton"), L("OK"), m_copyCompleteView);
    sheetLayout(m_copyCompleteView, m_copyCompleteIconImageView, content, sheetButtons({close}));

    connect(close, &QPushButton::clicked, this, [this] { copyCompleteViewCloseButtonClicked(); });
    connect(files, &QPushButton::clicked, this, [this] { copyCompleteViewFilesButtonClicked(); });
    // Escape and the window's close button count as the close button.
    connect(m_copyCompleteView, &QDialog::rejected, this,
            [this] { copyCompleteViewCloseButtonClicked(); });
}

void Orvane11AppDelegate::buildConfirmBackupView()
{
    m_confirmBackupView = makeSheet(QStringLiteral("confirmBackupView"), m_window);
    QVBoxLayout* content =
        sheetContent("CONFIRMBACKUP", "CONFIRMBACKUPDETAIL", m_confirmBackupView);
    QPushButton* cancel = makeSheetButton(QStringLiteral("confirmBackupCancelButton"), L("CANCEL"),
                                          m_confirmBackupView);
    QPushButton* proceed = makeSheetButton(QStringLiteral("confirmBackUpProceedButton"),
                                           L("PROCEEDBACKUP"), m_confirmBackupView);
    sheetLayout(m_confirmBackupView, makeSheetIcon(QStringLiteral("backup"), m_confirmBackupView),
                content, sheetButtons({cancel, proceed}));

    connect(proceed, &QPushButton::clicked, this, [this] { confirmBackUpProceedButtonClicked(); });
    connect(cancel, &QPushButton::clicked, this, [this] { confirmBackupCancelButtonClicked(); });
    connect(m_confirmBackupView, &QDialog::rejected, this,
            [this] { confirmBackupCancelButtonClicked(); });
}

void Orvane11AppDelegate::buildUpdateAvailablePanel()
{
    m_updateAvailablePanel = makeSheet(QStringLiteral("updateAvailablePanel"), m_window);
    QVBoxLayout* content =
        sheetContent("UPDATEAVAILABLE", "UPDATEAVAILABLEDETAIL", m_updateAvailablePanel);
    m_automaticallyCheckForUpdatesCheckBox =
        new QCheckBox(L("CHECKFORUPDATESONSTARTUP"), m_updateAvailablePanel);
    m_automaticallyCheckForUpdatesCheckBox->setObjectName(
        QStringLiteral("automaticallyCheckForUpdatesCheckBox"));
    content->addWidget(m_automaticallyCheckForUpdatesCheckBox);
    QPushButton* close = makeSheetButton(QStringLiteral("closeUpdateAvailableButton"), L("NOTNOW"),
                                         m_updateAvailablePanel);
    QPushButton* download = makeSheetButton(QStringLiteral("downloadUpdateButton"),
                                            L("DOWNLOADUPDATE"), m_updateAvailablePanel);
    sheetLayout(m_updateAvailablePanel,
                makeSheetIcon(QStringLiteral("download_48"), m_updateAvailablePanel), content,
                sheetButtons({close, download}));

    connect(download, &QPushButton::clicked, this, [this] { downloadUpdateButtonClicked(); });
    connect(close, &QPushButton::clicked, this, [this] { closeUpdateAvailableButtonClicked(); });
    connect(m_updateAvailablePanel, &QDialog::rejected, this,
            [this] { closeUpdateAvailableButtonClicked(); });
}

void Orvane11AppDelegate::buildAboutWindow()
{
    m_aboutWindow = new QDialog(m_window);
    m_aboutWindow->setObjectName(QStringLiteral("aboutWindow"));
    m_aboutWindow->setWindowTitle(L("MENUABOUT"));
    auto* layout = new QVBoxLayout(m_aboutWindow);
    layout->setContentsMargins(32, 24, 32, 20);
    layout->setSpacing(8);
    auto* icon = new QLabel(m_aboutWindow);
    icon->setPixmap(AppImages::pixmap(QStringLiteral("orvane"), QSize(96, 96), m_aboutWindow));
    icon->setAlignment(Qt::AlignCenter);
    layout->addWidget(icon);
    QLabel* name = makeSheetTitle(L("APPNAME"), m_aboutWindow);
    name->setAlignment(Qt::AlignCenter);
    layout->addWidget(name);
    m_aboutWindowVersionLabel = new QLabel(m_aboutWindow);
    m_aboutWindowVersionLabel->setObjectName(QStringLiteral("aboutWindowVersionLabel"));
    m_aboutWindowVersionLabel->setAlignment(Qt::AlignCenter);
    layout->addWidget(m_aboutWindowVersionLabel);
    layout->addSpacing(10);
    auto* home = new QPushButton(QUrl(makerHomePage()).host(), m_aboutWindow);
    home->setObjectName(QStringLiteral("aboutWindowQELHomeBackButton"));
    home->setFlat(true);
    home->setCursor(Qt::PointingHandCursor);
    home->setStyleSheet(QStringLiteral(
        "QPushButton { color: #1d4ed8; text-decoration: underline; border: none; }"));
    layout->addWidget(home, 0, Qt::AlignCenter);
    auto* terms = new QPushButton(L("TERMSANDCONDITIONS"), m_aboutWindow);
    terms->setObjectName(QStringLiteral("viewTermsAndConditionsButton"));
    terms->setAutoDefault(false);
    layout->addWidget(terms, 0, Qt::AlignCenter);
    m_aboutWindow->setFixedWidth(320);

    connect(home, &QPushButton::clicked, this, [this] { aboutWindowQELHomeBackButtonClicked(); });
    connect(terms, &QPushButton::clicked, this, [this] { viewTermsAndConditionsButtonClicked(); });
}

// --- Accessors ---

QELMediaPlayer* Orvane11AppDelegate::mediaPlayer() const { return m_mediaPlayer.data(); }
QELImageButton* Orvane11AppDelegate::playButton() const { return m_playButton.data(); }
QELImageButton* Orvane11AppDelegate::nextButton() const { return m_nextButton.data(); }
QToolButton* Orvane11AppDelegate::copyToITunesButton() const { return m_copyToITunesButton.data(); }
QToolButton* Orvane11AppDelegate::copyToMacButton() const { return m_copyToMacButton.data(); }
QToolButton* Orvane11AppDelegate::backUpButton() const { return m_backUpButton.data(); }
QLineEdit* Orvane11AppDelegate::searchTextField() const { return m_searchTextField.data(); }
const QTimer* Orvane11AppDelegate::searchTimer() const { return m_searchTimer; }
QDialog* Orvane11AppDelegate::copyCompleteView() const { return m_copyCompleteView; }
QCheckBox* Orvane11AppDelegate::checkBoxShowCopyCompleteView() const
{
    return m_checkBoxShowCopyCompleteView;
}
QWidget* Orvane11AppDelegate::copyCompleteViewFilesBox() const
{
    return m_copyCompleteViewFilesBox;
}
QLabel* Orvane11AppDelegate::copyCompleteIconImageView() const
{
    return m_copyCompleteIconImageView;
}
QDialog* Orvane11AppDelegate::confirmBackupView() const { return m_confirmBackupView; }
QDialog* Orvane11AppDelegate::updateAvailablePanel() const { return m_updateAvailablePanel; }
QCheckBox* Orvane11AppDelegate::automaticallyCheckForUpdatesCheckBox() const
{
    return m_automaticallyCheckForUpdatesCheckBox;
}
QDialog* Orvane11AppDelegate::aboutWindow() const { return m_aboutWindow; }
QLabel* Orvane11AppDelegate::aboutWindowVersionLabel() const { return m_aboutWindowVersionLabel; }
QELOrvanePreferencesWindowsController* Orvane11AppDelegate::preferencesWindow() const
{
    return m_preferencesWindow.data();
}

QString Orvane11AppDelegate::makerHomePage() { return ProductInfo::makerHomePage(); }

// --- Control bar ---

QELDeviceCategoryContentView* Orvane11AppDelegate::currentCategoryView() const
{
    return m_deviceContentView ? m_deviceContentView->GetCurrentCategoryContentView() : nullptr;
}

void Orvane11AppDelegate::forwardRequest(int request, const char* name)
{
    if (!m_deviceContentView)
        return;
    QELDeviceCategoryContentView* view = currentCategoryView();
    const auto which = QELDeviceCategoryContentView::Request(request);
    // Pages that are not category views, and views without this function
    // (call logs have no copy to cancel), are never asked.
    if (!view || !view->answers(which)) {
        // A control that got here was enabled by mistake (or a key reached
        // it): say so instead of doing nothing.
        qCWarning(lcOrvane) << "The shown page does not answer" << name;
        setHUDInformation(L("NOTAVAILABLEHERE"), L("NOTAVAILABLEHEREDETAIL"));
        return;
    }
    try {
        switch (which) {
        case QELDeviceCategoryContentView::Copy:
            view->RequestCopy();
            break;
        case QELDeviceCategoryContentView::CancelCopy:
            view->RequestCancelCopy();
            break;
        case QELDeviceCategoryContentView::Transfer:
            view->RequestTransfer();
            break;
        case QELDeviceCategoryContentView::BackUp:
            view->RequestBackUp();
            break;
        case QELDeviceCategoryContentView::Search:
            view->search(m_searchTextField ? m_searchTextField->text() : QString());
            break;
        }
    } catch (const std::exception& e) {
        // Never into the event loop: a failed request is logged and dropped.
        qCWarning(lcOrvane).noquote() << name << "failed:" << QString::fromUtf8(e.what());
    }
}

void Orvane11AppDelegate::CopyToITunesClicked()
{
    forwardRequest(QELDeviceCategoryContentView::Transfer, "RequestTransfer");
}
void Orvane11AppDelegate::CopyToMacClicked()
{
    forwardRequest(QELDeviceCategoryContentView::Copy, "RequestCopy");
}
void Orvane11AppDelegate::BackUpClicked() { beginSheet(m_confirmBackupView); }

void Orvane11AppDelegate::PlayClicked()
{
    if (!m_deviceContentView)
        return;
    QELDeviceCategoryContentView* view = currentCategoryView();
    if (view && view->hasMediaListForPlayback()) {
        const bool local = view->mediaListIsLocal();
        if (m_mediaPlayer && m_mediaPlayer->IsPlaying()) {
            // A voicemail preview stops; a music preview pauses on its track.
            if (local)
                m_mediaPlayer->clearPlayQueueWithStop(true);
            else
                m_mediaPlayer->pause();
        } else if (m_mediaPlayer && m_mediaPlayer->currentTrackDetail()) {
            m_mediaPlayer->play();
        } else {
            const QList<QELMediaPlayerItem> items = playerItems(view->mediaListForPlayback());
            if (!items.isEmpty()) {
                if (!m_mediaPlayer && m_env.makeMediaPlayer) {
                    m_mediaPlayer = m_env.makeMediaPlayer(m_deviceInterface.get(), this);
                    if (m_mediaPlayer) {
                        m_mediaPlayer->setDelegate(this);
                        // The stored volume holds from the first track on.
                        m_mediaPlayer->setPlaybackVolume(QELPreferences::PlaybackVolume());
                    }
                }
                if (m_mediaPlayer) {
                    m_mediaPlayer->setIsPlayingLocal(local);
                    m_mediaPlayer->clearPlayQueueWithStop(true);
                    m_mediaPlayer->setPlayQueue(items);
                    m_mediaPlayer->play();
                }
            }
        }
    }
    _setPlayPauseButtonImage();
}

void Orvane11AppDelegate::NextClicked()
{
    if (!m_mediaPlayer)
        return;
    m_mediaPlayer->next();
    _setPlayPauseButtonImage();
}

void Orvane11AppDelegate::_setPlayPauseButtonImage()
{
    if (!m_playButton)
        return;
    const bool playing = m_mediaPlayer && m_mediaPlayer->IsPlaying();
    m_playButton->setImage(playing ? QStringLiteral("pause.png") : QStringLiteral("play.png"));
    m_playButton->setAlternateImage(playing ? QStringLiteral("pause_over.png")
                                            : QStringLiteral("play_over.png"));
}

void Orvane11AppDelegate::_enableControlBarControls(bool enable)
{
    m_controlBarEnabled = enable;
    for (QWidget* control :
         {static_cast<QWidget*>(m_playButton.data()), static_cast<QWidget*>(m_nextButton.data()),
          static_cast<QWidget*>(m_copyToITunesButton.data()),
          static_cast<QWidget*>(m_copyToMacButton.data()),
          static_cast<QWidget*>(m_backUpButton.data()),
          static_cast<QWidget*>(m_searchTextField.data())}) {
        if (control)
            control->setEnabled(enable);
    }
}

void Orvane11AppDelegate::emptySearchField()
{
    // The typed text belonged to the category that was shown: no search follows.
    if (m_searchTimer)
        m_searchTimer->stop();
    if (m_searchTextField) {
        m_emptyingSearchField = true;
        m_searchTextField->clear();
        m_emptyingSearchField = false;
    }
}

void Orvane11AppDelegate::OnCopyToITunesFunctionalityAvailableNotification(bool available)
{
    m_availability.transfer = available;
    if (m_copyToITunesButton)
        m_copyToITunesButton->setEnabled(available);
}

void Orvane11AppDelegate::OnCopyToMacFunctionalityAvailableNotification(bool available)
{
    m_availability.copy = available;
    if (m_copyToMacButton)
        m_copyToMacButton->setEnabled(available);
}

void Orvane11AppDelegate::OnBackUpFunctionalityAvailableNotification(bool available)
{
    m_availability.backUp = available;
    if (m_backUpButton)
        m_backUpButton->setEnabled(available);
}

void Orvane11AppDelegate::OnMediaPlaybackFunctionalityAvailableNotification(bool available)
{
    m_availability.playback = available;
    if (m_playButton)
        m_playButton->setEnabled(available);
    if (m_nextButton)
        m_nextButton->setEnabled(available);
}

void Orvane11AppDelegate::OnSearchFunctionalityAvailableNotification(bool available)
{
    m_availability.search = available;
    emptySearchField();
    if (m_searchTextField)
        m_searchTextField->setVisible(available);
}

void Orvane11AppDelegate::OnSearchPlaceholderTextNotification(const QString& placeholder)
{
    m_availability.placeholder = placeholder;
    if (m_searchTextField)
        m_searchTextField->setPlaceholderText(placeholder);
    emptySearchField();
}

// --- Search ---

void Orvane11AppDelegate::controlTextDidChange()
{
    if (m_searchTimer)
        m_searchTimer->start(Clock::scaledMs(kSearchDelayMs));
}

void Orvane11AppDelegate::_searchTimerExpired()
{
    if (m_searchTimer)
        m_searchTimer->stop();
    forwardRequest(QELDeviceCategoryContentView::Search, "search");
}

// --- HUD ---

void Orvane11AppDelegate::setHUDInformation(const QString& top, const QString& bottom)
{
    if (m_hudView)
        m_hudView->setHUDInformationTopStringBottomString(top, bottom);
}

void Orvane11AppDelegate::clearHUD()
{
    if (m_hudView)
        m_hudView->clearHUD();
}

void Orvane11AppDelegate::OnProgressEventCurrentValueMaximumValue(const QString& text,
                                                                  double current, double maximum)
{
    if (!m_hudView)
        return;
    if (text.isEmpty() && current == 0 && maximum == 0) {
        m_hudView->clearHUD();
    } else if (current == 0 && maximum == 0) {
        m_hudView->setHUDProgressIntermittentWithText(text);
    } else {
        // Truncated toward zero; numbers outside the integer range are held at its ends.
        auto truncated = [](double v) {
            if (!(v == v))
                return 0;
            return int(std::clamp(v, double(std::numeric_limits<int>::min()),
                                  double(std::numeric_limits<int>::max())));
        };
        m_hudView->setHUDProgressToOfMaximumWithText(truncated(current), truncated(maximum), text);
    }
}

void Orvane11AppDelegate::OnInformationStatusEventBottomLine(const QString& topLine,
                                                             const QString& bottomLine)
{
    setHUDInformation(topLine, bottomLine);
}

void Orvane11AppDelegate::OnCopyEndedInFolder(const QString& topLine, const QString& bottomLine,
                                              const QString& folder)
{
    if (m_hudView)
        m_hudView->setHUDInformationWithFolder(topLine, bottomLine, folder);
}

void Orvane11AppDelegate::OnShowFolderRequest(const QString& folder)
{
    if (!folder.isEmpty())
        openUrl(QUrl::fromLocalFile(folder));
}

void Orvane11AppDelegate::OnCategorySwitchNotification()
{
    if (m_hudView)
        m_hudView->clearCategoryReports();
}

void Orvane11AppDelegate::OnCopyProgressEventWithTitleDescriptionCurrentValueAndMaximumValue(
    const QString& title, const QString& description, int current, int maximum)
{
    OnCopyProgressEventWithBytes(title, description, current, maximum, 0, 0);
}

void Orvane11AppDelegate::OnCopyProgressEventWithBytes(const QString& title,
                                                       const QString& description, int current,
                                                       int maximum, quint64 bytesCopied,
                                                       quint64 byteCount)
{
    m_copyRunning = true;
    if (m_hudView)
        m_hudView->setCopyProgressWithBytes(title, description, current, maximum, bytesCopied,
                                            byteCount);
}

void Orvane11AppDelegate::OnCopyBytesProgressEvent(const QString& title, const QString& description,
                                                   int current, int maximum, quint64 bytesCopied,
                                                   quint64 byteCount)
{
    OnCopyProgressEventWithBytes(title, description, current, maximum, bytesCopied, byteCount);
}

void Orvane11AppDelegate::ShowCopyProgressProgressDetail(const QStringList& progress,
                                                         const QVariantList& progressDetail)
{
    OnCopyProgressEventWithTitleDescriptionCurrentValueAndMaximumValue(
        progress.value(0), progress.value(1), progressDetail.value(0).toInt(),
        progressDetail.value(1).toInt());
}

void Orvane11AppDelegate::ClearHUD() { clearHUD(); }
void Orvane11AppDelegate::OnClear()
{
    clearHUD();
    copyEnded();
}
void Orvane11AppDelegate::OnMediaViewChanged() {}

void Orvane11AppDelegate::OnMediaSelectionPlayRequested()
{
    if (m_mediaPlayer)
        m_mediaPlayer->stop();
    PlayClicked();
}

void Orvane11AppDelegate::OnUserCancelCopyEvent()
{
    forwardRequest(QELDeviceCategoryContentView::CancelCopy, "RequestCancelCopy");
}

// --- Preview player ---

void Orvane11AppDelegate::OnPlaybackQueueCompleted()
{
    clearHUD();
    _setPlayPauseButtonImage();
    QELDeviceCategoryContentView* view = currentCategoryView();
    if (view && view->hasMediaListForPlayback() && !view->mediaListIsLocal())
        view->SetCurrentlyPlayingTrackDetail(std::nullopt);
}

void Orvane11AppDelegate::OnPlaybackProgress(const QELMediaPlayerProgressEventArgs& progress)
{
    if (m_hudView)
        m_hudView->setHUDPlaybackProgress(progress);
}

void Orvane11AppDelegate::OnStatusInformationEventAndSecondLine(const QString& firstLine,
                                                                const QString& secondLine)
{
    setHUDInformation(firstLine, secondLine);
}

void Orvane11AppDelegate::OnCachingStatusEvent(bool caching)
{
    if (m_hudView)
        m_hudView->setPlaybackCaching(caching);
}

void Orvane11AppDelegate::OnStartPlaybackEventWithTrackDetails(const QELMediaPlayerItem& item)
{
    // A track that starts once it has loaded (after Next, even from a pause)
    // plays: the button says so.
    _setPlayPauseButtonImage();
    QELDeviceCategoryContentView* view = currentCategoryView();
    if (view && view->hasMediaListForPlayback() && !view->mediaListIsLocal())
        view->SetCurrentlyPlayingTrackDetail(item);
}

// --- Sheets ---

void Orvane11AppDelegate::beginSheet(QDialog* sheet)
{
    if (!sheet || !m_window)
        return;
    sheet->adjustSize();
    // Like a sheet: at the top of the window, in its middle.
    const QRect frame = m_window->geometry();
    sheet->move(frame.x() + (frame.width() - sheet->width()) / 2, frame.y() + 24);
    sheet->open();
}

void Orvane11AppDelegate::endSheet(QDialog* sheet)
{
    if (sheet)
        sheet->hide();
}

void Orvane11AppDelegate::OnAllItemsCopiedEventWithType(int copyType)
{
    OnAllItemsCopiedEventWithTypeNotCopied(copyType, 0);
}

void Orvane11AppDelegate::OnAllItemsCopiedEventWithTypeNotCopied(int copyType, quint32 notCopied)
{
    showCopyComplete(copyType, notCopied == 0,
                     notCopied > 0 ? Ln("ITEMSNOTCOPIED", notCopied) : QString());
}

void Orvane11AppDelegate::OnAllItemsCopiedEventWithOutcome(int copyType, quint32,
                                                           const QELCopyOutcome& outcome)
{
    const bool complete = outcome.complete();
    QString text;
    if (!complete) {
        text = QELCopyEndMessage::title(outcome, QString());
        if (const QString detail = QELCopyEndMessage::detail(outcome); !detail.isEmpty())
            text += QLatin1Char('\n') + detail;
    }
    showCopyComplete(copyType, complete, text);
}

void Orvane11AppDelegate::showCopyComplete(int copyType, bool complete,
                                           const QString& notCopiedText)
{
    clearHUD();
    copyEnded();
    const bool showAlways = QELPreferences::ShowCopyCompleteMessage();
    // Items that could not be copied are always told, whatever the preference.
    if ((!showAlways && complete) || !m_copyCompleteView)
        return;
    m_copyCompleteNotCopiedLabel->setText(complete ? QString() : notCopiedText);
    m_copyCompleteNotCopiedLabel->setVisible(!complete);
    // "All the selected items have been copied" would not be true.
    if (auto* detail =
            m_copyCompleteView->findChild<QLabel*>(QStringLiteral("copyCompleteDetailLabel")))
        detail->setVisible(complete);
    // A transfer into the music library has no folder to show.
    m_copyCompleteViewFilesBox->setVisible(copyType != 1);
    m_checkBoxShowCopyCompleteView->setChecked(showAlways);
    m_copyCompleteIconImage =
        copyType != 0 ? QStringLiteral("itunes.png") : QStringLiteral("copy.png");
    m_copyCompleteIconImageView->setPixmap(
        AppImages::pixmap(AppImages::nameOfImageFile(m_copyCompleteIconImage), QSize(64, 64),
                          m_copyCompleteIconImageView));
    beginSheet(m_copyCompleteView);
}

void Orvane11AppDelegate::copyCompleteViewCloseButtonClicked()
{
    if (!m_copyCompleteView)
        return;
    QSettings().setValue(QELPreferences::kShowCopyCompleteMessage,
                         m_checkBoxShowCopyCompleteView->isChecked() ? 1 : 0);
    endSheet(m_copyCompleteView);
}

void Orvane11AppDelegate::copyCompleteViewFilesButtonClicked()
{
    const QString folder = QELPreferences::CopyToMacSaveFolder();
    if (!folder.isEmpty())
        openUrl(QUrl::fromLocalFile(folder));
}

void Orvane11AppDelegate::confirmBackUpProceedButtonClicked()
{
    endSheet(m_confirmBackupView);
    forwardRequest(QELDeviceCategoryContentView::BackUp, "RequestBackUp");
}

void Orvane11AppDelegate::confirmBackupCancelButtonClicked() { endSheet(m_confirmBackupView); }

void Orvane11AppDelegate::OnUpdateCheckReturnsWithUpdateAvailable(bool updateAvailable)
{
    qCInfo(lcOrvane) << "Update check:"
                     << (updateAvailable ? "a newer version is available" : "up to date");
    if (!updateAvailable || !m_updateAvailablePanel)
        return;
    m_automaticallyCheckForUpdatesCheckBox->setChecked(QELPreferences::checkForUpdatesOnStartUp());
    beginSheet(m_updateAvailablePanel);
}

void Orvane11AppDelegate::closeUpdateAvailableButtonClicked()
{
    if (!m_updateAvailablePanel)
        return;
    QELPreferences::setCheckForUpdatesOnStartUp(
        m_automaticallyCheckForUpdatesCheckBox->isChecked());
    endSheet(m_updateAvailablePanel);
}

void Orvane11AppDelegate::downloadUpdateButtonClicked()
{
    closeUpdateAvailableButtonClicked();
    openLocalizedUrl("UPDATEURL");
}

// --- Windows and menu commands ---

void Orvane11AppDelegate::menuPreferencesClicked()
{
    if (m_preferencesWindow) {
        m_preferencesWindow->setDelegate(nullptr);
        m_preferencesWindow->hide();
        m_preferencesWindow->deleteLater();
    }
    m_preferencesWindow = new QELOrvanePreferencesWindowsController(m_window);
    m_preferencesWindow->setDelegate(this);
    // The main window waits while the preferences are open.
    m_preferencesWindow->setWindowModality(Qt::ApplicationModal);
    if (m_hudView)
        m_hudView->showTemporaryInformation(L("DISPLAYPREFERENCES"), L("CLOSEPREFERENCES"));
    // Over the main window and wholly on its screen; once more when shown, as
    // only then is its frame known.
    WindowPlacement::placeOver(m_preferencesWindow, m_window);
    m_preferencesWindow->show();
    WindowPlacement::placeOver(m_preferencesWindow, m_window);
}

void Orvane11AppDelegate::OnPreferencesWindowClose()
{
    if (m_preferencesWindow) {
        // Called from the window's own close: it goes once that has returned.
        m_preferencesWindow->setDelegate(nullptr);
        m_preferencesWindow->hide();
        m_preferencesWindow->deleteLater();
        m_preferencesWindow = nullptr;
    }
    if (m_mediaPlayer)
        m_mediaPlayer->setPlaybackVolume(QELPreferences::PlaybackVolume());
    if (m_deviceContentView)
        m_deviceContentView->RefreshIPodContentView();
    // The panel goes back to what it said before the window opened.
    if (m_hudView)
        m_hudView->endTemporaryInformation();
}

void Orvane11AppDelegate::menuAboutOrvaneClicked()
{
    if (!m_aboutWindow)
        return;
    const QString version = QCoreApplication::applicationVersion();
    if (!version.isEmpty())
        m_aboutWindowVersionLabel->setText(L("VERSION").arg(version));
    m_aboutWindow->show();
    m_aboutWindow->raise();
    m_aboutWindow->activateWindow();
}

void Orvane11AppDelegate::openUrl(const QUrl& url)
{
    if (url.isValid() && m_env.openUrl)
        m_env.openUrl(url);
}

void Orvane11AppDelegate::openLocalizedUrl(const char* key) { openUrl(QUrl(L(key))); }

void Orvane11AppDelegate::aboutWindowQELHomeBackButtonClicked() { openUrl(QUrl(makerHomePage())); }
void Orvane11AppDelegate::viewTermsAndConditionsButtonClicked() { openLocalizedUrl("TERMSURL"); }
void Orvane11AppDelegate::showHelp() { openLocalizedUrl("HELPURL"); }
void Orvane11AppDelegate::menuHelpOrvaneUserGuideClicked() { openLocalizedUrl("USERGUIDEURL"); }
void Orvane11AppDelegate::menuHelpContactSupportClicked()
{
    openLocalizedUrl("CUSTOMERSUPPORTURL");
}
