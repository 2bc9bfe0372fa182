// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELIOS9NoteDetail.h"

#include "QELMediaNoteContent.h"
#include "TextEscaping.h"

QString QELIOS9NoteDetail::plainTextRepresentation() const
{
    if (!m_content)
        return QString(QLatin1String(""));
    QString text;
    for (const std::shared_ptr<QELNoteContent>& part : *m_content) {
        text += part->plainTextRepresentation();
        text += QLatin1Char('\n');
    }
    return text.trimmed();
}

QString QELIOS9NoteDetail::page(const QString& title, Page kind, const QString& path,
                                int* notExported, AtomicFileBatch* files) const
{
    int missing = 0;
    QString html = QStringLiteral("<!DOCTYPE HTML>\r\n<html>\n<head>\r\n\t<title>%1</title>\r\n"
                                  "\t<style>\r\n\t\timg{max-width:100%;margin-top:10px;}\r\n"
                                  "\t</style>\r\n<body>")
                       .arg(TextEscaping::htmlText(title));
    if (m_content) {
        const QString closer = QStringLiteral("</p>");
        QString pending;
        for (const std::shared_ptr<QELNoteContent>& part : *m_content) {
            const int format = part->contentFormat();
            if (format < QELNoteContent::kTextLine
                || (format > QELNoteContent::kVideo && format != QELNoteContent::kFile
                    && format != QELNoteContent::kTable)) {
                if (dynamic_cast<const QELMediaNoteContent*>(part.get()))
                    ++missing; // an attachment of a kind no page shows
                html += pending;
                pending.clear();
                continue;
            }
            QString partHtml;
            if (kind == Page::Export && format != QELNoteContent::kTextLine) {
                const auto* media = dynamic_cast<const QELMediaNoteContent*>(part.get());
                partHtml = media ? media->htmlExportAtPath(path, files) : QStringLiteral("<br/>");
                if (partHtml == QLatin1String("<br/>"))
                    ++missing;
            } else {
                partHtml = part->htmlRepresentation();
            }
            if (pending == closer) {
                html += (kind == Page::Display ? QStringLiteral("\r\n\t<br/>\r\n\t")
                                               : QStringLiteral("<br/>\r\n\t"))
                    + partHtml;
            } else {
                html += pending + QStringLiteral("\r\n\t<p>") + partHtml;
                pending = closer;
            }
        }
        html += pending;
    }
    html += QStringLiteral("\r\n</body>\r\n</html>");
    if (notExported)
        *notExported = missing;
    return html;
}

QString QELIOS9NoteDetail::htmlRepresentationWithTitle(const QString& title) const
{
    return page(title, Page::Display, QString());
}

QString QELIOS9NoteDetail::htmlExportToPath(const QString& path, const QString& title) const
{
    return page(title, Page::Export, path);
}

QString QELIOS9NoteDetail::htmlExportCounting(const QString& path, const QString& title,
                                              int* notExported, AtomicFileBatch* files) const
{
    return page(title, Page::Export, path, notExported, files);
}
