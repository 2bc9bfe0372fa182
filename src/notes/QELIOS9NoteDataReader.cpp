// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELIOS9NoteDataReader.h"

#include <exception>
#include <functional>

#include <QSet>
#include <QStringDecoder>

#include "DataExtensions.h"
#include "Log.h"
#include "QELDataReader.h"
#include "QELMediaNoteContent.h"
#include "QELTextNoteContent.h"

namespace {

constexpr int kVarint = 0;
constexpr int kFixed64 = 1;
constexpr int kLengthDelimited = 2;
constexpr int kFixed32 = 5;

// Field numbers of the layout read.
constexpr quint32 kBodyDocument = 2;
constexpr quint32 kDocumentNote = 3;
constexpr quint32 kNoteText = 2;
constexpr quint32 kNoteAttributeRun = 5;
constexpr quint32 kRunAttachmentInfo = 12;
constexpr quint32 kAttachmentIdentifier = 1;
constexpr quint32 kAttachmentType = 2;

const QByteArray kObjectReplacement("\xEF\xBF\xBC");
constexpr char16_t kObjectReplacementCharacter = 0xFFFC;

struct Field {
    quint32 number = 0;
    int wireType = 0;
    // A length-delimited field's bytes: a view into the message's buffer,
    // valid while that buffer lives.
    QByteArray bytes;
    // A varint field's value.
    quint64 value = 0;
};

// Calls `visit` for each field of the message held by `reader`, from its start
// to its end; false when the message is malformed (a bad key or wire type, a
// varint too long, a length past the bytes left), nested too deep, or when
// `visit` answers false.
bool forEachField(const QByteArray& message, int depth,
                  const std::function<bool(const Field&)>& visit)
{
    if (depth > QELIOS9NoteDataReader::kMaxNesting)
        return false;
    QELDataReader reader(message);
    while (!reader.atEnd()) {
        const std::optional<quint64> key = reader.readVarint();
        if (!key)
            return false;
        const quint64 number = *key >> 3;
        Field field;
        field.wireType = int(*key & 7);
        if (number == 0 || number > 0x1FFFFFFF)
            return false;
        field.number = quint32(number);
        switch (field.wireType) {
        case kVarint: {
            const std::optional<quint64> value = reader.readVarint();
            if (!value)
                return false;
            field.value = *value;
            break;
        }
        case kFixed64:
            if (reader.bytesLeft() < 8)
                return false;
            reader.seekToPosition(reader.position() + 8);
            break;
        case kFixed32:
            if (reader.bytesLeft() < 4)
                return false;
            reader.seekToPosition(reader.position() + 4);
            break;
        case kLengthDelimited: {
            const std::optional<quint64> length = reader.readVarint();
            if (!length || *length > reader.bytesLeft())
                return false;
            field.bytes = QByteArray::fromRawData(message.constData() + reader.position(),
                                                  qsizetype(*length));
            reader.seekToPosition(reader.position() + *length);
            break;
        }
        default:
            // Groups (3, 4) are long gone from the format; 6 and 7 never existed.
            return false;
        }
        if (!visit(field))
            return false;
    }
    return true;
}

// The first length-delimited field of that number; none when the message is
// malformed, an empty array when it has no such field.
std::optional<QByteArray> firstMessageField(const QByteArray& message, quint32 number, int depth)
{
    QByteArray found;
    bool seen = false;
    const bool ok = forEachField(message, depth, [&](const Field& field) {
        if (!seen && field.number == number && field.wireType == kLengthDelimited) {
            found = field.bytes;
            seen = true;
        }
        return true;
    });
    if (!ok)
        return std::nullopt;
    return seen ? found : QByteArray();
}

// The text an inline attachment stands for; none for any other attachment,
// or one the store names no text of.
const QString* inlineTextOf(const QELNoteFormatDetail& run,
                            const QELIOS9NoteDataReader::InlineTexts& texts)
{
    if (texts.isEmpty()
        || !run.typeIdentifier().startsWith(QLatin1String("com.apple.notes.inlinetextattachment"),
                                            Qt::CaseInsensitive))
        return nullptr;
    const auto found = texts.constFind(run.identifier());
    return found == texts.constEnd() || found->isEmpty() ? nullptr : &*found;
}

bool holdsObjectReplacement(const QELIOS9NoteDataReader::ContentList& parts)
{
    for (const std::shared_ptr<QELNoteContent>& part : parts) {
        if (part->contentFormat() == QELNoteContent::kUnresolved)
            return true;
        if (static_cast<const QELTextNoteContent*>(part.get())
                ->textData()
                .contains(QChar(kObjectReplacementCharacter)))
            return true;
    }
    return false;
}

std::shared_ptr<QELNoteContent> linePart(const QByteArray& bytes)
{
    if (bytes == kObjectReplacement)
        return std::make_shared<QELMediaNoteContent>();
    auto line = std::make_shared<QELTextNoteContent>();
    line->setTextData(QELIOS9NoteDataReader::stringFromBytes(bytes).value_or(QString()));
    return line;
}

// Field numbers of a table attachment's mergeable data: the document, its
// object list with the names (keys, types, identifiers) the objects refer to
// by index, and the kinds of object a table is made of.
constexpr quint32 kMergeableDocument = 2;
constexpr quint32 kDocumentData = 3;
constexpr quint32 kDataObject = 3;
constexpr quint32 kDataKey = 4;
constexpr quint32 kDataType = 5;
constexpr quint32 kDataUuid = 6;
constexpr quint32 kObjectDictionary = 6;
constexpr quint32 kObjectString = 10;
constexpr quint32 kObjectCustomMap = 13;
constexpr quint32 kObjectOrderedSet = 16;
constexpr quint32 kMapType = 1;
constexpr quint32 kMapEntry = 3;
constexpr quint32 kMapEntryKey = 1;
constexpr quint32 kMapEntryValue = 2;
constexpr quint32 kReferenceUnsigned = 2;
constexpr quint32 kReferenceObject = 6;
constexpr quint32 kOrderedSetOrdering = 1;
constexpr quint32 kOrderingArray = 1;
constexpr quint32 kOrderingContents = 2;
constexpr quint32 kArrayItem = 2;
constexpr quint32 kArrayItemUuid = 2;
constexpr quint32 kDictionaryElement = 1;
constexpr quint32 kElementKey = 1;
constexpr quint32 kElementValue = 2;
constexpr quint32 kStringText = 2;

// An object of the list is walked as a message of its own: nothing in a
// table is followed by recursion, so the nesting counts from there.
constexpr int kObjectDepth = 1;

// The first field of that number and wire type in a message.
struct Lookup {
    bool ok = false; // the message is well formed
    bool found = false;
    QByteArray bytes;
    quint64 value = 0;
};

Lookup firstField(const QByteArray& message, quint32 number, int wireType, int depth)
{
    Lookup lookup;
    lookup.ok = forEachField(message, depth, [&](const Field& field) {
        if (!lookup.found && field.number == number && field.wireType == wireType) {
            lookup.found = true;
            lookup.bytes = field.bytes;
            lookup.value = field.value;
        }
        return true;
    });
    return lookup;
}

// The object list of a table's document and the lookups through it. Every
// index is checked against the list it points into; what each object says is
// kept once read, so many references to one object cost one reading.
class MergeableTable {
public:
    using TableRows = QELIOS9NoteDataReader::TableRows;

