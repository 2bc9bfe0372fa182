// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELTagLib.h"

#include <taglib/fileref.h>
#include <taglib/mpegfile.h>

#include <QFileInfo>
#include <QStringList>

#include "Log.h"
#include "QELTagLibMP3Reader.h"
#include "QELTagLibMP3Writer.h"
#include "QELTagLibMP4Reader.h"
#include "QELTagLibMP4Writer.h"
#include "TagFileEdit.h"
#include "TagLibSupport.h"

using TagLibSupport::AudioKind;

namespace {

// Extensions TagLib opens by name alone; a file of one of them whose bytes
// are another kind's (or that has no frame near its start) is not given to
// TagLib at all, so it neither searches a huge file nor misreads one.
bool namesKnownKind(const QString& path)
{
    static const QStringList known = {
        QStringLiteral("mp3"),  QStringLiteral("m4a"),  QStringLiteral("mp4"),
        QStringLiteral("m4p"),  QStringLiteral("m4b"),  QStringLiteral("wav"),
        QStringLiteral("aif"),  QStringLiteral("aiff"), QStringLiteral("aifc"),
        QStringLiteral("flac"), QStringLiteral("ogg"),  QStringLiteral("oga"),
        QStringLiteral("opus")};
    return known.contains(QFileInfo(path).suffix().toLower());
}

} // namespace

std::unique_ptr<QELTagLibReader> QELTagLib::readerForPath(const QString& path)
{
    // By the name: each reader checks the bytes itself.
    const QString extension = QFileInfo(path).suffix().toLower();
    if (extension == QLatin1String("mp3"))
        return std::make_unique<QELTagLibMP3Reader>();
    if (extension == QLatin1String("mp4") || extension == QLatin1String("m4a")
        || extension == QLatin1String("m4p"))
        return std::make_unique<QELTagLibMP4Reader>();
    return std::make_unique<QELTagLibReader>();
}

std::unique_ptr<QELTagLibWriter> QELTagLib::writerForPath(const QString& path)
{
    return QELTagLibWriter::writerFor(TagLibSupport::audioKindOf(path));
}

bool QELTagLib::canWriteTagsOfFileAtPath(const QString& path)
{
    return TagLibSupport::audioKindOf(path) != AudioKind::Unknown;
}

bool QELTagLib::writeTagsAndReadBack(const QString& path, const QELTagMap& map)
{
    const AudioKind kind = TagLibSupport::audioKindOf(path);
    if (kind == AudioKind::Unknown)
        return false;
    if (!QELTagLibWriter::writerFor(kind)->writeTagsToFileAtPath(path, map))
        return false;
    const QString problem = TagLibSupport::writtenFileProblem(path, kind, map.TrackName());
    if (!problem.isEmpty()) {
        qCWarning(lcOrvane) << "The retagged copy of" << path << "is not sound:" << problem;
        return false;
    }
    return true;
}

QELTagMap QELTagLib::loadTagsFromFileAtPath(const QString& path) const
{
    QELTagMap map;
    if (path.isEmpty())
        return map;
    if (namesKnownKind(path) && TagLibSupport::audioKindOf(path) == AudioKind::Unknown)
        return map;
    readerForPath(path)->readTagsFromFileAtPath(path, map);
    return map;
}

bool QELTagLib::saveTagsToFileAtPath(const QString& path, const QELTagMap& map,
                                     AtomicFileBatch* batch) const
{
    if (path.isEmpty())
        return false;
    if (!canWriteTagsOfFileAtPath(path))
        return false;
    return TagFileEdit::editInCopy(
        path, [&](const QString& copy) { return writeTagsAndReadBack(copy, map); }, batch);
}

bool QELTagLib::addArtwokImageToFileAtPath(const QString& path, const QString& imagePath) const
{
    if (path.isEmpty() || imagePath.isEmpty())
        return false;
    const AudioKind kind = TagLibSupport::audioKindOf(path);
    if (kind == AudioKind::Unknown)
        return false;
    if (kind != AudioKind::MP3 && kind != AudioKind::MP4) {
        QELTagMap map;
        map.setArtworkPath(imagePath);
        map.setArtworkState(QELTagMap::kArtworkEmbed);
        return saveTagsToFileAtPath(path, map);
    }
    const std::unique_ptr<QELTagLibWriter> writer = writerForPath(path);
    return TagFileEdit::editInCopy(path, [&](const QString& copy) {
        return writer->addArtworkToFileAtPath(copy, imagePath)
            && TagLibSupport::writtenFileProblem(copy, kind).isEmpty();
    });
}

bool QELTagLib::removeArtworkImageFromFileAtPath(const QString& path) const
{
    if (path.isEmpty())
        return false;
    const std::unique_ptr<QELTagLibWriter> writer = writerForPath(path);
    return TagFileEdit::editInCopy(
        path, [&](const QString& copy) { return writer->removeArtworkFromFileAtPath(copy); });
}

bool QELTagLib::canOpenFileAtPath(const QString& path)
{
    if (path.isEmpty() || QFileInfo(path).size() <= 0)
        return false;
    const AudioKind kind = TagLibSupport::audioKindOf(path);
    if (namesKnownKind(path) && kind == AudioKind::Unknown)
        return false;
    if (kind == AudioKind::MP4 && !TagLibSupport::mp4AtomsFitFile(path))
        return false;
    return TagLibSupport::guarded("Opening", path, false, [&] {
        const QByteArray name = TagLibSupport::fileName(path);
        const TagLib::FileRef file(name.constData(), false);
        if (file.isNull() || !file.tag())
            return false;
        // TagLib takes any bytes for an MPEG file; one with neither a tag nor a frame is none.
        auto* mpeg = dynamic_cast<TagLib::MPEG::File*>(file.file());
        // The kind check made sure a frame is near the start (or the file is
        // short), so TagLib's own search for one ends soon.
        return !mpeg
            || (!QELTagLibMP3Reader::hasTruncatedID3v2Tag(*mpeg)
                && (mpeg->hasID3v2Tag() || mpeg->hasID3v1Tag() || mpeg->hasAPETag()
                    || mpeg->firstFrameOffset() >= 0));
    });
}
