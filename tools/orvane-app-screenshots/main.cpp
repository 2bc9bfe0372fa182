// SPDX-License-Identifier: GPL-3.0-or-later
// orvane-app-screenshots DEVICE-FOLDER OUTPUT-FOLDER: runs the application
// window with the simulated device of DEVICE-FOLDER and saves the pages it
// goes through, the control bar during a copy and the sheets and the about
// window as PNG files in OUTPUT-FOLDER.
#include <atomic>
#include <cstdio>
#include <functional>
#include <thread>

#include <QAbstractButton>
#include <QAbstractItemModel>
#include <QAbstractItemView>
#include <QApplication>
#include <QColumnView>
#include <QDialog>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QItemSelectionModel>
#include <QLabel>
#include <QListView>
#include <QMainWindow>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>

#include "CategoryRegistry.h"
#include "CategoryViews.h"
#include "IPodFramework.h"
#include "Locations.h"
#include "Orvane11AppDelegate.h"
#include "QELBackupNoticePage.h"
#include "QELDeviceCategoryContentView.h"
#include "QELDeviceConnectivityArguments.h"
#include "QELDeviceContentView.h"
#include "QELDeviceDataCategoryContentView.h"
#include "QELDeviceImageLibraryReader.h"
#include "QELDeviceInterface.h"
#include "QELHUDView.h"
#include "QELOrvanePreferencesWindowsController.h"
#include "QELPagedView.h"
#include "QELReadingDeviceView.h"
#include "QELWebView.h"
#include "SimulatedMobileDevice.h"

namespace {

// Holds the read on the reading page until its picture has been taken, then
// reads with the application's own artwork reader and answers from it.
class HeldArtworkReader : public QELDeviceImageLibraryReader {
public:
    HeldArtworkReader(const QString& folder, const QString& name, std::atomic<bool>* release,
                      std::shared_ptr<QELDeviceImageLibraryReader> inner)
        : QELDeviceImageLibraryReader(folder, name, QStringLiteral("artwork.db"))
        , m_release(release)
        , m_inner(std::move(inner))
    {
    }
    bool readImageDatabase() override
    {
        while (!m_release->load())
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        bool read = true;
        if (m_inner) {
            m_inner->setDeviceInterface(deviceInterface());
            read = m_inner->readImageDatabase();
        }
        if (auto* d = delegate())
            d->OnDeviceImageLibraryDatabaseReadComplete(
                QELDeviceImageLibraryDatabaseReadCompleteArguments(read, {}));
        return read;
    }
    ImageDetailPtr getImageDetailForId(std::optional<qint64> id) const override
    {
        return m_inner ? m_inner->getImageDetailForId(id) : nullptr;
    }

private:
    std::atomic<bool>* m_release;
    std::shared_ptr<QELDeviceImageLibraryReader> m_inner;
};

bool waitFor(const std::function<bool()>& done, int ms = 20000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > ms)
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

void settle(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
}

bool save(QWidget& window, const QString& path)
{
    const bool ok = window.grab().save(path);
    std::printf("%s %s\n", ok ? "wrote" : "could not write", qPrintable(path));
    return ok;
}

QWidget* shownPage(Orvane11AppDelegate& delegate)
{
    const QList<QWidget*> pages = QELPagedView::subviewsOf(delegate.mainContentView());
    return pages.size() == 1 ? pages.constFirst() : nullptr;
}

} // namespace

