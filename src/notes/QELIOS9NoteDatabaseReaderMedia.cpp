// SPDX-License-Identifier: GPL-3.0-or-later
// The attachments of a note-store note: their rows, their files in the
// backup, and the local copies the pages show (images turned upright).
#include <sqlite3.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QRegularExpression>
#include <QTransform>

#include "AtomicFile.h"
#include "BackupFileSource.h"
#include "Locations.h"
#include "Log.h"
#include "QELIOS9NoteDataReader.h"
#include "QELIOS9NoteDatabaseReader.h"
#include "QELIOS9NoteDetail.h"
#include "QELImageUtilities.h"
#include "QELMediaNoteContent.h"
#include "QELSQLiteHelper.h"
#include "QELSQLiteStatement.h"
#include "QELSQLiteStepBudget.h"
#include "SafePath.h"

namespace {

// Larger than any photo a phone takes; a hostile file is not read whole.
constexpr qint64 kMaxImageFileSize = qint64(256) * 1024 * 1024;

QString lastComponent(const QString& path) { return path.section(QLatin1Char('/'), -1); }

// A backup answers private copies in the temporary folder; anything else (a
// file inside a backup folder) is only read, never moved or removed.
bool isPrivateCopy(const QString& path)
{
    const QString temporary = Locations::temporaryFolder();
    return !temporary.isEmpty() && SafePath::isInside(temporary, path);
}

void removePrivateCopy(const QString& path)
{
    if (isPrivateCopy(path))
        QFile::remove(path);
}

// Moves a private copy into place (one rename on one disk), else copies it.
bool keepCopyAs(const QString& copy, const QString& target)
{
    if (isPrivateCopy(copy) && QFile::rename(copy, target))
        return true;
    const bool copied = QFile::copy(copy, target);
    removePrivateCopy(copy);
    return copied;
}

} // namespace

QString QELIOS9NoteDatabaseReader::safeFileType(const QString& fileName)
{
    static const QRegularExpression kExtension(QStringLiteral("^[A-Za-z0-9]{1,8}$"));
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    if (dot < 0)
        return QStringLiteral("dat");
    const QString type = fileName.mid(dot + 1);
    return kExtension.match(type).hasMatch() ? type : QStringLiteral("dat");
}

std::optional<QELDeviceBackupListingItem> QELIOS9NoteDatabaseReader::
    parsePathsForLargestPreviewSize(const QList<QELDeviceBackupListingItem>& items)
{
    static const QRegularExpression kSize(QStringLiteral("(\\d+)x(\\d+)"));
    std::optional<QELDeviceBackupListingItem> best;
    quint64 bestArea = 0;
    for (const QELDeviceBackupListingItem& item : items) {
        const QString path = item.relativePath();
        const qsizetype previews = path.lastIndexOf(QLatin1String("Previews/"));
        const QString name =
            (previews >= 0 ? path.mid(previews + 9) : lastComponent(path)).toLower();
        QRegularExpressionMatchIterator it = kSize.globalMatch(name);
        QRegularExpressionMatch last;
        while (it.hasNext())
            last = it.next();
        if (!last.hasMatch())
            continue;
        // Nine digits a side is beyond any preview; longer runs must not overflow.
        const quint64 width = last.captured(1).right(9).toULongLong();
        const quint64 height = last.captured(2).right(9).toULongLong();
        const quint64 area = width * height;
        if (!best || area > bestArea) {
            best = item;
            bestArea = area;
        }
    }
    return best;
}

