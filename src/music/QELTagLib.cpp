// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELTagLib.h"

#include <taglib/fileref.h>
#include <taglib/mpegfile.h>

#include <QFileInfo>

#include "QELTagLibMP3Reader.h"
#include "QELTagLibMP3Writer.h"
#include "QELTagLibMP4Reader.h"
#include "QELTagLibMP4Writer.h"
#include "TagFileEdit.h"
#include "TagLibSupport.h"

namespace {

enum class Kind { MP3, MP4, Other };

Kind kindOf(const QString& path)
{
    const QString extension = QFileInfo(path).suffix().toLower();
    if (extension == QLatin1String("mp3"))
        return Kind::MP3;
    if (extension == QLatin1String("mp4") || extension == QLatin1String("m4a")
        || extension == QLatin1String("m4p"))
        return Kind::MP4;
    return Kind::Other;
}

} // namespace

std::unique_ptr<QELTagLibReader> QELTagLib::readerForPath(const QString& path)
{
    switch (kindOf(path)) {
    case Kind::MP3:
        return std::make_unique<QELTagLibMP3Reader>();
    case Kind::MP4:
        return std::make_unique<QELTagLibMP4Reader>();
    case Kind::Other:
        break;
    }
    return std::make_unique<QELTagLibReader>();
}

std::unique_ptr<QELTagLibWriter> QELTagLib::writerForPath(const QString& path)
{
    switch (kindOf(path)) {
    case Kind::MP3:
        return std::make_unique<QELTagLibMP3Writer>();
    case Kind::MP4:
        return std::make_unique<QELTagLibMP4Writer>();
    case Kind::Other:
        break;
    }
    return std::make_unique<QELTagLibWriter>();
}

QELTagMap QELTagLib::loadTagsFromFileAtPath(const QString& path) const
{
    QELTagMap map;
    if (!path.isEmpty())
        readerForPath(path)->readTagsFromFileAtPath(path, map);
    return map;
}

bool QELTagLib::saveTagsToFileAtPath(const QString& path, const QELTagMap& map,
                                     AtomicFileBatch* batch) const
{
    if (path.isEmpty())
        return false;
    const std::unique_ptr<QELTagLibWriter> writer = writerForPath(path);
    return TagFileEdit::editInCopy(
        path, [&](const QString& copy) { return writer->writeTagsToFileAtPath(copy, map); }, batch);
}

bool QELTagLib::addArtwokImageToFileAtPath(const QString& path, const QString& imagePath) const
{
    if (path.isEmpty() || imagePath.isEmpty())
        return false;
    const std::unique_ptr<QELTagLibWriter> writer = writerForPath(path);
    return TagFileEdit::editInCopy(
        path, [&](const QString& copy) { return writer->addArtworkToFileAtPath(copy, imagePath); });
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
    if (kindOf(path) == Kind::MP4 && !TagLibSupport::mp4AtomsFitFile(path))
        return false;
    return TagLibSupport::guarded("Opening", path, false, [&] {
        const QByteArray name = TagLibSupport::fileName(path);
        const TagLib::FileRef file(name.constData(), false);
        if (file.isNull() || !file.tag())
            return false;
        // TagLib takes any bytes for an MPEG file; one with neither a tag nor a frame is none.
        auto* mpeg = dynamic_cast<TagLib::MPEG::File*>(file.file());
        return !mpeg
            || (!QELTagLibMP3Reader::hasTruncatedID3v2Tag(*mpeg)
                && (mpeg->hasID3v2Tag() || mpeg->hasID3v1Tag() || mpeg->hasAPETag()
                    || mpeg->firstFrameOffset() >= 0));
    });
}
