// SPDX-License-Identifier: GPL-3.0-or-later
// bench_music_view: a media database of 50,000 tracks and 500 playlists is
// read into a store and attached to the music view under an offscreen
// application. A 5 ms timer records the longest gap of the event loop while
// the view is attached, LIBRARY is selected, a three-letter search is typed,
// a genre is chosen, the search is cleared, a playlist of 10,000 tracks is
// selected and the track table is scrolled. Prints the time until the
// listing shows and the longest stall of each step. Aim: no stall over 50 ms.
#include <cstdio>

#include <QApplication>
#include <QElapsedTimer>
#include <QListView>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>

#include "MediaLibraryFixture.h"
#include "MusicViewModels.h"
#include "QELDeviceMediaLibrary.h"
#include "QELMusicView.h"

namespace {

constexpr int kTracks = 50000;
constexpr int kPlaylists = 500;
constexpr int kBigPlaylist = 10000;

const char* const kGenres[] = {"Rock",       "Jazz",      "Pop",   "Folk",
                               "Electronic", "Classical", "Indie", "Soul"};
const char* const kWords[] = {"Paper",  "Lantern", "Harbour", "Static", "Summer",   "Orchard",
                              "Signal", "Blue",    "River",   "Golden", "Northern", "Quiet"};

// The longest gap between two ticks of a 5 ms timer since the last reset.
class StallProbe {
public:
    StallProbe()
    {
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            if (m_last > 0)
                m_longest = std::max(m_longest, now - m_last);
            m_last = now;
        });
        m_clock.start();
        m_timer.start();
    }
    void reset()
    {
        m_longest = 0;
        m_last = m_clock.nsecsElapsed();
    }
    double longestMs() const { return double(m_longest) / 1e6; }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_longest = 0;
};

bool waitFor(const std::function<bool()>& done, int limitMs = 120000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > limitMs)
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

void spin(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    MediaLibraryFixture fixture;
    fixture.primaryContainer = 1;
    for (int i = 0; i < kTracks; ++i) {
        MediaLibraryFixture::Item item;
        item.pid = 1000 + i;
        item.title = QStringLiteral("%1 %2 %3")
                         .arg(QString::fromLatin1(kWords[i % 12]),
                              QString::fromLatin1(kWords[(i / 12) % 12]))
                         .arg(i);
        item.artist = QStringLiteral("Artist %1").arg(i % 2000);
        item.album = QStringLiteral("Album %1").arg(i % 5000);
        item.genre = QString::fromLatin1(kGenres[i % 8]);
        item.trackNumber = i % 12 + 1;
        item.durationMs = 180000 + i % 60000;
        item.location = QStringLiteral("T%1.mp3").arg(i);
        fixture.items << item;
    }
    MediaLibraryFixture::Container library;
    library.pid = 1;
    library.name = QStringLiteral("Library");
    for (int i = 0; i < kTracks; ++i)
        library.items << 1000 + i;
    fixture.containers << library;
    for (int p = 0; p < kPlaylists; ++p) {
        MediaLibraryFixture::Container c;
        c.pid = 10 + p;
        c.name = p == 0 ? QStringLiteral("Big List") : QStringLiteral("List %1").arg(p);
        const int size = p == 0 ? kBigPlaylist : 20 + p % 80;
        for (int i = 0; i < size; ++i)
            c.items << 1000 + (i * 7 + p * 13) % kTracks;
        fixture.containers << c;
    }
    QString error;
    if (!fixture.write(dir.path() + QStringLiteral("/MediaLibrary.sqlitedb"), &error)) {
        std::fprintf(stderr, "could not write the media database: %s\n", qPrintable(error));
        return 1;
    }
    auto media = std::make_shared<QELDeviceMediaLibrary>(dir.path());
    QElapsedTimer readTimer;
    readTimer.start();
    if (!media->readMediaLibrary()) {
        std::fprintf(stderr, "could not read the media database\n");
        return 1;
    }
    std::printf("read %d tracks and %d playlists in %lld ms (not measured below)\n", kTracks,
                kPlaylists, static_cast<long long>(readTimer.elapsed()));

    QELMusicView view(QRect(0, 0, 1200, 800));
    view.QWidget::resize(1200, 800);
    view.show();
    StallProbe probe;
    spin(100);
    bool ok = true;
    auto step = [&](const char* name, const std::function<void()>& act) {
        probe.reset();
        QElapsedTimer timer;
        timer.start();
        act();
        ok &= waitFor([&] { return !view.isBusy(); });
        spin(30);
        std::printf("%-38s %7.1f ms until answered, longest stall %6.1f ms\n", name,
                    double(timer.nsecsElapsed()) / 1e6, probe.longestMs());
    };

    step("attach and show the listing", [&] {
        view.setLibraries(media, nullptr, nullptr);
        ok &= waitFor([&] { return view.trackDetails().size() >= kTracks; });
    });
    step("select LIBRARY", [&] { view.selectHeading(MusicView::kLibrary); });
    step("type a three-letter search", [&] {
        for (const char* text : {"p", "pa", "pap"}) {
            view.search(QString::fromLatin1(text));
            spin(40);
        }
    });
    step("choose a genre",
         [&] { view.selectBrowseValue(view.genreList(), QStringLiteral("Jazz")); });
    step("clear the search", [&] { view.search(QString()); });
    step("select a 10,000-track playlist", [&] {
        view.selectPlaylistsNamed({QStringLiteral("Big List")});
        ok &= waitFor([&] { return !view.isBusy(); });
        view.selectBrowseValue(view.genreList(), view.genres().value(0));
    });
    std::printf("big list shows %lld tracks\n", static_cast<long long>(view.trackDetails().size()));
    step("scroll the track table", [&] {
        QScrollBar* bar = view.trackTable()->verticalScrollBar();
        for (int i = 0; i <= 40; ++i) {
            bar->setValue(bar->maximum() * i / 40);
            spin(10);
        }
    });
    step("select LIBRARY again", [&] { view.selectHeading(MusicView::kLibrary); });
    step("sort 50,000 tracks by a column header", [&] {
        view.sortByColumnHeader(MusicView::TrackTableModel::NameColumn, Qt::AscendingOrder);
    });
    if (!ok) {
        std::fprintf(stderr, "a step did not end\n");
        return 1;
    }
    return 0;
}