void QELIOS9NoteDatabaseReader::getMediaForNote(sqlite3* db, QELIOS9NoteDetail& note)
{
    if (!note.content() || note.content()->isEmpty())
        return;
    QList<QELMediaNoteContent*> parts;
    for (const std::shared_ptr<QELNoteContent>& part : *note.content())
        if (auto* media = dynamic_cast<QELMediaNoteContent*>(part.get()))
            parts.append(media);
    if (parts.isEmpty())
        return;
    getMediaDataForNoteContent(db, parts);
    // An attachment of another kind with a file of its own (a PDF, a
    // recording, any file) is linked by its name rather than left out.
    for (QELMediaNoteContent* part : std::as_const(parts)) {
        if (part->contentFormat() == QELNoteContent::kUnresolved && part->mediaData()
            && part->mediaData()->mediaId() != 0 && !part->mediaData()->mediaFileName().isEmpty()
            && mediaItem(*part))
            part->setContentFormat(QELNoteContent::kFile);
    }
    // A type found only on the attachment's row may have made a placeholder
    // shown: the shown ones are numbered again in order.
    int exportCounter = 1;
    for (QELMediaNoteContent* part : std::as_const(parts))
        if (part->contentFormat() != QELNoteContent::kUnresolved
            && part->contentFormat() != QELNoteContent::kTable)
            part->setExportName(QString::number(exportCounter++));
    for (QELMediaNoteContent* part : std::as_const(parts)) {
        const bool hasRow = part->mediaData() && part->mediaData()->mediaId() != 0;
        switch (part->contentFormat()) {
        case QELNoteContent::kSketch:
            extractSketchContent(*part);
            break;
        case QELNoteContent::kImage:
            if (hasRow)
                extractImageContent(*part);
            break;
        case QELNoteContent::kVideo:
            if (hasRow)
                extractVideoContent(*part);
            break;
        case QELNoteContent::kFile:
            extractFileContent(*part);
            break;
        default:
            break;
        }
    }
}

void QELIOS9NoteDatabaseReader::getMediaDataForNoteContent(sqlite3* db,
                                                           const QList<QELMediaNoteContent*>& parts)
{
    const QString objects = QStringLiteral("ZICCLOUDSYNCINGOBJECT");
    auto column = [db, &objects](const char* name) {
        return QELSQLiteHelper::columnOrNull(db, objects, QString::fromLatin1(name));
    };
    // The row's type stands in for a body that names none; newer stores keep
    // it in ZTYPEUTI1.
    const QString rowType = QStringLiteral("COALESCE(NULLIF(%1, ''), NULLIF(%2, ''))")
                                .arg(column("ZTYPEUTI1"), column("ZTYPEUTI"));
    // A table keeps its cells on its own row, in the column later stores
    // number ZMERGEABLEDATA1.
    const QString mergeable =
        QStringLiteral("COALESCE(%1, %2)").arg(column("ZMERGEABLEDATA1"), column("ZMERGEABLEDATA"));
    QELSQLiteStatement attachment(
        db,
        QStringLiteral("SELECT %1, %2, %3, %4, %5, "
                       "CASE WHEN COALESCE(NULLIF(?2, ''), %5) = 'com.apple.notes.table' "
                       "THEN %6 END "
                       "FROM ZICCLOUDSYNCINGOBJECT WHERE ZIDENTIFIER = ?1")
            .arg(column("ZMEDIA"), column("ZORIENTATION"), column("ZSIZEHEIGHT"),
                 column("ZSIZEWIDTH"), rowType, mergeable));
    QELSQLiteStatement media(
        db,
        QStringLiteral("SELECT ZIDENTIFIER, %1 FROM ZICCLOUDSYNCINGOBJECT WHERE Z_PK = ?1")
            .arg(column("ZFILENAME")));
    for (QELMediaNoteContent* part : parts) {
        QELNoteMediaDetail detail;
        if (!part->identifier().isEmpty() && attachment.isPrepared()) {
            attachment.reset();
            attachment.bindText(1, part->identifier());
            attachment.bindText(2, part->typeIdentifier());
            // The last row wins.
            QString type;
            QByteArray table;
            const bool complete =
                attachment.forEachRow([&detail, &type, &table](const QELSQLiteStatement& row) {
                    detail.setMediaId(row.int64(0));
                    detail.setOrientation(int(row.int64(1)));
                    detail.setHeight(row.real(2));
                    detail.setWidth(row.real(3));
                    type = row.text(4);
                    table = row.blob(5);
                    return true;
                });
            if (!complete) {
                QELSQLiteStepBudget::Read::failCurrent(
                    QStringLiteral("the attachments of a note could not be read"),
                    attachment.errorMessage());
                return;
            }
            if (part->typeIdentifier().isEmpty() && !type.isEmpty()) {
                part->setTypeIdentifier(type);
                part->setContentFormat(QELIOS9NoteDataReader::formatTypeForTypeIdentifier(type));
            }
            if (part->contentFormat() == QELNoteContent::kUnresolved && !table.isEmpty()) {
                // A table that cannot be read keeps its placeholder.
                if (const std::optional<QELIOS9NoteDataReader::TableRows> rows =
                        QELIOS9NoteDataReader::readTableData(table)) {
                    part->setTableRows(*rows);
                    part->setContentFormat(QELNoteContent::kTable);
                }
            }
        }
        if (detail.mediaId() != 0 && media.isPrepared()) {
            media.reset();
            media.bindInt64(1, detail.mediaId());
            if (media.step()) {
                detail.setMediaIdentifier(media.text(0));
                detail.setMediaFileName(media.text(1));
            } else if (media.failed()) {
                QELSQLiteStepBudget::Read::failCurrent(
                    QStringLiteral("the media of a note could not be read"), media.errorMessage());
                return;
            }
        }
        part->setMediaData(detail);
    }
}

