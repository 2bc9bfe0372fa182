// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELMediaNoteContent.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include "AtomicFile.h"
#include "AtomicFileBatch.h"
#include "Log.h"
#include "SafePath.h"
#include "TextEscaping.h"

namespace {

const QString kLineBreak = QStringLiteral("<br/>");

QString fileUrl(const QString& path)
{
    return TextEscaping::htmlAttribute(QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded));
}

// Each component percent-encoded: a folder named after a note title may hold
// spaces, "#" or "?", which would break a plain relative link.
QString relativeUrl(const QString& folderName, const QString& fileName)
{
    const QString url = QString::fromLatin1(QUrl::toPercentEncoding(folderName)) + QLatin1Char('/')
        + QString::fromLatin1(QUrl::toPercentEncoding(fileName));
    return TextEscaping::htmlAttribute(url);
}

bool sameContents(const QString& a, const QString& b)
{
    QFile first(a);
    QFile second(b);
    if (first.size() != second.size() || !first.open(QIODevice::ReadOnly)
        || !second.open(QIODevice::ReadOnly))
        return false;
    constexpr qint64 kChunk = 1 << 20;
    while (!first.atEnd()) {
        const QByteArray left = first.read(kChunk);
        if (left.isEmpty() || left != second.read(kChunk))
            return false;
    }
    return second.atEnd();
}

bool copyFile(const QString& source, const QString& target, AtomicFileBatch* files)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    QString error;
    const AtomicFile::Producer produce = [&in](QIODevice& out, QString* why) {
        constexpr qint64 kChunk = 1 << 20;
        while (!in.atEnd()) {
            const QByteArray chunk = in.read(kChunk);
            if (chunk.isEmpty() || out.write(chunk) != chunk.size()) {
                if (why)
                    *why = QStringLiteral("the attachment could not be copied");
                return false;
            }
        }
        return true;
    };
    const bool written = files ? files->write(target, produce, &error)
                               : writeFileAtomically(target, produce, &error);
    if (!written)
        qCWarning(lcOrvane) << "A note attachment was not exported:" << error;
    return written;
}

} // namespace

QELMediaNoteContent::QELMediaNoteContent() { setContentFormat(kUnresolved); }

QString QELMediaNoteContent::nameShownForFile() const
{
    if (m_mediaData && !m_mediaData->mediaFileName().isEmpty())
        return m_mediaData->mediaFileName();
    return QFileInfo(m_fileName).fileName();
}

QString QELMediaNoteContent::tableHtml() const
{
    if (m_tableRows.isEmpty())
        return kLineBreak;
    QString html = QStringLiteral("<table border=\"1\" cellpadding=\"4\" "
                                  "style=\"border-collapse:collapse\">");
    for (const QStringList& row : m_tableRows) {
        html += QStringLiteral("<tr>");
        for (const QString& cell : row) {
            // A cell's lines stay lines on the page.
            QString text = TextEscaping::htmlText(cell);
            text.replace(QLatin1Char('\n'), kLineBreak);
            html += QStringLiteral("<td>") + text + QStringLiteral("</td>");
        }
        html += QStringLiteral("</tr>");
    }
    return html + QStringLiteral("</table>");
}

QString QELMediaNoteContent::htmlRepresentation() const
{
    const int format = contentFormat();
    if (format == kTable)
        return tableHtml();
    if ((format != kImage && format != kSketch && format != kVideo && format != kFile)
        || m_fileName.isEmpty())
        return kLineBreak;
    if (format == kFile)
        return QStringLiteral("<a href=\"%1\">%2</a>")
            .arg(fileUrl(m_fileName), TextEscaping::htmlText(nameShownForFile()));
    if (format == kVideo) {
        if (!m_mediaData)
            return kLineBreak;
        return QStringLiteral("<video controls=\"controls\" width=\"%1\" height=\"%2\" "
                              "src=\"%3\"><img src=\"%4\" /><br />(Video not supported in "
                              "this browser).</video>")
            .arg(QString::number(m_mediaData->width(), 'f', 0),
                 QString::number(m_mediaData->height(), 'f', 0), fileUrl(m_fileName),
                 m_mediaData->previewPath().isEmpty() ? QString()
                                                      : fileUrl(m_mediaData->previewPath()));
    }
    if (!m_isPicture)
        return TextEscaping::htmlText(nameShownForFile());
    return QStringLiteral("<img src=\"%1\" />").arg(fileUrl(m_fileName));
}

QString QELMediaNoteContent::plainTextRepresentation() const { return QString(QLatin1String("")); }

QString QELMediaNoteContent::attachmentsFolderForPage(const QString& htmlPath)
{
    static const QString kSuffix = QStringLiteral(".html");
    const QString stem = htmlPath.endsWith(kSuffix) ? htmlPath.chopped(kSuffix.size()) : htmlPath;
    return stem + QStringLiteral(" - Attachments");
}

QString QELMediaNoteContent::htmlExportAtPath(const QString& htmlPath, AtomicFileBatch* files) const
{
    const int format = contentFormat();
    if (format == kTable)
        return tableHtml();
    if ((format != kImage && format != kSketch && format != kVideo && format != kFile)
        || m_fileName.isEmpty() || !QFileInfo(m_fileName).isFile() || m_fileType.isEmpty())
        return kLineBreak;
    const QString folder = attachmentsFolderForPage(htmlPath);
    if (!QFileInfo(folder).isDir() && !QDir().mkpath(folder)) {
        qCWarning(lcOrvane) << "The attachments folder could not be made:" << folder;
        return kLineBreak;
    }
    const QString wanted = m_exportName + QLatin1Char('.') + m_fileType;
    QString name = wanted;
    const QString wantedPath = folder + QLatin1Char('/') + wanted;
    if (QFileInfo::exists(wantedPath) || QFileInfo(wantedPath).isSymLink()) {
        if (sameContents(m_fileName, wantedPath) && !QFileInfo(wantedPath).isSymLink()) {
            name = wanted;
        } else {
            SafePath::UniqueNamer namer(folder, SafePath::Numbering::Spaced,
                                        SafePath::Taken::InFolder);
            name = namer.claim(m_exportName, m_fileType);
            if (name.isEmpty() || !copyFile(m_fileName, folder + QLatin1Char('/') + name, files))
                return kLineBreak;
        }
    } else if (!copyFile(m_fileName, wantedPath, files)) {
        return kLineBreak;
    }
    const QString source = relativeUrl(QFileInfo(folder).fileName(), name);
    if (format == kVideo) {
        const double width = m_mediaData ? m_mediaData->width() : 0;
        const double height = m_mediaData ? m_mediaData->height() : 0;
        return QStringLiteral("<video controls=\"controls\" width=\"%1\" height=\"%2\" "
                              "src=\"%3\"></video>")
            .arg(QString::number(width, 'f', 0), QString::number(height, 'f', 0), source);
    }
    if (!m_isPicture)
        return QStringLiteral("<a href=\"%1\">%2</a>")
            .arg(source, TextEscaping::htmlText(nameShownForFile()));
    return QStringLiteral("<img src=\"%1\" />").arg(source);
}