int main(int argc, char* argv[])
{
    // The web views' engine, loaded from a module once a page is shown,
    // shares its OpenGL contexts with the application's, which must know
    // before it starts.
    QApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Orvane"));
    QApplication::setApplicationName(QStringLiteral("Orvane"));
    QApplication::setApplicationVersion(QStringLiteral("1.0.0"));
    // --apps: a device of an older system, whose apps category alone is shot.
    const bool appsOnly = argc == 4 && qstrcmp(argv[1], "--apps") == 0;
    if (argc != 3 && !appsOnly) {
        std::fprintf(stderr,
                     "usage: orvane-app-screenshots [--apps] DEVICE-FOLDER OUTPUT-FOLDER\n");
        return 2;
    }
    const QString deviceFolder = QString::fromLocal8Bit(argv[appsOnly ? 2 : 1]);
    const QString out = QString::fromLocal8Bit(argv[appsOnly ? 3 : 2]);
    QDir().mkpath(out);

    // The backup tool runs as a program of its own: it finds the device
    // through the environment, as it would a simulated device of a user's run.
    qputenv("ORVANE_SIMULATED_DEVICES", QFile::encodeName(QDir(deviceFolder).absolutePath()));
    auto simulator = std::make_shared<SimulatedMobileDevice>();
    auto iPods = std::make_shared<IPodFramework>(IPodFramework::Options{false, false, {}});
    std::atomic<bool> release{false};
    Orvane11AppDelegate::Environment env = Orvane11AppDelegate::defaultEnvironment();
    env.makeDeviceInterface = [&] {
        return std::make_unique<QELDeviceInterface>(simulator, iPods);
    };
    const auto makeRealArtworkReader = env.makeArtworkReader;
    env.makeArtworkReader = [&, makeRealArtworkReader](Orvane11AppDelegate::ArtworkDatabase kind,
                                                       const QString& folder, const QString& name) {
        return std::make_shared<HeldArtworkReader>(folder, name, &release,
                                                   makeRealArtworkReader(kind, folder, name));
    };
    env.checkForUpdatesOnStartUp = [] { return false; };
    env.startDetached = [](const QString&, const QStringList&) {};

    QMainWindow window;
    // What a new user sees: the window filling a 1400x900 screen;
    // ORVANE_SCREENSHOT_SIZE=900x600 shoots the smallest window instead.
    window.resize(1400, 860);
    const QStringList size = QString::fromLatin1(qgetenv("ORVANE_SCREENSHOT_SIZE")).split(QLatin1Char('x'));
    if (size.size() == 2 && size.at(0).toInt() > 0 && size.at(1).toInt() > 0)
        window.resize(size.at(0).toInt(), size.at(1).toInt());
    Orvane11AppDelegate delegate(&window, env);
    window.show();
    delegate.applicationDidFinishLaunching();

    bool ok = true;
    settle(600);
    ok &= save(window, out + QStringLiteral("/app-looking-for-device.png"));

    // The pairing pages: trust declined (with its Try Again), and a device
    // given up with the reason.
    const auto pairingPage = [&](qint64 status, const QString& reason, const QString& file) {
        QELDeviceConnectivityArguments arguments;
        arguments.setDeviceOperatingSystemType(1);
        arguments.setDevicePairingStatus(status);
        arguments.setFailureReason(reason);
        delegate.OnDeviceConnected(arguments);
        settle(300);
        return file.isEmpty() || save(window, out + file);
    };
    ok &= pairingPage(4, QString(), QStringLiteral("/app-trust-declined.png"));
    ok &= pairingPage(0, QStringLiteral("DEVICENOTANSWERING"),
                      QStringLiteral("/app-device-not-answering.png"));
    pairingPage(0, QString(), QString());

    simulator->attach(deviceFolder);
    ok &= waitFor([&] {
        return delegate.readingDeviceView() && shownPage(delegate) == delegate.readingDeviceView();
    });
    settle(500);
    ok &= save(window, out + QStringLiteral("/app-reading-device.png"));
    release = true;

    ok &= waitFor([&] { return delegate.contentPageShowCount() > 0; });
    settle(600);
    if (appsOnly) {
        // The apps grid once every app shows its own icon.
        QELDeviceContentView* page = delegate.deviceContentView();
        ok &= page && page->selectCategory(2);
        QListView* grid = nullptr;
        ok &= waitFor(
            [&] {
                QWidget* view = page ? page->cachedView(2) : nullptr;
                grid = view ? view->findChild<QListView*>(QStringLiteral("appCollectionView"))
                            : nullptr;
                return grid && grid->isVisible() && grid->model()->rowCount() >= 12;
            },
            60000);
        if (grid) {
            grid->selectionModel()->select(grid->model()->index(1, 0), QItemSelectionModel::Select);
            settle(1500);
            ok &= save(window, out + QStringLiteral("/app-device-content-apps.png"));
        }
        delegate.windowWillClose();
        return ok ? 0 : 1;
    }
    ok &= save(window, out + QStringLiteral("/app-device-content.png"));
    if (QELDeviceContentView* page = delegate.deviceContentView()) {
        // Music: LIBRARY, a device playlist, a search, the NOTINITUNES
        // report's progress page, the save-location sheet, and the artwork
        // panel hidden and shown again.
        QELDeviceCategoryContentView* music = page->cachedView(1);
        auto* sources =
            music ? music->findChild<QTreeView*>(QStringLiteral("sidebarOutlineView")) : nullptr;
        ok &= sources != nullptr;
        if (music && sources) {
            QAbstractItemModel* model = sources->model();
            auto row = [&](const QString& text) {
                for (int h = 0; h < model->rowCount(); ++h) {
                    const QModelIndex heading = model->index(h, 0);
                    if (heading.data().toString() == text)
                        return heading;
                    for (int r = 0; r < model->rowCount(heading); ++r) {
                        if (model->index(r, 0, heading).data().toString() == text)
                            return model->index(r, 0, heading);
                    }
                }
                return QModelIndex();
            };
            auto choose = [&](const QString& text) {
                const QModelIndex index = row(text);
                ok &= index.isValid();
                sources->selectionModel()->select(index, QItemSelectionModel::ClearAndSelect);
            };
            choose(QStringLiteral("LIBRARY"));
            settle(700);
            ok &= save(window, out + QStringLiteral("/app-music-library.png"));
            choose(QStringLiteral("Road Trip"));
            settle(700);
            ok &= save(window, out + QStringLiteral("/app-music-playlist.png"));
            choose(QStringLiteral("LIBRARY"));
            music->search(QStringLiteral("har"));
            settle(700);
            ok &= save(window, out + QStringLiteral("/app-music-search.png"));
            music->search(QString());
            settle(300);
            // The progress page shows from the selection on, before the report answers.
            choose(QStringLiteral("Not in the music library"));
            ok &= save(window, out + QStringLiteral("/app-music-not-in-library-progress.png"));
            settle(700);
            ok &= save(window, out + QStringLiteral("/app-music-not-in-library.png"));
            choose(QStringLiteral("LIBRARY"));
            settle(300);
            auto* saveSheet = music->findChild<QDialog*>(QStringLiteral("saveLocationPanel"));
            music->RequestCopy();
            settle(500);
            ok &= saveSheet && saveSheet->isVisible()
                && save(*saveSheet, out + QStringLiteral("/sheet-music-save-location.png"));
            if (saveSheet)
                saveSheet->hide();
            auto* artworkButton =
                music->findChild<QPushButton*>(QStringLiteral("artworkhideShowButton"));
            ok &= artworkButton != nullptr;
            if (artworkButton) {
                artworkButton->click();
                settle(700);
                ok &= save(window, out + QStringLiteral("/app-music-artwork-hidden.png"));
                artworkButton->click();
                settle(700);
                // With a track selected the panel shows its cover.
                if (auto* tracks = music->findChild<QAbstractItemView*>(
                        QStringLiteral("tracksDetailTableView"))) {
                    tracks->selectionModel()->select(tracks->model()->index(2, 0),
                                                     QItemSelectionModel::ClearAndSelect
                                                         | QItemSelectionModel::Rows);
                    settle(700);
                }
                ok &= save(window, out + QStringLiteral("/app-music-artwork-shown.png"));
            }
        }
        // Messages come from a backup the program's own tool makes: its
        // progress page first, then the view, never the failed page.
        page->selectCategory(7);
        const bool backedUp = waitFor(
            [&] {
                return page->currentPage()
                    != static_cast<QWidget*>(page->deviceBackUpProgressView());
            },
            120000);
        settle(800);
        const bool failed = page->currentPage() == static_cast<QWidget*>(page->backupFailedView());
        if (!backedUp || failed)
            std::fprintf(stderr, "the backup for messages %s\n",
                         backedUp ? "failed" : "did not end");
        ok &= backedUp && !failed;
        // The conversation list with the first conversation's page, once the
        // page has loaded and painted.
        auto messagesWidget = [&](const char* name) -> QWidget* {
            QWidget* view = page->cachedView(7);
            return view ? view->findChild<QWidget*>(QLatin1String(name)) : nullptr;
        };
        ok &= waitFor(
            [&] {
                auto* print = qobject_cast<QPushButton*>(messagesWidget("buttonPrint"));
                return print && print->isEnabled();
            },
            60000);
        settle(2000);
        ok &= save(window, out + QStringLiteral("/app-device-content-messages.png"));
        // The group chat, with its video.
        if (auto* outline =
                qobject_cast<QAbstractItemView*>(messagesWidget("outlineViewConversations"))) {
            QAbstractItemModel* model = outline->model();
            const QModelIndex sms = model->index(0, 0);
            for (int row = 0; row < model->rowCount(sms); ++row) {
                const QModelIndex index = model->index(row, 0, sms);
                if (index.data().toString() == QLatin1String("Alice Moreau, Chidi Okafor"))
                    outline->selectionModel()->select(index, QItemSelectionModel::ClearAndSelect);
            }
            auto* print = qobject_cast<QPushButton*>(messagesWidget("buttonPrint"));
            settle(300);
            ok &= waitFor([&] { return print && print->isEnabled(); }, 60000);
            settle(2000);
            ok &= save(window, out + QStringLiteral("/app-messages-group.png"));
        }
        // A search: the titles at once, then the conversations whose messages hold it.
        if (QELDeviceCategoryContentView* messages = page->GetCurrentCategoryContentView()) {
            messages->search(QStringLiteral("dessert"));
            settle(1500);
            ok &= save(window, out + QStringLiteral("/app-messages-search.png"));
            messages->search(QString());
            settle(300);
        }
        // The date-range sheet, with the range chosen.
        if (auto* dates = qobject_cast<QPushButton*>(messagesWidget("buttonSetDateRange"))) {
            QTimer::singleShot(800, [&] {
                QWidget* view = page->cachedView(7);
                auto* panel =
                    view ? view->findChild<QDialog*>(QStringLiteral("panelSetDates")) : nullptr;
                auto* range = panel ? panel->findChild<QAbstractButton*>(
                                  QStringLiteral("radioButtonShowSelectedDates"))
                                    : nullptr;
                if (range)
                    range->click();
                settle(400);
                ok &= panel && panel->isVisible()
                    && save(*panel, out + QStringLiteral("/sheet-messages-date-range.png"));
                if (auto* all = panel
                        ? panel->findChild<QAbstractButton*>(QStringLiteral("radioButtonShowAll"))
                        : nullptr)
                    all->click();
                if (panel)
                    panel->accept();
            });
            dates->click();
            settle(600);
        } else {
            ok = false;
        }
        // The page of a backup without messages.
        if (const CategoryDescriptor* row = CategoryViews::registry().find(7)) {
            QTemporaryDir empty;
            std::unique_ptr<QELDeviceCategoryContentView> view(
                row->makeView({7, QRect(0, 0, 800, 500), nullptr, nullptr}));
            if (auto* data = qobject_cast<QELDeviceDataCategoryContentView*>(view.get())) {
                data->setViewDataPath(empty.path());
                view->QWidget::resize(800, 500);
                view->show();
                data->loadData();
                ok &= waitFor([&] {
                    auto* label = view->findChild<QLabel*>(QStringLiteral("noMessagesFoundLabel"));
                    return label && label->isVisible();
                });
                settle(300);
                ok &= save(*view, out + QStringLiteral("/view-messages-empty.png"));
            } else {
                ok = false;
            }
        }
        // The internet category with its history, then its bookmarks; nothing
        // is selected, so the preview stays blank (no network here).
        page->selectCategory(12);
        auto internetWidget = [&](const char* name) -> QWidget* {
            QWidget* view = page->GetCurrentCategoryContentView();
            return view ? view->findChild<QWidget*>(QLatin1String(name)) : nullptr;
        };
        ok &= waitFor([&] {
            QWidget* lists = internetWidget("viewSideBarContentContainter");
            return lists && lists->isVisible();
        });
        settle(500);
        ok &= save(window, out + QStringLiteral("/app-internet-history.png"));
        if (auto* bookmarks =
                qobject_cast<QAbstractButton*>(internetWidget("bookmarksSegmentButton")))
            bookmarks->click();
        settle(300);
        ok &= save(window, out + QStringLiteral("/app-internet-bookmarks.png"));
        // The call log (after the device's backup) with two participants selected.
        page->selectCategory(11);
        QListView* participants = nullptr;
        ok &= waitFor(
            [&] {
                QWidget* view = page->cachedView(11);
                participants =
                    view ? view->findChild<QListView*>(QStringLiteral("participantList")) : nullptr;
                return participants && participants->isVisible()
                    && participants->model()->rowCount() >= 2;
            },
            60000);
        if (participants) {
            for (int row = 0; row < participants->model()->rowCount(); ++row) {
                const QModelIndex index = participants->model()->index(row, 0);
                const QString name = index.data().toString();
                if (name == QLatin1String("Alice Moreau") || name == QLatin1String("Bob Tanaka"))
                    participants->selectionModel()->select(index, QItemSelectionModel::Select);
            }
            auto* print =
                page->cachedView(11)->findChild<QPushButton*>(QStringLiteral("buttonPrint"));
            settle(300);
            ok &= waitFor([&] { return print && print->isEnabled(); });
            settle(1500);
            ok &= save(window, out + QStringLiteral("/app-device-content-call-log.png"));
        }
        // The calendars in the month view, then in the week view.
        page->selectCategory(5);
        QListView* calendars = nullptr;
        ok &= waitFor(
            [&] {
                QWidget* view = page->cachedView(5);
                calendars =
                    view ? view->findChild<QListView*>(QStringLiteral("calendarList")) : nullptr;
                return calendars && calendars->isVisible() && calendars->model()->rowCount() >= 1;
            },
            60000);
        if (calendars) {
            settle(400);
            ok &= save(window, out + QStringLiteral("/app-device-content-calendars-month.png"));
            auto* week = page->cachedView(5)->findChild<QAbstractButton*>(
                QStringLiteral("weekSegmentButton"));
            ok &= week != nullptr;
            if (week)
                week->click();
            settle(400);
            ok &= save(window, out + QStringLiteral("/app-device-content-calendars-week.png"));
        }
        // Voicemail with a sender selected, then while its voicemails play.
        page->selectCategory(8);
        QListView* senders = nullptr;
        ok &= waitFor(
            [&] {
                QWidget* view = page->cachedView(8);
                senders = view ? view->findChild<QListView*>(QStringLiteral("contactsTableView"))
                               : nullptr;
                return senders && senders->isVisible() && senders->model()->rowCount() >= 2;
            },
            60000);
        if (senders) {
            for (int row = 0; row < senders->model()->rowCount(); ++row) {
                const QModelIndex index = senders->model()->index(row, 0);
                if (index.data().toString() == QLatin1String("Moreau, Alice"))
                    senders->selectionModel()->select(index, QItemSelectionModel::ClearAndSelect);
            }
            settle(500);
            ok &= save(window, out + QStringLiteral("/app-device-content-voicemail.png"));
            delegate.PlayClicked();
            settle(1200);
            ok &= save(window, out + QStringLiteral("/app-voicemail-playing.png"));
            settle(1500);
            ok &= save(window, out + QStringLiteral("/app-voicemail-playing-later.png"));
            delegate.PlayClicked();
            settle(300);
        }
        // Contacts: one with a photo selected, then one with initials. The
        // picture is taken once the page has painted, not at its load's end.
        page->selectCategory(4);
        QListView* people = nullptr;
        ok &= waitFor(
            [&] {
                QWidget* view = page->cachedView(4);
                people =
                    view ? view->findChild<QListView*>(QStringLiteral("contactsList")) : nullptr;
                return people && people->isVisible() && people->model()->rowCount() >= 2;
            },
            60000);
        auto* contactPage = people
            ? page->cachedView(4)->findChild<QELWebView*>(QStringLiteral("contactContentWebView"))
            : nullptr;
        ok &= contactPage != nullptr;
        if (people && contactPage) {
            int pagesLoaded = 0;
            QObject::connect(contactPage, &QELWebView::loadFinished, contactPage,
                             [&pagesLoaded] { ++pagesLoaded; });
            auto shootContact = [&](const QString& name, const QString& file) {
                const int before = pagesLoaded;
                for (int row = 0; row < people->model()->rowCount(); ++row) {
                    const QModelIndex index = people->model()->index(row, 0);
                    if (index.data().toString() == name) {
                        people->scrollTo(index);
                        people->selectionModel()->select(index,
                                                         QItemSelectionModel::ClearAndSelect);
                    }
                }
                ok &= waitFor([&] { return pagesLoaded > before; });
                settle(1500);
                ok &= save(window, out + file);
            };
            shootContact(QStringLiteral("Moreau, Alice"),
                         QStringLiteral("/app-device-content-contacts-photo.png"));
            shootContact(QStringLiteral("Tanaka, Bob"),
                         QStringLiteral("/app-device-content-contacts-initials.png"));
            // The vCard export through its folder panel, then the transfer
            // into the address book; the HUD tells how each ended.
            people->selectionModel()->clearSelection();
            QTemporaryDir vCards;
            auto* exportButton = page->cachedView(4)->findChild<QPushButton*>(
                QStringLiteral("exportAsVCardsButton"));
            auto* addButton = page->cachedView(4)->findChild<QPushButton*>(
                QStringLiteral("addToAddressBookButton"));
            ok &= exportButton && addButton;
            if (exportButton && addButton) {
                QTimer::singleShot(600, [&] {
                    for (QWidget* top : QApplication::topLevelWidgets()) {
                        auto* panel = qobject_cast<QFileDialog*>(top);
                        if (!panel || !panel->isVisible())
                            continue;
                        ok &=
                            save(*panel, out + QStringLiteral("/sheet-contacts-export-folder.png"));
                        panel->setDirectory(vCards.path());
                        static_cast<QDialog*>(panel)->accept();
                    }
                });
                exportButton->click();
                ok &= waitFor(
                    [&] { return QDir(vCards.path()).entryList(QDir::Files).size() >= 20; });
                settle(800);
                ok &= save(window, out + QStringLiteral("/app-contacts-exported.png"));
                std::printf(
                    "exported %lld vCards\n",
                    static_cast<long long>(QDir(vCards.path()).entryList(QDir::Files).size()));
                addButton->click();
                settle(1500);
                ok &= save(window, out + QStringLiteral("/app-contacts-added-to-address-book.png"));
                QDirIterator added(Locations::dataHome() + QStringLiteral("/contacts"),
                                   {QStringLiteral("*.vcf")}, QDir::Files,
                                   QDirIterator::Subdirectories);
                int people = 0;
                for (; added.hasNext(); added.next())
                    ++people;
                std::printf("the address book holds %d people\n", people);
            }
        }
        // The notes with the note holding a picture selected, then the
        // options of Copy to the computer.
        page->selectCategory(6);
        QListView* notes = nullptr;
        ok &= waitFor(
            [&] {
                QWidget* view = page->cachedView(6);
                notes = view ? view->findChild<QListView*>(QStringLiteral("tableView")) : nullptr;
                return notes && notes->isVisible() && notes->model()->rowCount() >= 3;
            },
            60000);
        if (notes) {
            auto* print =
                page->cachedView(6)->findChild<QPushButton*>(QStringLiteral("printButton"));
            ok &= waitFor([&] { return print && print->isEnabled(); });
            for (int row = 0; row < notes->model()->rowCount(); ++row) {
                const QModelIndex index = notes->model()->index(row, 0);
                if (index.data().toString() == QLatin1String("Lisbon trip"))
                    notes->selectionModel()->select(index, QItemSelectionModel::ClearAndSelect);
            }
            settle(300);
            ok &= waitFor([&] { return print && print->isEnabled(); });
            settle(2000);
            ok &= save(window, out + QStringLiteral("/app-device-content-notes.png"));
            bool shot = false;
            std::function<void()> shootOptions = [&] {
                auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
                if (!dialog) {
                    QTimer::singleShot(100, shootOptions);
                    return;
                }
                settle(300);
                shot = save(*dialog, out + QStringLiteral("/app-notes-copy-options.png"));
                dialog->reject();
            };
            QTimer::singleShot(100, shootOptions);
            page->cachedView(6)->findChild<QPushButton*>(QStringLiteral("copyButton"))->click();
            ok &= shot;
        }
        // The page of a backup without voicemail, with the providers link.
        if (const CategoryDescriptor* row = CategoryViews::registry().find(8)) {
            QTemporaryDir empty;
            std::unique_ptr<QELDeviceCategoryContentView> view(
                row->makeView({8, QRect(0, 0, 800, 500), nullptr, nullptr}));
            if (auto* data = qobject_cast<QELDeviceDataCategoryContentView*>(view.get())) {
                data->setViewDataPath(empty.path());
                view->QWidget::resize(800, 500);
                view->show();
                data->loadData();
                ok &= waitFor([&] {
                    auto* link =
                        view->findChild<QLabel*>(QStringLiteral("textFieldNoVoicemailProviders"));
                    return link && link->isVisible();
                });
                settle(300);
                ok &= save(*view, out + QStringLiteral("/view-voicemail-empty.png"));
            } else {
                ok = false;
            }
        }
        // The files category with DCIM and its camera roll open, then the
        // delete confirmation for two of its pictures.
        page->selectCategory(10);
        if (auto* browser = page->findChild<QColumnView*>(QStringLiteral("fileBrowser"))) {
            QAbstractItemModel* model = browser->model();
            auto child = [&](const QModelIndex& parent, const QString& name) {
                QModelIndex found;
                waitFor([&] {
                    for (int row = 0; row < model->rowCount(parent); ++row) {
                        if (model->index(row, 0, parent).data().toString() == name)
                            found = model->index(row, 0, parent);
                    }
                    return found.isValid();
                });
                return found;
            };
            const QModelIndex dcim = child(QModelIndex(), QStringLiteral("DCIM"));
            browser->setCurrentIndex(dcim);
            const QModelIndex roll = child(dcim, QStringLiteral("100APPLE"));
            browser->setCurrentIndex(roll);
            const QModelIndex first = child(roll, QStringLiteral("IMG_0001.JPG"));
            const QModelIndex second = child(roll, QStringLiteral("IMG_0002.JPG"));
            browser->selectionModel()->setCurrentIndex(second, QItemSelectionModel::ClearAndSelect);
            browser->selectionModel()->select(first, QItemSelectionModel::Select);
            settle(400);
            ok &= save(window, out + QStringLiteral("/app-device-content-files.png"));
            auto* confirm = page->findChild<QDialog*>(QStringLiteral("confirmDeletePanel"));
            auto* remove = page->findChild<QPushButton*>(QStringLiteral("deleteButton"));
            if (confirm && remove) {
                remove->click();
                settle(400);
                ok &= confirm->isVisible()
                    && save(*confirm, out + QStringLiteral("/sheet-files-confirm-delete.png"));
                confirm->hide();
            } else {
                ok = false;
            }
        } else {
            ok = false;
        }
        // The photos: the library's thumbnails, then the viewer on a photo,
        // then the page of a device without photos.
        page->selectCategory(3);
        QListView* photoBrowser = nullptr;
        ok &= waitFor(
            [&] {
                QWidget* view = page->cachedView(3);
                photoBrowser = view
                    ? view->findChild<QListView*>(QStringLiteral("imageBrowserView"))
                    : nullptr;
                return photoBrowser && photoBrowser->isVisible()
                    && photoBrowser->model()->rowCount() >= 9;
            },
            60000);
        if (photoBrowser) {
            QAbstractItemModel* photos = photoBrowser->model();
            ok &= waitFor([&] {
                for (int row = 0; row < photos->rowCount(); ++row)
                    if (photos->index(row, 0).data(Qt::DecorationRole).isNull())
                        return false;
                return true;
            });
            photoBrowser->selectionModel()->select(photos->index(1, 0),
                                                   QItemSelectionModel::Select);
            photoBrowser->selectionModel()->select(photos->index(4, 0),
                                                   QItemSelectionModel::Select);
            settle(500);
            ok &= save(window, out + QStringLiteral("/app-device-content-photos.png"));
            emit photoBrowser->doubleClicked(photos->index(1, 0));
            settle(1500);
            ok &= save(window, out + QStringLiteral("/app-photos-viewer.png"));
            if (auto* back = page->cachedView(3)->findChild<QPushButton*>(
                    QStringLiteral("fullSizeImageViewBackButton")))
                back->click();
            settle(300);
        }
        if (const CategoryDescriptor* row = CategoryViews::registry().find(3)) {
            std::unique_ptr<QELDeviceCategoryContentView> view(
                row->makeView({3, QRect(0, 0, 800, 500), nullptr, nullptr}));
            view->QWidget::resize(800, 500);
            view->show();
            ok &= waitFor([&] {
                auto* text = view->findChild<QLabel*>(QStringLiteral("noPhotosTextField"));
                return text && text->isVisible();
            });
            settle(300);
            ok &= save(*view, out + QStringLiteral("/view-photos-empty.png"));
        }
        // The books category: covers of their own, and the default cover of
        // the books that have none.
        page->selectCategory(9);
        QListView* books = nullptr;
        ok &= waitFor(
            [&] {
                QWidget* view = page->cachedView(9);
                books = view ? view->findChild<QListView*>(QStringLiteral("booksCollectionView"))
                             : nullptr;
                return books && books->isVisible() && books->model()->rowCount() >= 8;
            },
            60000);
        if (books) {
            books->selectionModel()->select(books->model()->index(0, 0),
                                            QItemSelectionModel::Select);
            settle(500);
            ok &= save(window, out + QStringLiteral("/app-device-content-books.png"));
        }
        page->selectCategory(1);
        settle(300);
    }
    // The preferences window over the main window, then the panel once it has closed.
    delegate.menuPreferencesClicked();
    settle(600);
    if (QWidget* preferences = delegate.preferencesWindow()) {
        ok &= save(window, out + QStringLiteral("/app-preferences-open.png"));
        ok &= save(*preferences, out + QStringLiteral("/window-preferences.png"));
        std::printf("preferences at %d,%d %dx%d\n", preferences->frameGeometry().x(),
                    preferences->frameGeometry().y(), preferences->frameGeometry().width(),
                    preferences->frameGeometry().height());
        preferences->close();
        settle(600);
        ok &= save(window, out + QStringLiteral("/app-preferences-closed.png"));
    }
    // The control bar while a copy runs, with every function on as a music
    // library offers them; then each sheet and window.
    delegate.OnCopyToITunesFunctionalityAvailableNotification(true);
    delegate.OnCopyToMacFunctionalityAvailableNotification(true);
    delegate.OnBackUpFunctionalityAvailableNotification(true);
    delegate.OnMediaPlaybackFunctionalityAvailableNotification(true);
    delegate.OnSearchFunctionalityAvailableNotification(true);
    delegate.OnSearchPlaceholderTextNotification(QStringLiteral("Search music"));
    delegate.OnCopyProgressEventWithTitleDescriptionCurrentValueAndMaximumValue(
        QStringLiteral("Copying to computer"), QStringLiteral("Track 2"), 2, 5);
    settle(600);
    ok &= save(window, out + QStringLiteral("/app-control-bar-copying.png"));
    // A large file among small ones: the bar follows bytes, its text items.
    delegate.OnCopyProgressEventWithBytes(QStringLiteral("Copying files"),
                                          QStringLiteral("/DCIM/100APPLE/IMG_0042.MOV"), 2, 10,
                                          1536ull * 1024 * 1024, 2048ull * 1024 * 1024);
    settle(600);
    ok &= save(window, out + QStringLiteral("/app-control-bar-copying-bytes.png"));
    // The end of a copy that tells what went wrong, whole, and a long error.
    delegate.OnCopyEndedInFolder(
        QStringLiteral("398 of 412 items copied"),
        QStringLiteral("12 items could not be copied: the name is not UTF-8, which the device "
                       "cannot hold; 2 items were not copied: they are stored in the device's "
                       "cloud library only"),
        QDir::homePath());
    settle(600);
    ok &= save(window, out + QStringLiteral("/app-status-long-end-message.png"));
    delegate.OnInformationStatusEventBottomLine(
        QStringLiteral("The copy history of this device cannot be read"),
        QStringLiteral("Tracks are not marked as copied: database disk image is malformed"));
    settle(600);
    ok &= save(window, out + QStringLiteral("/app-status-long-error.png"));
    auto sheet = [&](QWidget* dialog, const std::function<void()>& open, const QString& name) {
        open();
        settle(400);
        ok &= dialog && dialog->isVisible() && save(*dialog, out + name);
        if (dialog)
            dialog->hide();
    };
    sheet(
        delegate.copyCompleteView(), [&] { delegate.OnAllItemsCopiedEventWithType(0); },
        QStringLiteral("/sheet-copy-complete-folder.png"));
    sheet(
        delegate.copyCompleteView(), [&] { delegate.OnAllItemsCopiedEventWithType(1); },
        QStringLiteral("/sheet-copy-complete-music.png"));
    sheet(
        delegate.confirmBackupView(), [&] { delegate.BackUpClicked(); },
        QStringLiteral("/sheet-confirm-backup.png"));
    sheet(
        delegate.updateAvailablePanel(),
        [&] { delegate.OnUpdateCheckReturnsWithUpdateAvailable(true); },
        QStringLiteral("/sheet-update-available.png"));
    sheet(
        delegate.aboutWindow(), [&] { delegate.menuAboutOrvaneClicked(); },
        QStringLiteral("/window-about.png"));
    delegate.windowWillClose();
    return ok ? 0 : 1;
}
