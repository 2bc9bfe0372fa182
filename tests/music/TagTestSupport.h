// SPDX-License-Identifier: GPL-3.0-or-later
// Audio fixtures tagged through TagLib as other programs tag them, and the
// images their covers are made of.
#pragma once

#include <functional>

#include <taglib/attachedpictureframe.h>
#include <taglib/commentsframe.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4coverart.h>
#include <taglib/mp4file.h>
#include <taglib/mp4item.h>
#include <taglib/mp4tag.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>
#include <taglib/unsynchronizedlyricsframe.h>
#include <taglib/wavfile.h>

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QString>

#include "AudioFixture.h"

namespace TagTest {

inline TagLib::String unicode(const QString& text)
{
    return TagLib::String(text.toUtf8().toStdString(), TagLib::String::UTF8);
}

// A value as the old convention stored it: the UTF-8 bytes, one character each.
inline TagLib::String utf8BytesAsLatin1(const QString& text)
{
    return TagLib::String(text.toUtf8().toStdString(), TagLib::String::Latin1);
}

inline QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline QString fromTagLibUtf8(const TagLib::String& value)
{
    return QString::fromUtf8(value.toCString(true));
}

inline void addTextFrame(TagLib::ID3v2::Tag& tag, const char* id, const TagLib::String& text,
                         TagLib::String::Type encoding = TagLib::String::UTF16)
{
    auto* frame = new TagLib::ID3v2::TextIdentificationFrame(TagLib::ByteVector(id, 4), encoding);
    frame->setText(text);
    tag.addFrame(frame);
}

inline void addPicture(TagLib::ID3v2::Tag& tag, const QByteArray& bytes, const char* mimeType,
                       const char* description = "")
{
    auto* frame = new TagLib::ID3v2::AttachedPictureFrame;
    frame->setMimeType(mimeType);
    frame->setDescription(description);
    frame->setType(TagLib::ID3v2::AttachedPictureFrame::FrontCover);
    frame->setPicture(TagLib::ByteVector(bytes.constData(), unsigned(bytes.size())));
    tag.addFrame(frame);
}

// Silent MPEG frames at `path`, with an ID3v2.3 tag that `tagger` fills (none
// when it leaves the tag empty) and, with `id3v1`, an ID3v1 tag too.
inline bool makeMp3(const QString& path,
                    const std::function<void(TagLib::ID3v2::Tag&)>& tagger = {},
                    const std::function<void(TagLib::ID3v1::Tag&)>& id3v1 = {})
{
    if (!AudioFixture::writeFile(path, AudioFixture::silentMp3()))
        return false;
    if (!tagger && !id3v1)
        return true;
    TagLib::MPEG::File file(QFile::encodeName(path).constData(), false);
    int tags = 0;
    if (tagger) {
        tagger(*file.ID3v2Tag(true));
        tags |= TagLib::MPEG::File::ID3v2;
    }
    if (id3v1) {
        id3v1(*file.ID3v1Tag(true));
        tags |= TagLib::MPEG::File::ID3v1;
    }
    return file.save(tags, TagLib::File::StripOthers, TagLib::ID3v2::v3,
                     TagLib::File::DoNotDuplicate);
}

// The minimal M4A at `path`, with the items `tagger` sets.
inline bool makeM4a(const QString& path, const std::function<void(TagLib::MP4::Tag&)>& tagger = {})
{
    if (!AudioFixture::writeFile(path, AudioFixture::minimalM4a()))
        return false;
    if (!tagger)
        return true;
    TagLib::MP4::File file(QFile::encodeName(path).constData(), false);
    if (!file.isValid())
        return false;
    tagger(*file.tag());
    return file.save();
}

inline QByteArray imageBytes(const char* format, QColor color = Qt::red)
{
    QImage image(4, 3, QImage::Format_RGB32);
    image.fill(color);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return buffer.data();
}

// Image bytes by extension ("png", "jpg", "bmp", "gif").
inline QByteArray imageBytesFor(const QString& extension)
{
    const QString lower = extension.toLower();
    if (lower == QLatin1String("gif"))
        return AudioFixture::tinyGif();
    if (lower == QLatin1String("jpg") || lower == QLatin1String("jpeg"))
        return imageBytes("JPEG");
    return imageBytes(lower.toLatin1().toUpper().constData());
}

inline TagLib::MP4::Item coverItem(const QByteArray& bytes, TagLib::MP4::CoverArt::Format format)
{
    TagLib::MP4::CoverArtList covers;
    covers.append(TagLib::MP4::CoverArt(
        format, TagLib::ByteVector(bytes.constData(), unsigned(bytes.size()))));
    return TagLib::MP4::Item(covers);
}

} // namespace TagTest