std::optional<QELDeviceBackupListingItem> QELIOS9NoteDatabaseReader::mediaItem(
    const QELMediaNoteContent& part)
{
    if (!part.mediaData())
        return std::nullopt;
    const QString identifier = part.mediaData()->mediaIdentifier();
    const QString fileName = part.mediaData()->mediaFileName();
    if (identifier.isEmpty() || fileName.isEmpty())
        return std::nullopt;
    // iOS 9 and 10 keep "Media/<id>/<name>"; later systems
    // "Accounts/<account>/Media/<id>/<generation>/<name>".
    const QString folder = QStringLiteral("Media/") + identifier + QLatin1Char('/');
    const QString ending = QLatin1Char('/') + fileName;
    for (const QELDeviceBackupListingItem& item : filesInNotesDomain()) {
        const QString path = item.relativePath();
        if (path.endsWith(ending) && path.contains(folder)
            && (path.startsWith(folder) || path.contains(QLatin1Char('/') + folder)))
            return item;
    }
    return std::nullopt;
}

std::optional<QELDeviceBackupListingItem> QELIOS9NoteDatabaseReader::extractMediaPreview(
    const QELMediaNoteContent& part)
{
    if (part.identifier().isEmpty())
        return std::nullopt;
    const QString wanted = QStringLiteral("Previews/") + part.identifier();
    QList<QELDeviceBackupListingItem> candidates;
    for (const QELDeviceBackupListingItem& item : filesInNotesDomain())
        if (item.relativePath().contains(wanted))
            candidates.append(item);
    if (candidates.isEmpty())
        return std::nullopt;
    return parsePathsForLargestPreviewSize(candidates);
}

std::optional<QELDeviceBackupListingItem> QELIOS9NoteDatabaseReader::fallbackImage(
    const QELMediaNoteContent& part)
{
    if (part.identifier().isEmpty())
        return std::nullopt;
    const QString flat = QStringLiteral("FallbackImages/") + part.identifier() + QLatin1Char('.');
    const QString folder = QStringLiteral("FallbackImages/") + part.identifier() + QLatin1Char('/');
    std::optional<QELDeviceBackupListingItem> found;
    for (const QELDeviceBackupListingItem& item : filesInNotesDomain()) {
        const QString path = item.relativePath();
        if (path.contains(folder)
            && lastComponent(path).startsWith(QLatin1String("FallbackImage."))) {
            // Of several generations the last listed; a flat one is older.
            found = item;
        } else if (!found && path.contains(flat)
                   && !path.mid(path.lastIndexOf(flat) + flat.size()).contains(QLatin1Char('/'))) {
            found = item;
        }
    }
    return found;
}

