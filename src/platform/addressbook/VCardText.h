// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The lines of the vCard 3.0 files (RFC 2426) the program writes: the contact
// export and the address book collection of the computer. Every line ends in
// CR LF and is folded at 75 octets without splitting a UTF-8 sequence; text
// values are escaped ("\\", ",", ";", line breaks), and a parameter list is
// written only when it holds a value, so no line reads "TEL;:" or "TYPE=:".
// 3.0 text is UTF-8 by definition, so no CHARSET parameter is written.
class VCardText {
public:
    // The PRODID of every vCard the program writes.
    static constexpr const char* kProductId = "-//Halvern Ltd.//Orvane 11//EN";

    // Adds "NAME:value" as given (a value that needs no escaping).
    void addRaw(const QString& name, const QString& value);
    // Adds a text property: "NAME;TYPE=a,b:value" with the types that are not
    // empty, the value escaped.
    void addText(const QString& name, const QString& value, const QStringList& types = {});
    // Adds a structured property (N, ADR, ORG): each component escaped, then
    // joined with ";".
    void addStructured(const QString& name, const QStringList& components,
                       const QStringList& types = {});
    // Adds a list property (NICKNAME, CATEGORIES): each item escaped, then
    // joined with ",".
    void addList(const QString& name, const QStringList& items);
    // Adds "NAME;types:value" where `types` is the whole parameter text after
    // the name ("TYPE=HOME;TYPE=pref"); empty for none. The value is escaped.
    void addTextWithParameters(const QString& name, const QString& parameters,
                               const QString& value);

    // Adds "PHOTO;ENCODING=b;TYPE=JPEG:" and the picture's bytes in base64.
    void addPhoto(const QByteArray& data, const QString& type);

    const QByteArray& bytes() const { return m_bytes; }

    // A contact's name as people write it: the given, middle and family
    // names that are not empty, in that order ("Dana Whitfield").
    static QString displayName(const QString& given, const QString& middle, const QString& family);

    // "NAME" or "NAME;TYPE=a,b" of the non-empty types.
    static QString nameWithTypes(const QString& name, const QStringList& types);

private:
    void addLine(const QString& line);

    QByteArray m_bytes;
};
