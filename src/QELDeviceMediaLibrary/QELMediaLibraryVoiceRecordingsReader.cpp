// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELMediaLibraryVoiceRecordingsReader.h"

#include <QFileInfo>
#include <QLocale>

#include "DeviceTime.h"
#include "LocaleTime.h"
#include "Log.h"
#include "QELMediaLibraryReader.h"
#include "QELSQLiteDatabase.h"
#include "QELSQLiteHelper.h"
#include "QELSQLiteStatement.h"
#include "ThreadCheck.h"

bool QELMediaLibraryVoiceRecordingsReader::readRecordingsFromLocalPathIntoMediaLibrary(
    const QString& path, QELMediaLibraryReader* reader)
{
    assertNotOnGuiThread();
    if (!QFileInfo(path).isFile() || !reader || !reader->managedObjectContext())
        return false;
    QString error;
    QELSQLiteDatabase database = QELSQLiteDatabase::openCopyReadOnly(path, &error);
    if (!database.isOpen())
        qCWarning(lcOrvane).noquote() << "Voice memos:" << error;
    if (!database.isOpen()
        || !QELSQLiteHelper::doesDatabaseContainTable(database.handle(),
                                                      QStringLiteral("ZRECORDING")))
        return false;
    QELSQLiteStatement rows(database.handle(), QStringLiteral("SELECT * FROM ZRECORDING"));
    if (!rows.isPrepared())
        return false;
    const int cPath = rows.columnIndex(QStringLiteral("ZPATH"));
    const int cDuration = rows.columnIndex(QStringLiteral("ZDURATION"));
    const int cLabel = rows.columnIndex(QStringLiteral("ZCUSTOMLABEL"));
    const int cDate = rows.columnIndex(QStringLiteral("ZDATE"));
    const int cID = rows.columnIndex(QStringLiteral("ZITUNESPERSISTENTID"));

    std::shared_ptr<QELMediaStore> store = reader->managedObjectContext();
    QList<TrackDetailPtr> memos;
    qint64 trackNumber = 1;
    qint64 substituteID = Q_INT64_C(20090500000);
    // The memos join the store only when every row was read: a damaged
    // Recordings.db adds none rather than some.
    const bool read = rows.forEachRow([&](const QELSQLiteStatement&) {
        TrackDetailPtr track = QELMediaLibraryReader::createStoreFreeTrackDetail();
        TrackDetail& t = *track;
        t.isVoiceMemo = true;
        QString file = cPath >= 0 ? rows.text(cPath) : QString();
        if (file.isNull())
            file = QLatin1String("");
        t.path = file.remove(QStringLiteral("/var/mobile/Media/"));
        t.trackNumber = trackNumber++;
        t.genre = QStringLiteral("Voice Memo");
        if (cID < 0) {
            t.persistentID = QString::number(substituteID++);
        } else {
            // All 64 bits: the id has to match the media library's own.
            const qint64 id = rows.int64(cID);
            if (id != 0)
                t.persistentID = QString::number(id);
        }
        if (cDate >= 0) {
            const double seconds = rows.real(cDate);
            if (seconds > 0)
                t.dateCreated = DeviceTime::fromReferenceSeconds(seconds);
        }
        t.artist = QLatin1String("");
        t.album = QStringLiteral("Voice Memos");
        if (cLabel >= 0) {
            t.trackName = rows.text(cLabel);
            if (t.trackName.isNull())
                t.trackName = QLatin1String("");
        }
        if (t.trackName.isEmpty() && t.dateCreated.isValid()) {
            const QLocale locale;
            const QDateTime local = t.dateCreated.toLocalTime();
            QString title = locale.toString(local.date(), QLocale::ShortFormat);
            title += QLatin1Char(' ');
            title += LocaleTime::shortTime(local.time(), locale);
            t.trackName = title.replace(QLatin1Char('/'), QLatin1Char('-'));
        }
        if (cDuration >= 0)
            t.duration = rows.int64(cDuration) * 1000;
        memos.append(track);
        return true;
    });
    if (!read) {
        qCWarning(lcOrvane).noquote()
            << QStringLiteral("Voice memos: the rows of %1 ended with code %2: %3")
                   .arg(path)
                   .arg(rows.lastStepCode())
                   .arg(rows.errorMessage());
        return false;
    }
    rows.finalize();
    if (memos.isEmpty())
        return false;
    store->addTracks(memos);
    for (const TrackDetailPtr& memo : memos)
        memo->trackCount = memos.size();
    PlaylistPtr playlist = store->insertPlaylist();
    playlist->playlistIconName = QStringLiteral("cat_recording");
    playlist->playlistIcon = QELMediaLibraryReader::playlistIconData(playlist->playlistIconName);
    playlist->name = QStringLiteral("Voice Memos");
    playlist->isLibraryType = true;
    playlist->setTracks(memos);
    playlist->sortName = QStringLiteral("VoiceRecording");
    return true;
}