    std::optional<TableRows> read(const QByteArray& inflated);

private:
    bool readObjectList(const QByteArray& inflated);
    std::optional<qint64> findTableObject();
    // An object's field of that number; empty when the object has none or
    // the index is past the list.
    QByteArray objectField(qint64 object, quint32 number, int wireType = kLengthDelimited);
    // The object a reference names; none for a reference to no object.
    std::optional<qint64> referencedObject(const QByteArray& reference, int depth);
    // The identifier an identifier object stands for, as an index into the
    // identifier list.
    std::optional<quint64> identifierOfObject(qint64 object);
    // The order of a row or column set: identifier index -> position.
    bool readOrder(qint64 object, QHash<quint64, qsizetype>& order, qsizetype& count);
    QString textOfObject(qint64 object);
    bool readCells(qint64 object, TableRows& rows);
    // Visits the elements of a dictionary (its fields at `depth`) whose key
    // and value both reference objects; `visit` answers whether to go on.
    bool walkDictionary(const QByteArray& dictionary, int depth,
                        const std::function<bool(qint64 key, qint64 value)>& visit);

    bool walk(const QByteArray& message, int depth, const std::function<bool(const Field&)>& visit)
    {
        if (!forEachField(message, depth, visit))
            m_broken = true;
        return !m_broken;
    }
    Lookup first(const QByteArray& message, quint32 number, int wireType, int depth)
    {
        Lookup lookup = firstField(message, number, wireType, depth);
        if (!lookup.ok)
            m_broken = true;
        return lookup;
    }

