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
        case kVarint:
            if (!reader.readVarint())
                return false;
            break;
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

std::shared_ptr<QELNoteContent> linePart(const QByteArray& bytes)
{
    if (bytes == kObjectReplacement)
        return std::make_shared<QELMediaNoteContent>();
    auto line = std::make_shared<QELTextNoteContent>();
    line->setTextData(QELIOS9NoteDataReader::stringFromBytes(bytes).value_or(QString()));
    return line;
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
    const QByteArray& data, bool withAttachments)
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
    if (!withAttachments)
        return parts;
    const std::optional<QList<QELNoteFormatDetail>> runs = readFormatData(note);
    if (!runs)
        return std::nullopt;

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
            next += line->textData().count(QChar(kObjectReplacementCharacter));
            result.append(part);
            continue;
        }
        if (next >= runs->size()) {
            result.append(part);
            continue;
        }
        const QELNoteFormatDetail& run = runs->at(next++);
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

QELIOS9NoteDataReader::ContentList QELIOS9NoteDataReader::readNoteData(const QByteArray& data)
{
    try {
        return decode(data, true).value_or(ContentList());
    } catch (const std::exception& e) {
        qCWarning(lcOrvane) << "A note body could not be decoded:" << e.what();
        return {};
    }
}

QString QELIOS9NoteDataReader::readNoteText(const QByteArray& data)
{
    try {
        const std::optional<ContentList> parts = decode(data, false);
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
