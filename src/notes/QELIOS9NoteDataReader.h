// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include "QELIOS9NoteDetail.h"
#include "QELNoteFormatDetail.h"

class QELDataReader;

// Decodes the body of a note-store note (ZICNOTEDATA.ZDATA): a gzip- or
// zlib-compressed protocol-buffer message. The message is walked by its own
// lengths, never by searching for byte patterns: every varint is at most 10
// bytes, every length is checked against the bytes left, nesting is limited,
// and the inflated body is capped, so a hostile body ends in an empty result,
// never a crash, a hang or a read past its end.
//
// Layout read: the body's field 2 is the document, the document's field 3 the
// note; the note's field 2 is its text (UTF-8, lines split at line feeds, each
// attachment a U+FFFC), its field 5 the attribute runs. A run that holds
// attachment info (field 12: identifier in field 1, type identifier in field
// 2) names one attachment; the n-th U+FFFC of the text is the n-th of them.
//
// Class operations only; no shared state, any thread.
class QELIOS9NoteDataReader {
public:
    using ContentList = QELIOS9NoteDetail::ContentList;

    // The most bytes a body may inflate to.
    static constexpr qsizetype kMaxInflatedSize = qsizetype(64) * 1024 * 1024;
    // Deeper than any message this reader enters.
    static constexpr int kMaxNesting = 8;
    // More lines or attachments than any note holds: a body past it is refused
    // rather than filling the memory with parts.
    static constexpr qsizetype kMaxParts = 1000000;

    // The texts of a store's inline attachments (hashtags, mentions, links to
    // notes; ZALTTEXT), by identifier. Their U+FFFC stands for that text: the
    // body holds only the identifier.
    using InlineTexts = QHash<QString, QString>;

    // The note's parts in order; empty when the body cannot be decoded. An
    // inline attachment found in `inlineTexts` reads as its text.
    static ContentList readNoteData(const QByteArray& data, const InlineTexts& inlineTexts = {});
    // The note's plain text: its lines joined with "\n" (an attachment gives
    // an empty line, an inline attachment in `inlineTexts` its text); empty
    // when the body cannot be decoded.
    static QString readNoteText(const QByteArray& data, const InlineTexts& inlineTexts = {});

    // The inflated body (zlib or gzip header); empty input stays empty;
    // nothing for a corrupt or truncated stream or one past kMaxInflatedSize.
    static std::optional<QByteArray> gzipDecompress(const QByteArray& data);
    // True for an inflated body longer than 16 bytes that begins 08 00 12.
    static bool checkHeaderBytes(const QELDataReader& reader);
    // The note message of a body whose header passed; nothing when the body's
    // structure is broken or holds no note.
    static std::optional<QByteArray> readNoteMessage(const QELDataReader& reader);
    // The lines of a note message as parts: text lines and placeholders (a
    // line that is exactly U+FFFC, also the last one); nothing when the
    // message's structure is broken.
    static std::optional<ContentList> readTextContent(const QELDataReader& note);
    // The attachments a note message names, in order.
    static std::optional<QList<QELNoteFormatDetail>> readFormatData(const QELDataReader& note);
    // UTF-8 bytes as text: empty for no bytes, nothing for bytes that are not UTF-8.
    static std::optional<QString> stringFromBytes(const QByteArray& bytes);

    // A table attachment's cells, row by row, each row as long as the table
    // is wide (an empty text for an empty cell).
    using TableRows = QList<QStringList>;
    // More cells than a table on a phone holds; a larger grid is refused.
    static constexpr qsizetype kMaxTableCells = 1000000;
    // The cells of a table attachment from its row's mergeable data
    // (ZMERGEABLEDATA1 or ZMERGEABLEDATA): a compressed document of objects
    // whose table object names its rows and its columns (ordered sets of
    // identifiers) and its cells (a dictionary of columns, each a dictionary
    // of rows whose values are text objects). Every reference is an index
    // checked against the list it points into and followed a fixed number of
    // steps, each object is read at most once per use, so a reference cycle,
    // a bad index or a huge grid gives nothing, never a hang. Nothing too for
    // data that is not such a document or holds no cell.
    static std::optional<TableRows> readTableData(const QByteArray& mergeableData);

    // The content format of an attachment type: kImage, kSketch, kVideo, or
    // kUnresolved for a kind the pages do not show.
    static int formatTypeForTypeIdentifier(const QString& uti);

private:
    static std::optional<ContentList> decode(const QByteArray& data, bool withAttachments,
                                             const InlineTexts& inlineTexts);
};