    QList<QByteArray> m_objects;
    QStringList m_keys;
    QStringList m_types;
    QHash<QByteArray, quint64> m_uuids;
    qsizetype m_uuidCount = 0;
    QHash<qint64, std::optional<quint64>> m_identifiers;
    QHash<qint64, QString> m_texts;
    QHash<quint64, qsizetype> m_rowOrder;
    QHash<quint64, qsizetype> m_columnOrder;
    qsizetype m_rowCount = 0;
    qsizetype m_columnCount = 0;
    bool m_broken = false;
};

bool MergeableTable::readObjectList(const QByteArray& inflated)
{
    const Lookup document = first(inflated, kMergeableDocument, kLengthDelimited, 1);
    if (!document.found)
        return false;
    const Lookup data = first(document.bytes, kDocumentData, kLengthDelimited, 2);
    if (!data.found)
        return false;
    return walk(data.bytes, 3, [this](const Field& field) {
        if (field.wireType != kLengthDelimited)
            return true;
        if (m_objects.size() + m_keys.size() + m_types.size() + m_uuidCount
            >= QELIOS9NoteDataReader::kMaxParts)
            return false;
        switch (field.number) {
        case kDataObject:
            m_objects.append(field.bytes);
            break;
        case kDataKey:
            m_keys.append(QELIOS9NoteDataReader::stringFromBytes(field.bytes).value_or(QString()));
            break;
        case kDataType:
            m_types.append(QELIOS9NoteDataReader::stringFromBytes(field.bytes).value_or(QString()));
            break;
        case kDataUuid:
            // Of an identifier listed twice the first index counts.
            if (!m_uuids.contains(field.bytes))
                m_uuids.insert(QByteArray(field.bytes.constData(), field.bytes.size()),
                               quint64(m_uuidCount));
            ++m_uuidCount;
            break;
        default:
            break;
        }
        return true;
    });
}

QByteArray MergeableTable::objectField(qint64 object, quint32 number, int wireType)
{
    if (object < 0 || object >= m_objects.size())
        return {};
    const Lookup lookup = first(m_objects.at(object), number, wireType, kObjectDepth);
    return lookup.found ? lookup.bytes : QByteArray();
}

std::optional<qint64> MergeableTable::referencedObject(const QByteArray& reference, int depth)
{
    const Lookup index = first(reference, kReferenceObject, kVarint, depth);
    if (!index.found || index.value >= quint64(m_objects.size()))
        return std::nullopt;
    return qint64(index.value);
}

std::optional<qint64> MergeableTable::findTableObject()
{
    const qsizetype tableType = m_types.indexOf(QStringLiteral("com.apple.notes.ICTable"));
    if (tableType < 0)
        return std::nullopt;
    for (qint64 object = 0; object < m_objects.size() && !m_broken; ++object) {
        const QByteArray map = objectField(object, kObjectCustomMap);
        if (map.isEmpty())
            continue;
        const Lookup type = first(map, kMapType, kVarint, kObjectDepth + 1);
        if (type.found && type.value == quint64(tableType))
            return object;
    }
    return std::nullopt;
}

std::optional<quint64> MergeableTable::identifierOfObject(qint64 object)
{
    const auto known = m_identifiers.constFind(object);
    if (known != m_identifiers.constEnd())
        return *known;
    std::optional<quint64> identifier;
    const QByteArray map = objectField(object, kObjectCustomMap);
    const Lookup entry = first(map, kMapEntry, kLengthDelimited, kObjectDepth + 1);
    if (entry.found) {
        const Lookup value = first(entry.bytes, kMapEntryValue, kLengthDelimited, kObjectDepth + 2);
        if (value.found) {
            const Lookup index = first(value.bytes, kReferenceUnsigned, kVarint, kObjectDepth + 3);
            if (index.found && index.value < quint64(m_uuidCount))
                identifier = index.value;
        }
    }
    m_identifiers.insert(object, identifier);
    return identifier;
}

bool MergeableTable::readOrder(qint64 object, QHash<quint64, qsizetype>& order, qsizetype& count)
{
    order.clear();
    count = 0;
    const QByteArray set = objectField(object, kObjectOrderedSet);
    const Lookup ordering = first(set, kOrderedSetOrdering, kLengthDelimited, kObjectDepth + 1);
    if (!ordering.found)
        return false;
    const Lookup array = first(ordering.bytes, kOrderingArray, kLengthDelimited, kObjectDepth + 2);
    // The array lists the identifiers in their order; an identifier not in
    // the document's list still takes its place, so the others keep theirs.
    walk(array.bytes, kObjectDepth + 3, [&](const Field& item) {
        if (item.number != kArrayItem || item.wireType != kLengthDelimited)
            return true;
        if (count >= QELIOS9NoteDataReader::kMaxTableCells)
            return false;
        const Lookup uuid = first(item.bytes, kArrayItemUuid, kLengthDelimited, kObjectDepth + 4);
        if (uuid.found) {
            const auto index = m_uuids.constFind(uuid.bytes);
            if (index != m_uuids.constEnd())
                order.insert(*index, count);
        }
        ++count;
        return true;
    });
    if (m_broken)
        return false;
    // The contents map each listed identifier to the one the cells use.
    const Lookup contents =
        first(ordering.bytes, kOrderingContents, kLengthDelimited, kObjectDepth + 2);
    QList<std::pair<quint64, qsizetype>> aliases;
    walkDictionary(contents.bytes, kObjectDepth + 3, [&](qint64 keyObject, qint64 valueObject) {
        const std::optional<quint64> from = identifierOfObject(keyObject);
        const std::optional<quint64> to = identifierOfObject(valueObject);
        if (!from || !to)
            return true;
        const auto position = order.constFind(*from);
        if (position != order.constEnd())
            aliases.append({*to, *position});
        return true;
    });
    for (const auto& [identifier, position] : std::as_const(aliases))
        order.insert(identifier, position);
    return !m_broken && count > 0;
}

QString MergeableTable::textOfObject(qint64 object)
{
    const auto known = m_texts.constFind(object);
    if (known != m_texts.constEnd())
        return *known;
    const QByteArray string = objectField(object, kObjectString);
    const Lookup text = first(string, kStringText, kLengthDelimited, kObjectDepth + 1);
    QString result = text.found
        ? QELIOS9NoteDataReader::stringFromBytes(text.bytes).value_or(QString())
        : QString();
    // An attachment inside a cell has nothing to show here.
    result.remove(QChar(kObjectReplacementCharacter));
    m_texts.insert(object, result);
    return result;
}

bool MergeableTable::walkDictionary(const QByteArray& dictionary, int depth,
                                    const std::function<bool(qint64 key, qint64 value)>& visit)
{
    return walk(dictionary, depth, [&](const Field& element) {
        if (element.number != kDictionaryElement || element.wireType != kLengthDelimited)
            return true;
        const Lookup key = first(element.bytes, kElementKey, kLengthDelimited, depth + 1);
        const Lookup value = first(element.bytes, kElementValue, kLengthDelimited, depth + 1);
        if (!key.found || !value.found)
            return true;
        const std::optional<qint64> keyObject = referencedObject(key.bytes, depth + 2);
        const std::optional<qint64> valueObject = referencedObject(value.bytes, depth + 2);
        if (!keyObject || !valueObject)
            return true;
        return visit(*keyObject, *valueObject);
    });
}

bool MergeableTable::readCells(qint64 object, TableRows& rows)
{
    bool any = false;
    QSet<qint64> columnsRead;
    const QByteArray columns = objectField(object, kObjectDictionary);
    walkDictionary(columns, kObjectDepth + 1, [&](qint64 columnObject, qint64 cellsObject) {
        const std::optional<quint64> columnId = identifierOfObject(columnObject);
        const auto column =
            columnId ? m_columnOrder.constFind(*columnId) : m_columnOrder.constEnd();
        // A column's cells are read once, however many times they are named.
        if (column == m_columnOrder.constEnd() || columnsRead.contains(cellsObject))
            return true;
        columnsRead.insert(cellsObject);
        const qsizetype columnIndex = *column;
        const QByteArray cells = objectField(cellsObject, kObjectDictionary);
        return walkDictionary(cells, kObjectDepth + 1, [&](qint64 rowObject, qint64 textObject) {
            const std::optional<quint64> rowId = identifierOfObject(rowObject);
            const auto row = rowId ? m_rowOrder.constFind(*rowId) : m_rowOrder.constEnd();
            if (row == m_rowOrder.constEnd())
                return true;
            rows[*row][columnIndex] = textOfObject(textObject);
            any = true;
            return true;
        });
    });
    return any && !m_broken;
}

std::optional<MergeableTable::TableRows> MergeableTable::read(const QByteArray& inflated)
{
    if (!readObjectList(inflated))
        return std::nullopt;
    const std::optional<qint64> table = findTableObject();
    if (!table || m_broken)
        return std::nullopt;
    std::optional<qint64> rowsObject;
    std::optional<qint64> columnsObject;
    std::optional<qint64> cellsObject;
    const QByteArray map = objectField(*table, kObjectCustomMap);
    walk(map, kObjectDepth + 1, [&](const Field& entry) {
        if (entry.number != kMapEntry || entry.wireType != kLengthDelimited)
            return true;
        const Lookup key = first(entry.bytes, kMapEntryKey, kVarint, kObjectDepth + 2);
        const Lookup value = first(entry.bytes, kMapEntryValue, kLengthDelimited, kObjectDepth + 2);
        if (!key.found || !value.found || key.value >= quint64(m_keys.size()))
            return true;
        const QString& name = m_keys.at(qsizetype(key.value));
        std::optional<qint64>* target = nullptr;
        if (name == QLatin1String("crRows"))
            target = &rowsObject;
        else if (name == QLatin1String("crColumns"))
            target = &columnsObject;
        else if (name == QLatin1String("cellColumns"))
            target = &cellsObject;
        if (target && !*target)
            *target = referencedObject(value.bytes, kObjectDepth + 3);
        return true;
    });
    if (m_broken || !rowsObject || !columnsObject || !cellsObject)
        return std::nullopt;
    if (!readOrder(*rowsObject, m_rowOrder, m_rowCount)
        || !readOrder(*columnsObject, m_columnOrder, m_columnCount))
        return std::nullopt;
    if (qint64(m_rowCount) * qint64(m_columnCount) > QELIOS9NoteDataReader::kMaxTableCells)
        return std::nullopt;
    TableRows rows(m_rowCount, QStringList(m_columnCount));
    if (!readCells(*cellsObject, rows))
        return std::nullopt;
    return rows;
}
} // namespace

