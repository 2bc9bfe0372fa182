// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELLegacyNoteDetail.h"

#include <QRegularExpression>

#include "HtmlEntities.h"
#include "TextEscaping.h"

QString QELLegacyNoteDetail::plainTextRepresentation() const
{
    if (m_text.isEmpty())
        return QString(QLatin1String(""));
    // The text is decoded already: only what is plainly a tag goes, so "5 < 6
    // and 7 > 3" keeps its comparison.
    static const QRegularExpression kMarkup(QStringLiteral("</?[A-Za-z][^<>]*>|&nbsp;"),
                                            QRegularExpression::CaseInsensitiveOption);
    QString text = m_text;
    text.replace(QStringLiteral("<div>"), QStringLiteral("\r\n"));
    text.remove(kMarkup);
    return text.trimmed();
}

QString QELLegacyNoteDetail::htmlRepresentationWithTitle(const QString& title) const
{
    const QString shown = title.isNull() ? QStringLiteral("Note") : title;
    QString html =
        QStringLiteral("<!DOCTYPE HTML>\n<html>\n<head>\n\t<title>%1</title>\n</head>\n<body>")
            .arg(TextEscaping::htmlText(shown));
    if (!m_text.isEmpty()) {
        QString body = TextEscaping::htmlText(m_text);
        body.replace(QLatin1Char('\n'), QStringLiteral("<br/>"));
        html += QStringLiteral("\n\t<p>%1</p>").arg(body);
    }
    html += QStringLiteral("\n</body>\n</html>");
    return html;
}

QString QELLegacyNoteDetail::htmlExportToPath(const QString& path, const QString& title) const
{
    Q_UNUSED(path)
    return htmlRepresentationWithTitle(title);
}

QString QELLegacyNoteDetail::cleanedBodyText(const QString& html)
{
    static const QRegularExpression kTag(QStringLiteral("<[^>]+>"),
                                         QRegularExpression::CaseInsensitiveOption);
    QString text = html;
    text.replace(QStringLiteral("<div><br></div>"), QStringLiteral("\r\n"));
    text.replace(QStringLiteral("<div>"), QStringLiteral("\r\n"));
    text.replace(QStringLiteral("<br>"), QStringLiteral("\r\n"));
    text.remove(kTag);
    // Tags first, then every character reference once: "&amp;lt;" is the
    // text "&lt;" that was typed, and a decoded "<" is never taken for a tag.
    // The page escapes the text again, once.
    text = HtmlEntities::decoded(text);
    text.replace(QChar(0x00A0), QLatin1Char(' '));
    return text.trimmed();
}