QString QELIOS9NoteDatabaseReader::privateCopy(const QELDeviceBackupListingItem& item) const
{
    if (!m_deviceBackup)
        return {};
    return m_deviceBackup->GetPathForDeviceFileNameInDomain(item.relativePath(), kNotesDomain);
}

QString QELIOS9NoteDatabaseReader::localName(const QELDeviceBackupListingItem& item,
                                             const QString& fileType) const
{
    // Backup file names are hexadecimal digests; anything else is made safe.
    const QString base = SafePath::fileName(item.backupFile(), QStringLiteral("attachment"));
    return m_attachmentFolderPath + QLatin1Char('/') + base + QLatin1Char('.') + fileType;
}

std::optional<QELIOS9NoteDatabaseReader::LocalCopy> QELIOS9NoteDatabaseReader::processImageFile(
    const QELDeviceBackupListingItem& item, const QString& fileType, int orientation)
{
    if (m_attachmentFolderPath.isEmpty() || !QDir().mkpath(m_attachmentFolderPath))
        return std::nullopt;
    // Pictures are written as PNG or JPEG, the two a page shows everywhere; a
    // HEIC or TIFF re-encoded as JPEG is named so.
    const QString lower = fileType.toLower();
    const bool png = lower.contains(QLatin1String("png"));
    const QString outputType =
        png || lower == QLatin1String("jpg") || lower == QLatin1String("jpeg")
        ? fileType
        : QStringLiteral("jpg");
    const QString target = localName(item, outputType);
    if (QFileInfo(target).isFile())
        return LocalCopy{target, outputType, true};

    const QString copy = privateCopy(item);
    if (copy.isEmpty())
        return std::nullopt;
    QByteArray bytes;
    {
        QFile file(copy);
        if (file.size() <= kMaxImageFileSize && file.open(QIODevice::ReadOnly))
            bytes = file.readAll();
    }
    if (bytes.isEmpty()) {
        removePrivateCopy(copy);
        return std::nullopt;
    }

    // The file's own orientation, when it has one, is applied by the decoder;
    // without it the attachment row's orientation (UIImage's: 1 down, 2 left,
    // 3 right) decides. HEIC pictures are turned by their container already.
    const std::optional<int> own = QELImageUtilities::exifOrientation(bytes);
    QImage image = QELImageUtilities::imageFromFileData(bytes);
    if (!image.isNull() && (!own || *own == 1) && !QELImageUtilities::isHeifData(bytes)) {
        int degrees = 0; // clockwise, as the page shows it
        switch (orientation) {
        case 1:
            degrees = 180;
            break;
        case 2:
            degrees = 270;
            break;
        case 3:
            degrees = 90;
            break;
        default:
            break;
        }
        if (degrees != 0)
            image = image.transformed(QTransform().rotate(degrees));
    }

    if (image.isNull()) {
        // Kept as it is, so the export still has it; the page names it.
        const QString unchanged = localName(item, fileType);
        bool kept = QFileInfo(unchanged).isFile();
        if (kept)
            removePrivateCopy(copy);
        else
            kept = keepCopyAs(copy, unchanged);
        if (!kept)
            return std::nullopt;
        return LocalCopy{unchanged, fileType, false};
    }
    removePrivateCopy(copy);

    QByteArray encoded;
    {
        QBuffer buffer(&encoded);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, png ? "png" : "jpeg");
        writer.setQuality(100);
        if (!writer.write(image)) {
            qCWarning(lcOrvane) << "A note picture could not be encoded:" << writer.errorString();
            return std::nullopt;
        }
    }
    QString error;
    if (!writeFileAtomically(target, encoded, &error)) {
        qCWarning(lcOrvane) << "A note picture could not be written:" << error;
        return std::nullopt;
    }
    return LocalCopy{target, outputType, true};
}