std::optional<QByteArray> QELIOS9NoteDataReader::gzipDecompress(const QByteArray& data)
{
    return DataExtensions::gzipOrZlibInflate(data, kMaxInflatedSize);
}

bool QELIOS9NoteDataReader::checkHeaderBytes(const QELDataReader& reader)
{
    const QByteArray data = reader.data();
    return data.size() > 16 && data.at(0) == 0x08 && data.at(1) == 0x00 && data.at(2) == 0x12;
}

std::optional<QByteArray> QELIOS9NoteDataReader::readNoteMessage(const QELDataReader& reader)
{
    const std::optional<QByteArray> document = firstMessageField(reader.data(), kBodyDocument, 1);
    if (!document || document->isEmpty())
        return std::nullopt;
    const std::optional<QByteArray> note = firstMessageField(*document, kDocumentNote, 2);
    if (!note || note->isEmpty())
        return std::nullopt;
    return note;
}

std::optional<QString> QELIOS9NoteDataReader::stringFromBytes(const QByteArray& bytes)
{
    if (bytes.isEmpty())
        return QString(QLatin1String(""));
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringConverter::Flag::Stateless
                               | QStringConverter::Flag::ConvertInitialBom);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

std::optional<QELIOS9NoteDataReader::ContentList> QELIOS9NoteDataReader::readTextContent(
    const QELDataReader& note)
{
    const std::optional<QByteArray> text = firstMessageField(note.data(), kNoteText, 3);
    if (!text)
        return std::nullopt;
    ContentList parts;
    qsizetype start = 0;
    const qsizetype size = text->size();
    for (qsizetype i = 0; i <= size; ++i) {
        // The bytes after the last line feed are a line of their own when
        // there are any; a text ending in a line feed has no empty last line.
        const bool end = i == size;
        if (!end && text->at(i) != '\n')
            continue;
        if (end && start == size)
            break;
        if (parts.size() >= kMaxParts)
            return std::nullopt;
        parts.append(linePart(text->mid(start, i - start)));
        start = i + 1;
    }
    return parts;
}

