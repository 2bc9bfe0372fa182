// SPDX-License-Identifier: GPL-3.0-or-later
#include "TextEscaping.h"

#include <algorithm>

namespace TextEscaping {

namespace {

bool isXmlCharacter(char32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF)
        || (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

bool isHtmlCharacter(char32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c != 0x7F && (c < 0x80 || c > 0x9F));
}

enum class Markup { HtmlText, HtmlAttribute, XmlText, XmlAttribute };

QString escapeMarkup(const QString& text, Markup kind)
{
    const bool xml = kind == Markup::XmlText || kind == Markup::XmlAttribute;
    QString out;
    out.reserve(text.size() + text.size() / 8);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            out += c;
            out += text.at(++i);
            continue;
        }
        if (c.isSurrogate() || !(xml ? isXmlCharacter(c.unicode()) : isHtmlCharacter(c.unicode())))
            continue;
        switch (c.unicode()) {
        case '&':
            out += QLatin1String("&amp;");
            break;
        case '<':
            out += QLatin1String("&lt;");
            break;
        case '>':
            out += QLatin1String("&gt;");
            break;
        case '"':
            if (kind == Markup::XmlText)
                out += c;
            else
                out += QLatin1String("&quot;");
            break;
        case '\'':
            if (kind == Markup::HtmlAttribute || kind == Markup::XmlAttribute)
                out += QLatin1String("&#39;");
            else
                out += c;
            break;
        case '\t':
        case '\n':
        case '\r':
            if (kind == Markup::XmlAttribute)
                out += QStringLiteral("&#%1;").arg(c.unicode());
            else
                out += c;
            break;
        default:
            out += c;
        }
    }
    return out;
}

// RFC 2426 and RFC 5545 escape the same four characters the same way.
QString escapeDirectoryValue(const QString& text)
{
    QString out;
    out.reserve(text.size() + text.size() / 8);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            out += c;
            out += text.at(++i);
            continue;
        }
        if (c.isSurrogate())
            continue;
        switch (c.unicode()) {
        case '\\':
            out += QLatin1String("\\\\");
            break;
        case ';':
            out += QLatin1String("\\;");
            break;
        case ',':
            out += QLatin1String("\\,");
            break;
        case '\r':
            if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
                ++i;
            out += QLatin1String("\\n");
            break;
        case '\n':
            out += QLatin1String("\\n");
            break;
        case '\t':
            out += c;
            break;
        default:
            if (c.unicode() >= 0x20 && c.unicode() != 0x7F)
                out += c;
        }
    }
    return out;
}

bool isContinuationByte(char b) { return (static_cast<unsigned char>(b) & 0xC0) == 0x80; }

} // namespace

QString htmlText(const QString& text) { return escapeMarkup(text, Markup::HtmlText); }

QString htmlAttribute(const QString& text) { return escapeMarkup(text, Markup::HtmlAttribute); }

QString xmlText(const QString& text) { return escapeMarkup(text, Markup::XmlText); }

QString xmlAttribute(const QString& text) { return escapeMarkup(text, Markup::XmlAttribute); }

QString vCardValue(const QString& text) { return escapeDirectoryValue(text); }

QString iCalendarValue(const QString& text) { return escapeDirectoryValue(text); }

QByteArray foldContentLine(const QString& line, int maxOctets)
{
    // Room for the leading space and one four-byte character at least.
    maxOctets = std::max(maxOctets, 5);
    const QByteArray utf8 = line.toUtf8();
    QByteArray out;
    out.reserve(utf8.size() + utf8.size() / maxOctets * 3 + 3);
    qsizetype start = 0;
    bool first = true;
    while (start < utf8.size()) {
        const qsizetype room = first ? maxOctets : maxOctets - 1;
        qsizetype end = std::min(start + room, utf8.size());
        while (end < utf8.size() && end > start && isContinuationByte(utf8.at(end)))
            --end;
        if (!first)
            out += "\r\n ";
        out += utf8.mid(start, end - start);
        start = end;
        first = false;
    }
    return out;
}

} // namespace TextEscaping
