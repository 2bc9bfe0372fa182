// SPDX-License-Identifier: GPL-3.0-or-later
// `orvane-inspect artwork FOLDER [--png DIR]`: the track artwork as the
// application's artwork reader stores it, FOLDER standing for the device's
// file system: MediaLibrary.sqlitedb (iTunes_Control/iTunes/ or FOLDER/, with
// MediaLibrary-artwork.data and the Artwork folder beside it), else ArtworkDB
// with its .ithmb files (iTunes_Control/Artwork/, iPod_Control/Artwork/ or
// FOLDER/). Every stored size once, and every artwork entry with its track.
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QJsonArray>
#include <QJsonObject>

#include "AtomicFile.h"
#include "InspectJson.h"
#include "InspectJsonStream.h"
#include "InspectSubcommand.h"
#include "Locations.h"
#include "QELDeviceImageArtworkDBReader.h"
#include "QELDeviceImageMediaLibraryArtworkDBReader.h"
#include "QELDeviceInterface.h"
#include "QELImageStore.h"
#include "QELImageUtilities.h"
#include "SafePath.h"

namespace {

const QString kMediaLibrary = QStringLiteral("MediaLibrary.sqlitedb");
const QString kITunes = QStringLiteral("/iTunes_Control/iTunes/");

struct Found {
    bool mediaLibrary = false;
    QString database;        // local path
    QString deviceFolder;    // of the ArtworkDB's pictures
    QString mediaLibraryDir; // local folder standing for /iTunes_Control/iTunes/
};

// The database the application would read: the media library's artwork
// when the device has that database, else ArtworkDB.
std::optional<Found> find(const QString& folder)
{
    const QDir root(folder);
    for (const char* where : {"iTunes_Control/iTunes", "."}) {
        const QString path = root.filePath(QLatin1String(where) + QLatin1Char('/') + kMediaLibrary);
        if (QFileInfo(path).isFile())
            return Found{true, QDir::cleanPath(path), QString(), QFileInfo(path).absolutePath()};
    }
    const std::pair<const char*, const char*> artwork[] = {
        {"iTunes_Control/Artwork/ArtworkDB", "/iTunes_Control/Artwork/"},
        {"iPod_Control/Artwork/ArtworkDB", "/iPod_Control/Artwork/"},
        {"ArtworkDB", "/"},
    };
    for (const auto& [where, deviceFolder] : artwork) {
        const QString path = root.filePath(QLatin1String(where));
        if (QFileInfo(path).isFile())
            return Found{false, QDir::cleanPath(path), QLatin1String(deviceFolder), QString()};
    }
    return std::nullopt;
}

QByteArray readRange(const QString& path, qint64 offset, qint64 length)
{
    QFile file(path);
    if (length <= 0 || offset < 0 || length > QELDeviceImageLibraryReader::kMaxFullImageBytes
        || !file.open(QIODevice::ReadOnly) || offset > file.size() || !file.seek(offset))
        return {};
    return file.read(length);
}

// A stored size as a picture. The media library's renditions are image
// files read here from the local folder, whichever layout it has; the binary
// database's go through its reader and the device over FOLDER.
QImage decode(const Found& found, const QELDeviceImageLibraryReader& reader,
              const ImageDetail& detail)
{
    if (found.mediaLibrary) {
        QString path = detail.thumbnailPath;
        if (path.startsWith(kITunes))
            path = found.mediaLibraryDir + QLatin1Char('/') + path.mid(kITunes.size());
        return QELImageUtilities::getImageFromDataForImageDetail(
            readRange(path, detail.thumbnailOffset.value_or(0), detail.dataSize.value_or(0)),
            &detail);
    }
    // A size that is a file of its own is that file, at its own size.
    if (detail.thumbnailPath.isEmpty())
        return reader.getFullImageFromDetail(&detail);
    return reader.getThumbnailImageFromDetail(&detail);
}

bool writePng(const QImage& image, const QString& path)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    return QImageWriter(&buffer, "png").write(image) && writeFileAtomically(path, bytes);
}