std::optional<QList<QELNoteFormatDetail>> QELIOS9NoteDataReader::readFormatData(
    const QELDataReader& note)
{
    QList<QELNoteFormatDetail> runs;
    const bool ok = forEachField(note.data(), 3, [&](const Field& run) {
        if (run.number != kNoteAttributeRun || run.wireType != kLengthDelimited)
            return true;
        const std::optional<QByteArray> info = firstMessageField(run.bytes, kRunAttachmentInfo, 4);
        if (!info)
            return false;
        if (info->isEmpty())
            return true;
        QString identifier;
        QString uti;
        const bool infoOk = forEachField(*info, 5, [&](const Field& field) {
            if (field.wireType != kLengthDelimited)
                return true;
            if (field.number == kAttachmentIdentifier && identifier.isNull())
                identifier = stringFromBytes(field.bytes).value_or(QString(QLatin1String("")));
            else if (field.number == kAttachmentType && uti.isNull())
                uti = stringFromBytes(field.bytes).value_or(QString(QLatin1String("")));
            return true;
        });
        if (!infoOk || runs.size() >= kMaxParts)
            return false;
        QELNoteFormatDetail detail;
        detail.setFormatType(formatTypeForTypeIdentifier(uti));
        detail.setIdentifier(identifier.isNull() ? QString(QLatin1String("")) : identifier);
        detail.setTypeIdentifier(uti.isNull() ? QString(QLatin1String("")) : uti);
        runs.append(detail);
        return true;
    });
    if (!ok)
        return std::nullopt;
    return runs;
}

