// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELMessageHTMLFormatter.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "CopyFailure.h"
#include "MessagesAttachmentFiles.h"
#include "QELImageUtilities.h"

namespace {

using namespace MessagesAttachmentFiles;

const QString kMediaDomain = QStringLiteral("MediaDomain");
const QString kCrLf = QStringLiteral("\r\n");

enum class Kind { Picture, Video, Audio, Other };

// By its type, or, where the database left none, by its file's extension.
Kind kindOf(const QELMessagePiece& piece)
{
    const QString type = piece.contentType();
    if (type.contains(QLatin1String("image")))
        return Kind::Picture;
    if (type.contains(QLatin1String("video")))
        return Kind::Video;
    if (type.contains(QLatin1String("audio")))
        return Kind::Audio;
    const QString extension = extensionOf(piece.contentLocation()).toLower();
    static const QStringList videos = {QStringLiteral("mov"), QStringLiteral("mp4"),
                                       QStringLiteral("m4v"), QStringLiteral("3gp")};
    static const QStringList sounds = {QStringLiteral("caf"),  QStringLiteral("amr"),
                                       QStringLiteral("opus"), QStringLiteral("m4a"),
                                       QStringLiteral("aac"),  QStringLiteral("mp3")};
    if (videos.contains(extension))
        return Kind::Video;
    if (sounds.contains(extension))
        return Kind::Audio;
    return Kind::Other;
}

bool isHeif(const QELMessagePiece& piece, const QByteArray& start)
{
    const QString type = piece.contentType().toLower();
    if (type.contains(QLatin1String("heic")) || type.contains(QLatin1String("heif")))
        return true;
    return QELImageUtilities::isHeifData(start);
}

// A JPEG rendition of a HEIC picture beside the original; null when it does
// not decode.
QString jpegRendition(const QString& localFile)
{
    QFile file(localFile);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QImage image = QELImageUtilities::imageFromFileData(file.readAll());
    const QString target = localFile + QStringLiteral(".jpg");
    if (image.isNull() || !QELImageUtilities::SaveImage(image, target))
        return {};
    return target;
}

} // namespace

QString QELMessageHTMLFormatter::viewDataPath() const
{
    std::lock_guard lock(m_mutex);
    return m_viewDataPath;
}

void QELMessageHTMLFormatter::setViewDataPath(const QString& path)
{
    std::lock_guard lock(m_mutex);
    m_viewDataPath = path;
}

QString QELMessageHTMLFormatter::devicePathOf(const QString& contentLocation)
{
    QString path = contentLocation;
    path.remove(QStringLiteral("/var/mobile/"));
    path = path.trimmed();
    qsizetype start = 0;
    qsizetype end = path.size();
    auto trimmed = [](QChar c) { return c == QLatin1Char('~') || c == QLatin1Char('/'); };
    while (start < end && trimmed(path.at(start)))
        ++start;
    while (end > start && trimmed(path.at(end - 1)))
        --end;
    return path.mid(start, end - start);
}

QString QELMessageHTMLFormatter::_rotateImage(const QString& path) const
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return path;
    return rotatedCopy(path, file.readAll());
}

QString QELMessageHTMLFormatter::rotatedCopy(const QString& path, const QByteArray& bytes) const
{
    // Only an EXIF block turns a JPEG; most pictures of a conversation have
    // none, and need no decoder to tell.
    if (!bytes.contains("Exif") || !QELImageUtilities::exifOrientation(bytes))
        return path;
    // Two pictures of one name (IMG_0001.JPG of two folders) each get their
    // own copy: the copies are kept by the picture's content.
    const QString hash = QString::fromLatin1(
        QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex().left(20));
    const QString folder = temporaryFolder() + QStringLiteral("/rotateImagesTemp/") + hash;
    const QString target = folder + QLatin1Char('/') + QFileInfo(path).fileName();
    if (QFileInfo(target).isFile())
        return target;
    // Decoded upright by its orientation; the copy carries none, so nothing
    // turns it a second time.
    const QImage image = QELImageUtilities::imageFromFileData(bytes);
    if (image.isNull() || !QDir().mkpath(folder) || !QELImageUtilities::SaveImage(image, target))
        return path;
    return target;
}

