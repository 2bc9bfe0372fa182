// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdio>
#include <vector>

#include <QByteArray>
#include <QJsonValue>
#include <QString>

// Writes one JSON document as it is produced, one record at a time, so a
// database of a million rows is never held as a second (and third) copy in
// QJsonArrays and one QByteArray. The bytes are exactly those
// QJsonDocument::Indented writes for the same document; scripts and tests
// compare them. QJsonObject sorts its keys, so the members of an object
// opened here are given in ascending key order, as the caller's duty.
//
// Output is handed to the file in blocks of kBlockSize. A document abandoned
// (destroyed without finish()) loses what was not yet handed over: a failure
// found before the first block left prints nothing, one found later leaves a
// document cut short that no JSON parser accepts; the exit code and the line
// on standard error say which failure it was.
class InspectJsonStream {
public:
    static constexpr qsizetype kBlockSize = 64 * 1024;

    explicit InspectJsonStream(std::FILE* out = stdout, qsizetype blockSize = kBlockSize);
    ~InspectJsonStream() = default;
    InspectJsonStream(const InspectJsonStream&) = delete;
    InspectJsonStream& operator=(const InspectJsonStream&) = delete;

    // A container as the root, as the next element of the open array, or
    // (with a key) as the next member of the open object.
    void beginObject();
    void beginObject(const QString& key);
    void beginArray();
    void beginArray(const QString& key);
    // A whole value (a record's object, a scalar) as the next element of
    // the open array, or as the member `key` of the open object.
    void value(const QJsonValue& value);
    void member(const QString& key, const QJsonValue& value);
    // Closes the innermost open container.
    void end();

    // Closes what is still open, writes the rest and flushes; answers the
    // exit code: 0, or 1 when the output could not be written.
    int finish();

    // The most bytes held at once before they were handed to the file: the
    // bound the stream keeps (a block plus the largest single value).
    qsizetype largestHeld() const { return m_largestHeld; }

private:
    struct Level {
        bool isObject = false;
        qsizetype count = 0;
        QString lastKey;
    };
    // Starts the next element or member: the separator, the indent, the key.
    void next(const QString* key);
    void append(const QByteArray& bytes);
    void append(const char* bytes);
    void flushBlock();
    QByteArray indent(qsizetype levels) const;

    std::FILE* m_out;
    qsizetype m_blockSize;
    QByteArray m_held;
    qsizetype m_largestHeld = 0;
    std::vector<Level> m_open;
    bool m_writeFailed = false;
};
