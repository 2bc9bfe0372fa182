// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <map>
#include <optional>
#include <string>
#include <utility>

#include <QByteArray>
#include <QList>
#include <QString>

// Builds a binary property list ("bplist00") object by object, so a test can
// write layouts no property-list writer produces: a key that is an integer, a
// container that holds itself, a trailer that points past the file.
struct BinaryPlistBuilder {
    unsigned offsetSize = 2; // bytes per offset-table entry
    unsigned refSize = 1;    // bytes per object reference

    // What build() writes into the trailer unless told otherwise.
    struct Trailer {
        std::optional<quint8> offsetSize;
        std::optional<quint8> refSize;
        std::optional<quint64> objectCount;
        std::optional<quint64> topObject;
        std::optional<quint64> tableOffset;
    };
    Trailer trailer;
    // Offset-table entries written in place of an object's true offset.
    std::map<int, quint64> offsetOverrides;

    // Each call appends one object and answers its index.
    int raw(const QByteArray& object); // marker and payload exactly as given
    int boolean(bool value);
    int integer(qint64 value);
    int real(double value);
    int date(double secondsSince2001);
    int data(const QByteArray& bytes);
    int ascii(const QByteArray& text);
    int utf16(const std::u16string& units); // any units, a NUL included
    int uid(quint32 value);
    int array(const QList<int>& items);
    int set(const QList<int>& items);
    int dict(const QList<std::pair<int, int>>& keysAndValues);

    int objectCount() const { return static_cast<int>(m_objects.size()); }
    QByteArray build(int topObject) const;

    // The marker of a data, string or container object with its length: in the
    // low nibble, or 0xF and an integer object from 15 on.
    static QByteArray marker(quint8 type, quint64 length);

private:
    struct Object {
        QByteArray head;       // marker, length, payload
        QList<int> references; // written after the head, refSize bytes each
    };
    int append(Object object);

    QList<Object> m_objects;
};

// Sound binary property lists of every object type and of nested and shared
// shapes, built by hand: the cases a structural check must let through.
struct ValidBinaryPlist {
    std::string name;
    QByteArray bytes;
};
QList<ValidBinaryPlist> validBinaryPlists();