int inspectArtwork(const InspectRequest& request)
{
    const std::optional<Found> found = find(request.folder);
    if (!found)
        return InspectSubcommands::fail(
            QStringLiteral("no MediaLibrary.sqlitedb or ArtworkDB in %1").arg(request.input));
    const QString pngFolder = request.parser.value(QStringLiteral("png"));
    if (!pngFolder.isEmpty() && !QDir().mkpath(pngFolder))
        return InspectSubcommands::fail(QStringLiteral("cannot make the folder %1").arg(pngFolder),
                                        InspectSubcommands::kWriteFailed);
    // The readers open a private copy (with its companions), as the application's do.
    const QString scratch = Locations::makeScratchFolder(QStringLiteral("inspect"));
    if (scratch.isEmpty())
        return InspectSubcommands::fail(
            QStringLiteral("cannot make a scratch folder in the temporary folder"));
    const QString name = QFileInfo(found->database).fileName();
    for (const char* suffix : {"", "-wal", "-shm"}) {
        const QString from = found->database + QLatin1String(suffix);
        if (QFileInfo(from).isFile())
            QFile::copy(from, scratch + QLatin1Char('/') + name + QLatin1String(suffix));
    }
    int code = InspectSubcommands::kSucceeded;
    {
        std::unique_ptr<QELDeviceInterface> device =
            QELDeviceInterface::createOverFolder(QFileInfo(request.folder).absoluteFilePath());
        std::unique_ptr<QELDeviceImageLibraryReader> reader;
        QString failure;
        bool read = false;
        if (found->mediaLibrary) {
            auto ml = QELDeviceImageMediaLibraryArtworkDBReader::create(
                scratch, name, QStringLiteral("inspect-artwork.db"));
            if (ml) {
                read = ml->readImageDatabase();
                failure = ml->failureReason();
                reader = std::move(ml);
            }
        } else {
            auto db = QELDeviceImageArtworkDBReader::create(scratch, name,
                                                            QStringLiteral("inspect-artwork.db"));
            if (db) {
                db->setLibraryDirectoryOnDevice(found->deviceFolder);
                read = db->readImageDatabase();
                failure = db->failureReason();
                reader = std::move(db);
            }
        }
        if (!reader) {
            code = InspectSubcommands::fail(QStringLiteral("the image store could not be set up"));
        } else if (!read) {
            code = InspectSubcommands::fail(
                QStringLiteral("%1 cannot be read: %2").arg(found->database, failure));
        } else {
            reader->setDeviceInterface(device.get());
            InspectJsonStream out;
            out.beginObject();
            out.beginArray(QStringLiteral("images"));
            SafePath::UniqueNamer namer(pngFolder, SafePath::Numbering::Parenthesised,
                                        SafePath::Taken::UsedThisRun);
            int unwritten = 0;
            for (const ImageListPtr& list : reader->store()->imageLists()) {
                for (const ImageDetailPtr& detail : list->imageDetails) {
                    QJsonObject image;
                    image.insert(QStringLiteral("id"), InspectJson::id(list->photoID));
                    image.insert(QStringLiteral("width"), InspectJson::number(detail->width));
                    image.insert(QStringLiteral("height"), InspectJson::number(detail->height));
                    // The media library's renditions are image files.
                    image.insert(QStringLiteral("format"),
                                 InspectJson::number(found->mediaLibrary
                                                         ? detail->imageFormat.value_or(0)
                                                         : detail->imageFormat));
                    out.value(image);
                    if (pngFolder.isEmpty())
                        continue;
                    const QImage picture = decode(*found, *reader, *detail);
                    if (picture.isNull()) {
                        // Said, not failed: a size whose bytes are no picture is
                        // what the device holds.
                        InspectSubcommands::fail(
                            QStringLiteral("size %1x%2 of %3 does not decode; no PNG written")
                                .arg(detail->width.value_or(0))
                                .arg(detail->height.value_or(0))
                                .arg(list->photoID.value_or(0)));
                        continue;
                    }
                    const QString base = QStringLiteral("%1_%2x%3")
                                             .arg(list->photoID.value_or(0))
                                             .arg(detail->width.value_or(picture.width()))
                                             .arg(detail->height.value_or(picture.height()));
                    const QString path = namer.claimPath(base, QStringLiteral("png"));
                    if (path.isEmpty() || !writePng(picture, path))
                        ++unwritten;
                }
            }
            out.end();
            out.beginArray(QStringLiteral("tracks"));
            for (const ImageListPtr& list : reader->store()->imageLists()) {
                QJsonObject track;
                track.insert(QStringLiteral("persistentID"),
                             InspectJson::id(found->mediaLibrary ? list->photoID : list->songID));
                track.insert(QStringLiteral("artworkID"), InspectJson::id(list->photoID));
                out.value(track);
            }
            out.end();
            reader->setDeviceInterface(nullptr);
            code = out.finish();
            if (unwritten > 0 && code == InspectSubcommands::kSucceeded)
                code = InspectSubcommands::fail(
                    QStringLiteral("%1 PNG files could not be written").arg(unwritten),
                    InspectSubcommands::kWriteFailed);
        }
        device->shutdown();
    }
    QDir(scratch).removeRecursively();
    return code;
}

[[maybe_unused]] const bool registered = InspectSubcommands::add({
    QStringLiteral("artwork"),
    QStringLiteral("the track artwork (FOLDER: the device's files, MediaLibrary.sqlitedb with "
                   "MediaLibrary-artwork.data, or ArtworkDB with its .ithmb files); --png DIR "
                   "writes every stored size as a PNG file"),
    InspectSubcommand::Input::FolderOnly,
    false,
    QString(),
    [](QCommandLineParser& parser) {
        parser.addOption(QCommandLineOption(QStringLiteral("png"),
                                            QStringLiteral("Writes each picture to DIR as PNG."),
                                            QStringLiteral("DIR")));
    },
    inspectArtwork,
});

} // namespace