int QELIOS9NoteDataReader::formatTypeForTypeIdentifier(const QString& uti)
{
    static const QSet<QString> kImages{
        QStringLiteral("public.jpeg"),          QStringLiteral("public.png"),
        QStringLiteral("public.heic"),          QStringLiteral("public.heif"),
        QStringLiteral("public.tiff"),          QStringLiteral("public.image"),
        QStringLiteral("com.compuserve.gif"),   QStringLiteral("com.microsoft.bmp"),
        QStringLiteral("org.webmproject.webp"),
    };
    static const QSet<QString> kDrawings{
        QStringLiteral("com.apple.drawing"),
        QStringLiteral("com.apple.drawing.2"),
        QStringLiteral("com.apple.paper"),
    };
    static const QSet<QString> kMovies{
        QStringLiteral("com.apple.quicktime-movie"),
        QStringLiteral("public.mpeg-4"),
        QStringLiteral("public.movie"),
        QStringLiteral("com.apple.m4v-video"),
        QStringLiteral("public.avi"),
    };
    const QString type = uti.toLower();
    if (kImages.contains(type))
        return QELNoteContent::kImage;
    if (kDrawings.contains(type))
        return QELNoteContent::kSketch;
    if (kMovies.contains(type))
        return QELNoteContent::kVideo;
    return QELNoteContent::kUnresolved;
}

