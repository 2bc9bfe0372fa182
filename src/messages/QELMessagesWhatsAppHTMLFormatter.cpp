// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELMessagesWhatsAppHTMLFormatter.h"

#include <QDir>
#include <QFile>

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
            const QString thumbnail = piece.contentType() == QLatin1String("video")
                ? lookUpThumbnail(piece.contentLocation())
                : QString();
            QString name = lastComponent(piece.contentLocation());
            if (!isCopyFormat) {
                if (piece.contentType() == QLatin1String("image")) {
                    const QString placed =
                        place(local, folder, name + QStringLiteral(".jpg"), Placing::Move);
                    if (!placed.isEmpty())
                        html += QStringLiteral("<br/><img src='%1' width='179px'/>")
                                    .arg(reference(placed))
                            + kCrLf + QStringLiteral("<br/>") + kCrLf;
                } else if (piece.contentType() == QLatin1String("audio")) {
                    const QString placed =
                        place(local, folder, name + QStringLiteral(".aac"), Placing::Move);
                    if (!placed.isEmpty())
                        html += QStringLiteral("<strong><a href='%1'>Audio Clip. Click here to "
                                               "play.</a></strong>")
                                    .arg(reference(placed))
                            + kCrLf;
                } else if (piece.contentType() == QLatin1String("video")) {
                    // Without its thumbnail a video shows nothing on a shown page.
                    if (thumbnail.isEmpty()) {
                        QFile::remove(local);
                        continue;
                    }
                    const QString placed = place(local, folder, name, Placing::Move);
                    const QString picture =
                        place(thumbnail, folder, name + QStringLiteral(".jpg"), Placing::Move);
                    if (!placed.isEmpty())
                        html += QStringLiteral("<br/><a href='%1' width='179px'/>Video Clip. "
                                               "Click here to play.</a>")
                                    .arg(reference(placed))
                            + kCrLf
                            + QStringLiteral("<br/><a href='%1' width='179px'/><img src='%2' "
                                             "border=0/></a>")
                                  .arg(reference(placed), reference(picture))
                            + kCrLf;
                }
                continue;
            }

            QString links;
            QString picture;
            if (piece.contentType() == QLatin1String("image")) {
                if (extensionOf(name) != QLatin1String("jpg"))
                    name += QStringLiteral(".jpg");
            } else if (piece.contentType() == QLatin1String("video")) {
                if (extensionOf(name) != QLatin1String("MOV"))
                    name += QStringLiteral(".MOV");
                // Beside the page, so that the page still shows it once the
                // program's temporary folder is emptied.
                if (!thumbnail.isEmpty())
                    picture = place(thumbnail, folder,
                                    lastComponent(piece.contentLocation()) + QStringLiteral(".jpg"),
                                    Placing::Move);
            } else if (piece.contentType() == QLatin1String("audio")) {
                if (extensionOf(name) != QLatin1String("aac"))
                    name += QStringLiteral(".aac");
            }
            const QString placed = place(local, folder, name, Placing::Move);
            if (placed.isEmpty())
                continue;
            if (piece.contentType() == QLatin1String("video"))
                html += QStringLiteral("<B><a href='%1'>Click to video clip.</a></b><br/>")
                            .arg(reference(placed))
                    + kCrLf;
            else if (piece.contentType() == QLatin1String("audio"))
                html += QStringLiteral("<B><a href='%1'>Click to audio clip.</a></b><br/>")
                            .arg(reference(placed))
                    + kCrLf;
            if (piece.contentType() != QLatin1String("audio"))
                html += QStringLiteral("<br/><a href='%1' border=0><img src='%2' "
                                       "width='179px'/></a>")
                            .arg(reference(placed), reference(picture.isEmpty() ? placed : picture))
                    + kCrLf + QStringLiteral("<br/>") + kCrLf;
        }
    }
    return html;
}
