// SPDX-License-Identifier: GPL-3.0-or-later
#include "VCardText.h"

#include "TextEscaping.h"

void VCardText::addLine(const QString& line)
{
    m_bytes += TextEscaping::foldContentLine(line);
    m_bytes += "\r\n";
}

QString VCardText::nameWithTypes(const QString& name, const QStringList& types)
{
    QStringList kept;
    for (const QString& type : types) {
        if (!type.isEmpty())
            kept.append(type);
    }
    if (kept.isEmpty())
        return name;
    return name + QStringLiteral(";TYPE=") + kept.join(QLatin1Char(','));
}

void VCardText::addRaw(const QString& name, const QString& value)
{
    addLine(name + QLatin1Char(':') + value);
}

void VCardText::addText(const QString& name, const QString& value, const QStringList& types)
{
    addLine(nameWithTypes(name, types) + QLatin1Char(':') + TextEscaping::vCardValue(value));
}

void VCardText::addStructured(const QString& name, const QStringList& components,
                              const QStringList& types)
{
    QStringList escaped;
    escaped.reserve(components.size());
    for (const QString& component : components)
        escaped.append(TextEscaping::vCardValue(component));
    addLine(nameWithTypes(name, types) + QLatin1Char(':') + escaped.join(QLatin1Char(';')));
}

void VCardText::addList(const QString& name, const QStringList& items)
{
    QStringList escaped;
    escaped.reserve(items.size());
    for (const QString& item : items)
        escaped.append(TextEscaping::vCardValue(item));
    addLine(name + QLatin1Char(':') + escaped.join(QLatin1Char(',')));
}

void VCardText::addTextWithParameters(const QString& name, const QString& parameters,
                                      const QString& value)
{
    const QString head = parameters.isEmpty() ? name : name + QLatin1Char(';') + parameters;
    addLine(head + QLatin1Char(':') + TextEscaping::vCardValue(value));
}

void VCardText::addPhoto(const QByteArray& data, const QString& type)
{
    if (data.isEmpty() || type.isEmpty())
        return;
    // Base64 needs no escaping; the long line is folded like any other.
    addLine(QStringLiteral("PHOTO;ENCODING=b;TYPE=") + type + QLatin1Char(':')
            + QString::fromLatin1(data.toBase64()));
}

QString VCardText::displayName(const QString& given, const QString& middle, const QString& family)
{
    QStringList parts;
    for (const QString& part : {given, middle, family}) {
        if (!part.trimmed().isEmpty())
            parts.append(part.trimmed());
    }
    return parts.join(QLatin1Char(' '));
}
