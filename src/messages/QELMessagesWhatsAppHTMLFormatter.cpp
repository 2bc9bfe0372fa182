// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELMessagesWhatsAppHTMLFormatter.h"

#include <QDir>

#include "MessagesAttachmentFiles.h"

namespace {

using namespace MessagesAttachmentFiles;

const QString kAppDomain = QStringLiteral("AppDomain-net.whatsapp.WhatsApp");
const QString kSharedDomain = QStringLiteral("AppDomainGroup-group.net.whatsapp.WhatsApp.shared");
const QString kCrLf = QStringLiteral("\r\n");

QString rooted(const QString& location)
{
    return location.startsWith(QLatin1Char('/')) ? location : QLatin1Char('/') + location;
}

QString lastComponent(const QString& location)
{
    return safeName(location.section(QLatin1Char('/'), -1));
}

} // namespace

QString QELMessagesWhatsAppHTMLFormatter::lookUpMedia(const QString& contentLocation) const
{
    const QString location = rooted(contentLocation);
    QString local = lookUp(backup(), QStringLiteral("Library") + location, kAppDomain);
    // Newer versions keep their media in the shared group container.
    if (local.isEmpty())
        local = lookUp(backup(), QStringLiteral("Message") + location, kSharedDomain);
    return local;
}

QString QELMessagesWhatsAppHTMLFormatter::lookUpThumbnail(const QString& contentLocation) const
{
    QString thumbnail = rooted(contentLocation);
    thumbnail.replace(QStringLiteral(".mp4"), QStringLiteral(".thumb"));
    thumbnail.replace(QStringLiteral(".MOV"), QStringLiteral(".thumb"));
    if (thumbnail == rooted(contentLocation))
        return {};
    QString local = lookUp(backup(), thumbnail.mid(1), kAppDomain);
    if (local.isEmpty())
        local = lookUp(backup(), QStringLiteral("Library") + thumbnail, kAppDomain);
    if (local.isEmpty())
        local = lookUp(backup(), QStringLiteral("Message") + thumbnail, kSharedDomain);
    return local;
}

QString QELMessagesWhatsAppHTMLFormatter::
    formatHTMLForMessageForDestinationAndSelectedTextIsCopyFormat(const QELMessageDetail& message,
                                                                  const QString& destination,
                                                                  const QString& selectedText,
                                                                  bool isCopyFormat)
{
    (void)selectedText;
    QString html;
    bool hasText = false;
    for (const QELMessagePiece& piece : message.messagePieces()) {
        if (piece.contentType().contains(QLatin1String("text"))) {
            html += htmlTextWithLineBreaks(piece.contentLocation()) + kCrLf;
            hasText = true;
        }
    }
    // The caption of a picture or a video is the message's own text.
    if (!hasText && !message.message().trimmed().isEmpty())
        html += htmlTextWithLineBreaks(message.message()) + QStringLiteral("<br/>") + kCrLf;
    if (!backup())
        return html;

    const QString folder = isCopyFormat ? destination : attachmentFolder();
    auto reference = [&](const QString& placed) {
        return isCopyFormat ? relativeUrlAttribute(placed)
                            : fileUrlAttribute(QDir(folder).filePath(placed));
    };
    for (const char* kind : {"image", "video", "audio"}) {
        const QString type = QString::fromLatin1(kind);
        for (const QELMessagePiece& piece : message.messagePieces()) {
            if (!piece.contentType().contains(type))
                continue;
            const QString local = lookUpMedia(piece.contentLocation());
            if (local.isEmpty())
                continue;
            const bool isImage = piece.contentType() == QLatin1String("image");
            const bool isVideo = piece.contentType() == QLatin1String("video");
            const bool isAudio = piece.contentType() == QLatin1String("audio");
            const QString thumbnail =
                isVideo ? lookUpThumbnail(piece.contentLocation()) : QString();
            QString name = lastComponent(piece.contentLocation());
            // A file keeps the extension the device gave it (a voice note's
            // ".opus" plays as what it is); one without gets its kind's.
            if (isImage) {
                if (!isCopyFormat || extensionOf(name) != QLatin1String("jpg"))
                    name += QStringLiteral(".jpg");
            } else if (extensionOf(name).isEmpty()) {
                name += isVideo ? QStringLiteral(".MOV") : QStringLiteral(".aac");
            }
            const QString placed = place(local, folder, name, Placing::Move);
            if (placed.isEmpty())
                continue;
            if (isImage) {
                if (isCopyFormat)
                    html += QStringLiteral("<br/><a href='%1' border=0><img src='%1' "
                                           "width='179px'/></a>")
                                .arg(reference(placed))
                        + kCrLf + QStringLiteral("<br/>") + kCrLf;
                else
                    html +=
                        QStringLiteral("<br/><img src='%1' width='179px'/>").arg(reference(placed))
                        + kCrLf + QStringLiteral("<br/>") + kCrLf;
            } else if (isVideo) {
                // The poster stays beside the page, so that an exported page
                // still shows it once the program's temporary folder is gone.
                const QString poster = thumbnail.isEmpty()
                    ? QString()
                    : place(thumbnail, folder,
                            lastComponent(piece.contentLocation()) + QStringLiteral(".jpg"),
                            Placing::Move);
                html += QStringLiteral("<br/><video src='%1'%2 width='220px' controls "
                                       "preload='metadata'></video><br/>")
                            .arg(reference(placed),
                                 poster.isEmpty()
                                     ? QString()
                                     : QStringLiteral(" poster='%1'").arg(reference(poster)))
                    + kCrLf;
            } else if (isAudio) {
                html += QStringLiteral("<br/><audio src='%1' controls preload='metadata'>"
                                       "</audio><br/>")
                            .arg(reference(placed))
                    + kCrLf;
            }
        }
    }
    return html;
}