std::optional<QELIOS9NoteDatabaseReader::LocalCopy> QELIOS9NoteDatabaseReader::processMediaFile(
    const QELDeviceBackupListingItem& item, const QString& fileType)
{
    if (m_attachmentFolderPath.isEmpty() || !QDir().mkpath(m_attachmentFolderPath))
        return std::nullopt;
    const QString target = localName(item, fileType);
    if (QFileInfo(target).isFile())
        return LocalCopy{target, fileType, true};
    const QString copy = privateCopy(item);
    if (copy.isEmpty())
        return std::nullopt;
    if (!keepCopyAs(copy, target))
        return std::nullopt;
    return LocalCopy{target, fileType, true};
}

void QELIOS9NoteDatabaseReader::extractImageContent(QELMediaNoteContent& part)
{
    if (const std::optional<QELDeviceBackupListingItem> item = mediaItem(part)) {
        const QString fileType = safeFileType(part.mediaData()->mediaFileName());
        part.setFileType(fileType);
        if (const std::optional<LocalCopy> local =
                processImageFile(*item, fileType, part.mediaData()->orientation())) {
            part.setFileName(local->path);
            part.setFileType(local->fileType);
            part.setIsPicture(local->isPicture);
            return;
        }
    }
    // A picture kept only in the cloud still has its previews in the backup:
    // the largest is shown rather than nothing.
    const std::optional<QELDeviceBackupListingItem> preview = extractMediaPreview(part);
    if (!preview)
        return;
    const QString previewType = safeFileType(preview->relativePath());
    if (const std::optional<LocalCopy> local =
            processImageFile(*preview, previewType, part.mediaData()->orientation());
        local && local->isPicture) {
        part.setFileName(local->path);
        part.setFileType(local->fileType);
        part.setIsPicture(true);
    }
}

void QELIOS9NoteDatabaseReader::extractFileContent(QELMediaNoteContent& part)
{
    const std::optional<QELDeviceBackupListingItem> item = mediaItem(part);
    if (!item)
        return;
    const QString fileType = safeFileType(part.mediaData()->mediaFileName());
    if (const std::optional<LocalCopy> local = processMediaFile(*item, fileType)) {
        part.setFileName(local->path);
        part.setFileType(local->fileType);
        part.setIsPicture(false);
    }
}

void QELIOS9NoteDatabaseReader::extractVideoContent(QELMediaNoteContent& part)
{
    if (const std::optional<QELDeviceBackupListingItem> item = mediaItem(part)) {
        const QString fileType = safeFileType(part.mediaData()->mediaFileName());
        part.setFileType(fileType);
        if (const std::optional<LocalCopy> local = processMediaFile(*item, fileType))
            part.setFileName(local->path);
    }
    if (const std::optional<QELDeviceBackupListingItem> preview = extractMediaPreview(part)) {
        const QString previewType = safeFileType(preview->relativePath());
        if (const std::optional<LocalCopy> local =
                processImageFile(*preview, previewType, part.mediaData()->orientation());
            local && local->isPicture)
            part.mediaData()->setPreviewPath(local->path);
    }
}

void QELIOS9NoteDatabaseReader::extractSketchContent(QELMediaNoteContent& part)
{
    std::optional<QELDeviceBackupListingItem> preview = extractMediaPreview(part);
    if (!preview)
        preview = fallbackImage(part);
    if (!preview)
        return;
    const QString previewType = safeFileType(preview->relativePath());
    const int orientation = part.mediaData() ? part.mediaData()->orientation() : 0;
    if (const std::optional<LocalCopy> local =
            processImageFile(*preview, previewType, orientation)) {
        part.setFileName(local->path);
        part.setFileType(local->fileType);
        part.setIsPicture(local->isPicture);
    }
}
