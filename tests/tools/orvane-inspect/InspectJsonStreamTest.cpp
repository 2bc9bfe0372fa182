// SPDX-License-Identifier: GPL-3.0-or-later
#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "InspectJsonStream.h"

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

QByteArray contentOf(std::FILE* file)
{
    std::fflush(file);
    std::rewind(file);
    QByteArray bytes;
    char block[4096];
    for (size_t n; (n = std::fread(block, 1, sizeof block, file)) > 0;)
        bytes.append(block, static_cast<qsizetype>(n));
    return bytes;
}

// Streams `value` container by container, as the subcommands stream their
// skeletons, down to `wholeBelow` levels; deeper values go in whole.
void streamValue(InspectJsonStream& stream, const QString* key, const QJsonValue& value,
                 int wholeBelow)
{
    if (wholeBelow <= 0 || !(value.isObject() || value.isArray())) {
        if (key)
            stream.member(*key, value);
        else
            stream.value(value);
        return;
    }
    if (value.isObject()) {
        key ? stream.beginObject(*key) : stream.beginObject();
        const QJsonObject object = value.toObject();
        for (auto it = object.begin(); it != object.end(); ++it) {
            const QString name = it.key();
            streamValue(stream, &name, it.value(), wholeBelow - 1);
        }
    } else {
        key ? stream.beginArray(*key) : stream.beginArray();
        for (const QJsonValue& element : value.toArray())
            streamValue(stream, nullptr, element, wholeBelow - 1);
    }
    stream.end();
}

QByteArray streamed(const QJsonValue& root, int wholeBelow, qsizetype blockSize = 16)
{
    File file(std::tmpfile());
    InspectJsonStream stream(file.get(), blockSize);
    streamValue(stream, nullptr, root, wholeBelow);
    EXPECT_EQ(stream.finish(), 0);
    return contentOf(file.get());
}

QByteArray whole(const QJsonValue& root)
{
    return root.isArray() ? QJsonDocument(root.toArray()).toJson(QJsonDocument::Indented)
                          : QJsonDocument(root.toObject()).toJson(QJsonDocument::Indented);
}

TEST(InspectJsonStream, WritesTheBytesQJsonDocumentWrites)
{
    const QJsonObject record{
        {"text", QStringLiteral("quote \" backslash \\ tab \t line\nbreak \x01 é 🎵")},
        {"null", QJsonValue::Null},
        {"yes", true},
        {"no", false},
        {"small", 3},
        {"negative", -42},
        {"big", 9007199254740993.0},
        {"fraction", 0.1},
        {"huge", 1e300},
        {"notANumber", std::nan("")},
        {"infinite", std::numeric_limits<double>::infinity()},
        {"emptyArray", QJsonArray{}},
        {"emptyObject", QJsonObject{}},
        {"nested", QJsonArray{QJsonObject{{"a", QJsonArray{1, QJsonArray{}}}}, QJsonArray{}}},
    };
    struct Case {
        const char* name;
        QJsonValue document;
    };
    const Case cases[] = {
        {"empty object", QJsonObject{}},
        {"empty array", QJsonArray{}},
        {"object of empty lists", QJsonObject{{"a", QJsonArray{}}, {"b", QJsonObject{}}}},
        {"records",
         QJsonObject{{"conversations", QJsonArray{record, record}},
                     {"reader", "MediaLibrary"},
                     {"z", QJsonArray{QJsonArray{record}, QJsonObject{}}}}},
        {"a root array", QJsonArray{record, "text", 1, QJsonValue::Null}},
        {"a hostile key", QJsonObject{{QStringLiteral("k\"\\\n\x7f é"), record}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray want = whole(c.document);
        // Containers streamed to each depth: a whole document at 0, every
        // scalar written on its own at the deepest.
        for (int depth = 0; depth <= 5; ++depth) {
            SCOPED_TRACE(depth);
            EXPECT_EQ(streamed(c.document, depth), want);
        }
    }
}

// A large document is never held whole: the stream hands its bytes over in
// blocks, and holds no more than a block and the record being written.
TEST(InspectJsonStream, HoldsABlockNotTheDocument)
{
    constexpr int kRecords = 100000;
    constexpr qsizetype kBlock = 4096;
    File file(std::tmpfile());
    InspectJsonStream stream(file.get(), kBlock);
    QJsonArray all; // for the comparison only
    qsizetype largestRecord = 0;
    stream.beginObject();
    stream.member("reader", "test");
    stream.beginArray("tracks");
    for (int i = 0; i < kRecords; ++i) {
        const QJsonObject track{{"persistentID", QString::number(i)},
                                {"title", QStringLiteral("Track %1").arg(i)},
                                {"durationMs", i * 1000}};
        largestRecord = std::max(largestRecord, QJsonDocument(track).toJson().size());
        stream.value(track);
        all.append(track);
    }
    stream.end();
    ASSERT_EQ(stream.finish(), 0);
    const QByteArray written = contentOf(file.get());
    EXPECT_GT(written.size(), 100 * kBlock);
    EXPECT_LE(stream.largestHeld(), kBlock + 2 * largestRecord);
    EXPECT_EQ(written, whole(QJsonObject{{"reader", "test"}, {"tracks", all}}));
}

TEST(InspectJsonStream, AnAbandonedDocumentIsNeverWhole)
{
    // A failure before the first block was handed over prints nothing.
    {
        File file(std::tmpfile());
        {
            InspectJsonStream stream(file.get(), 1024);
            stream.beginObject();
            stream.beginArray("records");
            stream.value(QJsonObject{{"id", "1"}});
        }
        EXPECT_TRUE(contentOf(file.get()).isEmpty());
    }
    // Later, what was handed over stays cut short: it does not parse.
    {
        File file(std::tmpfile());
        {
            InspectJsonStream stream(file.get(), 64);
            stream.beginObject();
            stream.beginArray("records");
            for (int i = 0; i < 100; ++i)
                stream.value(QJsonObject{{"id", QString::number(i)}});
        }
        const QByteArray cut = contentOf(file.get());
        EXPECT_FALSE(cut.isEmpty());
        QJsonParseError error{};
        QJsonDocument::fromJson(cut, &error);
        EXPECT_NE(error.error, QJsonParseError::NoError);
    }
}

TEST(InspectJsonStream, AnOutputThatCannotBeWrittenIsExitCodeOne)
{
    File full(std::fopen("/dev/full", "w"));
    ASSERT_TRUE(full);
    InspectJsonStream stream(full.get(), 64);
    stream.beginArray();
    for (int i = 0; i < 1000; ++i)
        stream.value(QStringLiteral("element %1").arg(i));
    EXPECT_EQ(stream.finish(), 1);
}

} // namespace
