// SPDX-License-Identifier: GPL-3.0-or-later
#include "InspectJsonStream.h"

#include <algorithm>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

// A key as QJsonDocument quotes and escapes it.
QByteArray quoted(const QString& key)
{
    const QByteArray array = QJsonDocument(QJsonArray{key}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2); // ["key"]
}

// The value as QJsonDocument writes it one level in: "[\n    VALUE\n]\n"
// with VALUE's own lines indented from there.
QByteArray oneLevelIn(const QJsonValue& value)
{
    const QByteArray array = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Indented);
    constexpr qsizetype kHead = 6; // "[\n" and four spaces
    constexpr qsizetype kTail = 3; // "\n]\n"
    return array.mid(kHead, array.size() - kHead - kTail);
}

} // namespace

InspectJsonStream::InspectJsonStream(std::FILE* out, qsizetype blockSize)
    : m_out(out)
    , m_blockSize(std::max<qsizetype>(1, blockSize))
{
    m_held.reserve(m_blockSize + 1024);
}

QByteArray InspectJsonStream::indent(qsizetype levels) const { return QByteArray(4 * levels, ' '); }

void InspectJsonStream::append(const QByteArray& bytes)
{
    m_held.append(bytes);
    m_largestHeld = std::max(m_largestHeld, m_held.size());
    if (m_held.size() >= m_blockSize)
        flushBlock();
}

void InspectJsonStream::append(const char* bytes) { append(QByteArray(bytes)); }

void InspectJsonStream::flushBlock()
{
    if (!m_writeFailed && !m_held.isEmpty()) {
        const size_t size = static_cast<size_t>(m_held.size());
        m_writeFailed = std::fwrite(m_held.constData(), 1, size, m_out) != size;
    }
    m_held.clear();
}

void InspectJsonStream::next(const QString* key)
{
    if (m_open.empty())
        return;
    Level& level = m_open.back();
    Q_ASSERT_X(level.isObject == (key != nullptr), "InspectJsonStream",
               "members go into objects, elements into arrays");
    // QJsonObject keeps its keys sorted: out of order here would print
    // another document than the one scripts were written against.
    Q_ASSERT_X(!key || level.count == 0 || level.lastKey < *key, "InspectJsonStream",
               "members are given in ascending key order");
    QByteArray start;
    if (level.count > 0)
        start += ",\n";
    start += indent(static_cast<qsizetype>(m_open.size()));
    if (key) {
        start += quoted(*key);
        start += ": ";
        level.lastKey = *key;
    }
    ++level.count;
    append(start);
}

void InspectJsonStream::beginObject()
{
    next(nullptr);
    append("{\n");
    m_open.push_back(Level{true, 0, QString()});
}

void InspectJsonStream::beginObject(const QString& key)
{
    next(&key);
    append("{\n");
    m_open.push_back(Level{true, 0, QString()});
}

void InspectJsonStream::beginArray()
{
    next(nullptr);
    append("[\n");
    m_open.push_back(Level{false, 0, QString()});
}

void InspectJsonStream::beginArray(const QString& key)
{
    next(&key);
    append("[\n");
    m_open.push_back(Level{false, 0, QString()});
}

void InspectJsonStream::value(const QJsonValue& value)
{
    if (m_open.empty()) {
        // A whole document at once.
        append(value.isArray() ? QJsonDocument(value.toArray()).toJson(QJsonDocument::Indented)
                               : QJsonDocument(value.toObject()).toJson(QJsonDocument::Indented));
        return;
    }
    next(nullptr);
    QByteArray text = oneLevelIn(value);
    // Lines after the first sit one level in; these sit as deep as the stream is open.
    if (m_open.size() > 1)
        text.replace('\n', QByteArray("\n") + indent(static_cast<qsizetype>(m_open.size()) - 1));
    append(text);
}

void InspectJsonStream::member(const QString& key, const QJsonValue& value)
{
    next(&key);
    QByteArray text = oneLevelIn(value);
    if (m_open.size() > 1)
        text.replace('\n', QByteArray("\n") + indent(static_cast<qsizetype>(m_open.size()) - 1));
    append(text);
}

void InspectJsonStream::end()
{
    if (m_open.empty())
        return;
    const Level closed = m_open.back();
    m_open.pop_back();
    QByteArray close = closed.count > 0 ? QByteArray("\n") : QByteArray();
    close += indent(static_cast<qsizetype>(m_open.size()));
    close += closed.isObject ? '}' : ']';
    if (m_open.empty())
        close += '\n';
    append(close);
}

int InspectJsonStream::finish()
{
    while (!m_open.empty())
        end();
    flushBlock();
    return !m_writeFailed && std::fflush(m_out) == 0 ? 0 : 1;
}