QString QELMessageHTMLFormatter::formatHTMLForMessageForDestinationAndSelectedTextIsCopyFormat(
    const QELMessageDetail& message, const QString& destination, const QString& selectedText,
    bool isCopyFormat)
{
    (void)selectedText;
    QString html;
    if (!message.subject().isEmpty())
        html += QStringLiteral("<B>") + htmlTextWithLineBreaks(message.subject())
            + QStringLiteral("</B><BR/>");
    for (const QELMessagePiece& piece : message.messagePieces()) {
        if (piece.contentType().contains(QLatin1String("text")))
            html += htmlTextWithLineBreaks(piece.contentLocation()) + kCrLf;
    }

    QList<QELMessagePiece> media;
    for (Kind kind : {Kind::Picture, Kind::Video, Kind::Audio, Kind::Other}) {
        for (const QELMessagePiece& piece : message.messagePieces()) {
            if (!piece.contentType().contains(QLatin1String("text")) && kindOf(piece) == kind)
                media.append(piece);
        }
    }
    const QString folder = isCopyFormat ? destination : attachmentFolder();
    for (const QELMessagePiece& piece : std::as_const(media)) {
        // A cancel stops between attachments: one message may hold gigabytes.
        if (CopyFailures::cancelRequested())
            break;
        const QString devicePath = devicePathOf(piece.contentLocation());
        const QString local = lookUp(backup(), devicePath, kMediaDomain);
        if (local.isEmpty())
            continue;
        const QString type = piece.contentType();
        const Kind kind = kindOf(piece);
        QString name = safeName(devicePath.section(QLatin1Char('/'), -1));
        if (!name.contains(QLatin1String(".jpg")) && !name.contains(QLatin1String(".jpeg"))
            && !name.contains(QLatin1String(".png"))) {
            if (type == QLatin1String("image/jpeg"))
                name += QStringLiteral(".jpg");
            else if (type == QLatin1String("image/png"))
                name += QStringLiteral(".png");
        }
        if (isCopyFormat) {
            if (type == QLatin1String("image/jpeg") && extensionOf(name) != QLatin1String("jpg"))
                name += QStringLiteral(".jpg");
            else if (type == QLatin1String("video/quicktime")
                     && extensionOf(name) != QLatin1String("MOV"))
                name += QStringLiteral(".MOV");
        }
        auto reference = [&](const QString& placed) {
            return isCopyFormat ? relativeUrlAttribute(placed)
                                : fileUrlAttribute(QDir(folder).filePath(placed));
        };

        // A picture is read once: for what it is and for how it stands.
        QByteArray picture;
        if (kind == Kind::Picture) {
            QFile file(local);
            if (file.open(QIODevice::ReadOnly))
                picture = type == QLatin1String("image/jpeg") ? file.readAll() : file.read(64);
        }
        if (kind == Kind::Picture && isHeif(piece, picture.left(64))) {
            const QString rendition = jpegRendition(local);
            const QString original = place(local, folder, name, Placing::Move);
            if (original.isEmpty()) {
                QFile::remove(rendition);
                continue;
            }
            const QString shown = rendition.isEmpty()
                ? QString()
                : place(rendition, folder, safeName(original + QStringLiteral(".jpg")),
                        Placing::Move);
            html += QStringLiteral("<br/><a href='%1' border=0><img src='%2' width='179px'/></a>")
                        .arg(reference(original), reference(shown.isEmpty() ? original : shown))
                + kCrLf + QStringLiteral("<br/>") + kCrLf;
            continue;
        }

        const QString shownFile =
            type == QLatin1String("image/jpeg") ? rotatedCopy(local, picture) : local;
        const QString placed =
            place(shownFile, folder, name, shownFile == local ? Placing::Move : Placing::Copy);
        if (shownFile != local)
            QFile::remove(local);
        if (placed.isEmpty())
            continue;
        const QString ref = reference(placed);
        if (kind == Kind::Other) {
            html += QStringLiteral("<br/><a href='%1'>%2</a><br/>")
                        .arg(ref, htmlTextWithLineBreaks(placed))
                + kCrLf;
        } else if (kind == Kind::Video) {
            // Every kind of film (MP4 as well as QuickTime) plays in the page.
            html += QStringLiteral("<br/><video src='%1' width='220px' controls "
                                   "preload='metadata'></video><br/>")
                        .arg(ref)
                + kCrLf;
        } else if (kind == Kind::Audio) {
            html += QStringLiteral("<br/><audio src='%1' controls preload='metadata'></audio><br/>")
                        .arg(ref)
                + kCrLf;
        } else if (!isCopyFormat) {
            html += QStringLiteral("<br/><img src='%1' width='179px'/>").arg(ref) + kCrLf
                + QStringLiteral("<br/>") + kCrLf;
        } else {
            html += QStringLiteral("<br/><a href='%1' border=0><img src='%1' width='179px'/></a>")
                        .arg(ref)
                + kCrLf + QStringLiteral("<br/>") + kCrLf;
        }
    }
    return html;
}
