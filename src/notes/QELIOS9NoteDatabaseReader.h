// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>

#include <QHash>
#include <QList>
#include <QString>

#include "QELDeviceBackupListingItem.h"
#include "QELNoteDatabaseReader.h"

class BackupFileSource;
class QELIOS9NoteDetail;
class QELMediaNoteContent;
class QELSQLiteDatabase;
struct sqlite3;

// Reads the note store (NoteStore.sqlite, iOS 9 and later) into notes with
// their accounts and folders, adds the notes of non-Apple accounts from the
// older database (notes.sqlite), and on request decodes one note's body and
// copies its attachments into the attachments folder.
//
// Stores differ by system version, so the reader probes rather than assumes:
// entity numbers come from Z_PRIMARYKEY, the account from the first
// ZACCOUNT<n> column naming an account row, the folder from ZFOLDER or the
// Z_<n>NOTES join table, the creation date from the first of ZCREATIONDATE3,
// ZCREATIONDATE2, ZCREATIONDATE1 and ZCREATIONDATE that holds one. Locked
// notes are listed without a body; hashtags and mentions read as their text.
class QELIOS9NoteDatabaseReader : public QELNoteDatabaseReader {
public:
    // The backup domain of every note file.
    static const QString kNotesDomain;

    // A null or empty legacy path: there are no non-Apple notes to add.
    QELIOS9NoteDatabaseReader(const QString& notesDbPath, const QString& legacyPath);

    // The files of the notes domain are listed at once. Not owned.
    void setDeviceBackup(BackupFileSource* backup);
    BackupFileSource* deviceBackup() const { return m_deviceBackup; }

    NoteList getAllNotes() override;
    bool extractMediaForNote(QELNoteDetail& note) override;
    std::unique_ptr<MediaSession> openMediaSession() override;
    bool extractMediaInSession(QELNoteDetail& note, MediaSession* session) override;
    QString className() const override { return QStringLiteral("QELIOS9NoteDatabaseReader"); }

    // Where the attachments' local copies go: "attachments" in the temporary folder.
    QString attachmentFolderPath() const { return m_attachmentFolderPath; }

    // Of several previews, the one whose name carries the largest "<W>x<H>"
    // (the last such size in its path below "Previews/": later systems keep
    // "Previews/<id>-1-<W>x<H>-0/<n>_<uuid>/Preview.png"); the first of equal
    // sizes. None when no name carries a size.
    static std::optional<QELDeviceBackupListingItem> parsePathsForLargestPreviewSize(
        const QList<QELDeviceBackupListingItem>& items);
    // The extension a local copy gets from a device file name: the part after
    // its last "." when that is 1 to 8 letters or digits, else "dat" (a name
    // like "x.a/../../y" must not name a path).
    static QString safeFileType(const QString& fileName);

private:
    struct Entities {
        int note = 9;
        int account = 11;
        int folder = 12;
    };
    // A local copy made from a device file.
    struct LocalCopy {
        QString path;
        QString fileType;
        bool isPicture = true;
    };

    QList<std::shared_ptr<QELIOS9NoteDetail>> getNotesArray(const QELSQLiteDatabase& db);
    QList<std::shared_ptr<QELIOS9NoteDetail>> getNonAppleAccountNotes();
    QByteArray getBlobDataForNote(sqlite3* db, qint64 noteKey) const;
    class StoreSession;

    void getMediaForNote(sqlite3* db, QELIOS9NoteDetail& note);
    void getMediaDataForNoteContent(sqlite3* db, const QList<QELMediaNoteContent*>& parts);
    void extractImageContent(QELMediaNoteContent& part);
    void extractSketchContent(QELMediaNoteContent& part);
    void extractVideoContent(QELMediaNoteContent& part);
    void extractFileContent(QELMediaNoteContent& part);
    // The attachment's own file: the listing item of its media row.
    std::optional<QELDeviceBackupListingItem> mediaItem(const QELMediaNoteContent& part);
    std::optional<QELDeviceBackupListingItem> extractMediaPreview(const QELMediaNoteContent& part);
    // A drawing's full picture, "FallbackImages/<id>.jpg" or
    // "FallbackImages/<id>/<generation>/FallbackImage.png", for one without previews.
    std::optional<QELDeviceBackupListingItem> fallbackImage(const QELMediaNoteContent& part);
    std::optional<LocalCopy> processImageFile(const QELDeviceBackupListingItem& item,
                                              const QString& fileType, int orientation);
    std::optional<LocalCopy> processMediaFile(const QELDeviceBackupListingItem& item,
                                              const QString& fileType);
    // A private copy of the item's file from the backup; empty when none.
    QString privateCopy(const QELDeviceBackupListingItem& item) const;
    QString localName(const QELDeviceBackupListingItem& item, const QString& fileType) const;
    const QList<QELDeviceBackupListingItem>& filesInNotesDomain();

    QString m_databasePath;
    QString m_legacyPath;
    QString m_attachmentFolderPath;
    BackupFileSource* m_deviceBackup = nullptr;
    QList<QELDeviceBackupListingItem> m_filesInNotesDomain;
    bool m_listed = false;
};