std::optional<QELIOS9NoteDataReader::ContentList> QELIOS9NoteDataReader::decode(
    const QByteArray& data, bool withAttachments, const InlineTexts& inlineTexts)
{
    if (data.isEmpty())
        return std::nullopt;
    const std::optional<QByteArray> inflated = gzipDecompress(data);
    if (!inflated)
        return std::nullopt;
    const QELDataReader body(*inflated);
    if (!checkHeaderBytes(body))
        return std::nullopt;
    const std::optional<QByteArray> noteMessage = readNoteMessage(body);
    if (!noteMessage)
        return std::nullopt;
    const QELDataReader note(*noteMessage);
    std::optional<ContentList> parts = readTextContent(note);
    if (!parts)
        return std::nullopt;
    // Hashtags and mentions sit inside lines as U+FFFC; their text comes
    // from the store, so the attachments are walked for the plain text too.
    const bool inlineText = !inlineTexts.isEmpty() && holdsObjectReplacement(*parts);
    if (!withAttachments && !inlineText)
        return parts;
    const std::optional<QList<QELNoteFormatDetail>> runs = readFormatData(note);
    if (!runs)
        return withAttachments ? std::nullopt : parts;

    // The n-th U+FFFC of the text is the n-th attachment, whatever its kind:
    // one we do not show keeps its placeholder, so later ones keep their
    // places; one inside a longer line stays in that line's text but still
    // counts.
    ContentList result;
    result.reserve(parts->size());
    int exportCounter = 1;
    qsizetype next = 0;
    for (const std::shared_ptr<QELNoteContent>& part : std::as_const(*parts)) {
        if (part->contentFormat() != QELNoteContent::kUnresolved) {
            const auto* line = static_cast<const QELTextNoteContent*>(part.get());
            const QString text = line->textData();
            if (!inlineText || !text.contains(QChar(kObjectReplacementCharacter))) {
                next += text.count(QChar(kObjectReplacementCharacter));
                result.append(part);
                continue;
            }
            QString resolved;
            resolved.reserve(text.size());
            for (const QChar c : text) {
                const QString* replacement = nullptr;
                if (c == QChar(kObjectReplacementCharacter) && next < runs->size())
                    replacement = inlineTextOf(runs->at(next++), inlineTexts);
                if (replacement)
                    resolved += *replacement;
                else
                    resolved += c;
            }
            auto resolvedLine = std::make_shared<QELTextNoteContent>();
            resolvedLine->setTextData(resolved);
            result.append(resolvedLine);
            continue;
        }
        if (next >= runs->size()) {
            result.append(part);
            continue;
        }
        const QELNoteFormatDetail& run = runs->at(next++);
        if (const QString* replacement = inlineTextOf(run, inlineTexts)) {
            // A line that holds only a hashtag is a line of text.
            auto line = std::make_shared<QELTextNoteContent>();
            line->setTextData(*replacement);
            result.append(line);
            continue;
        }
        if (!withAttachments) {
            result.append(part);
            continue;
        }
        auto media = std::make_shared<QELMediaNoteContent>();
        media->setContentFormat(run.formatType());
        media->setIdentifier(run.identifier());
        media->setTypeIdentifier(run.typeIdentifier());
        if (run.formatType() != QELNoteContent::kUnresolved)
            media->setExportName(QString::number(exportCounter++));
        result.append(media);
    }
    return result;
}

std::optional<QELIOS9NoteDataReader::TableRows> QELIOS9NoteDataReader::readTableData(
    const QByteArray& mergeableData)
{
    try {
        if (mergeableData.isEmpty())
            return std::nullopt;
        const std::optional<QByteArray> inflated = gzipDecompress(mergeableData);
        if (!inflated || inflated->isEmpty())
            return std::nullopt;
        return MergeableTable().read(*inflated);
    } catch (const std::exception& e) {
        qCWarning(lcOrvane) << "A note table could not be decoded:" << e.what();
        return std::nullopt;
    }
}

QELIOS9NoteDataReader::ContentList QELIOS9NoteDataReader::readNoteData(
    const QByteArray& data, const InlineTexts& inlineTexts)
{
    try {
        return decode(data, true, inlineTexts).value_or(ContentList());
    } catch (const std::exception& e) {
        qCWarning(lcOrvane) << "A note body could not be decoded:" << e.what();
        return {};
    }
}

QString QELIOS9NoteDataReader::readNoteText(const QByteArray& data, const InlineTexts& inlineTexts)
{
    try {
        const std::optional<ContentList> parts = decode(data, false, inlineTexts);
        if (!parts)
            return QString(QLatin1String(""));
        QStringList lines;
        lines.reserve(parts->size());
        for (const std::shared_ptr<QELNoteContent>& part : *parts)
            lines.append(part->plainTextRepresentation());
        return lines.join(QLatin1Char('\n'));
    } catch (const std::exception& e) {
        qCWarning(lcOrvane) << "A note body could not be decoded:" << e.what();
        return QString(QLatin1String(""));
    }
}
