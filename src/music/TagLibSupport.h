// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <exception>
#include <optional>
#include <utility>

#include <taglib/tstring.h>

#include <QByteArray>
#include <QString>

#include "Log.h"

namespace TagLib::MPEG {
class File;
}

// The conventions every tag reader and writer shares: how text crosses into
// and out of TagLib, how numbers are read out of tag texts, how an MPEG file
// is saved, and how a TagLib call that throws is contained.
namespace TagLibSupport {

// TagLib's name of a local file.
QByteArray fileName(const QString& path);

// A string for TagLib as real Unicode.
TagLib::String toTagLib(const QString& text);

enum class Decoding {
    // A value that cannot be taken as UTF-8 bytes is kept as the characters it is.
    WithFallback,
    // Such a value is no text at all (numbers and flags: it cannot hold one).
    Strict,
};

// A TagLib value as text. Files written by the old convention hold UTF-8 bytes
// one per character: a value whose characters are all at most U+00FF and
// whose bytes form valid UTF-8 with at least one multi-byte sequence is
// decoded from those bytes. With Strict, a value in that range with other
// non-ASCII bytes gives a null string.
QString fromTagLib(const TagLib::String& value, Decoding decoding);

// Leading white space skipped, an optional sign, then decimal digits up to
// the first other character; 0 without digits; clamped to 32 bits.
qint32 integerValue(const QString& text);

// A "n/m" text split at its last "/", a trailing "/" ignored: "3/12" gives
// "3" and "12", "/2" gives "" and "2"; without "/", hasSlash is false.
struct SlashParts {
    bool hasSlash = false;
    QString before;
    QString after;
};
SlashParts splitAtLastSlash(const QString& text);

// A "n/m" text the MP3 writer is to store, from the map's number and total
// (either may be absent) and the text the file holds (null when it has none,
// or none that can be taken as text): both given make "n/m"; one given is
// merged with the other part of the held text; nothing to store otherwise.
std::optional<QString> mergedNumberText(const std::optional<double>& number,
                                        const std::optional<double>& total,
                                        const QString& existing);
// The same rules for an MP4 integer pair.
std::optional<std::pair<int, int>> mergedNumberPair(const std::optional<double>& number,
                                                    const std::optional<double>& total,
                                                    const QString& existing);

// The 32-bit integer values the writers take of a number (fraction dropped;
// values beyond 32 bits keep their low 32 bits, as a C conversion does).
qint32 int32Value(double number);
quint32 uint32Value(double number);

// Saves the ID3v2 tag in version 2.4, and an ID3v1 or APE tag only where the
// file already has one: TagLib's plain save would add a lossy ID3v1 copy.
bool saveMPEGFile(TagLib::MPEG::File& file);

// Whether every top-level atom of an MP4 file ends inside the file. TagLib
// takes a file whose atoms point past its end for whole, and would read part
// of its tags or write into the gap.
bool mp4AtomsFitFile(const QString& path);

// The kinds of audio file whose tags this program writes, each through the
// tag TagLib keeps for it: ID3v2 (MP3, and inside WAV and AIFF, with WAV's
// INFO list beside it), the MP4 item list, and Xiph comments (FLAC, Ogg).
enum class AudioKind { MP3, MP4, WAV, AIFF, FLAC, Ogg, Unknown };

// The kind of a file by its extension, confirmed by its first bytes: a file
// whose content is not what its name says (a RIFF file named .mp3) is
// Unknown, and so is every format not listed. The MP3 check looks for a
// frame only in the first kMP3SyncSearch bytes after an ID3v2 tag, so a huge
// file of zeros is refused at once rather than searched to its end.
AudioKind audioKindOf(const QString& path);
constexpr qint64 kMP3SyncSearch = 1024 * 1024;

// What is wrong with a file a writer has just saved, read back: TagLib must
// open it as the same kind with a tag, its container's own lengths must
// agree with the file (RIFF and FORM sizes, MP4 atoms, FLAC blocks, Ogg
// pages), and the title, when one was written, must read back. Empty when
// the file is sound.
QString writtenFileProblem(const QString& path, AudioKind kind,
                           const QString& expectedTitle = QString());

// "image/png" and the like for image bytes, by their content; null when no
// image reader knows them.
QString sniffedImageMimeType(const QByteArray& data);

// Runs a TagLib call; a standard exception from it is logged and gives `failure`.
template <class Result, class Call>
Result guarded(const char* what, const QString& path, Result failure, Call&& call)
{
    try {
        return call();
    } catch (const std::exception& error) {
        qCWarning(lcOrvane) << what << path << "failed:" << error.what();
        return failure;
    }
}

} // namespace TagLibSupport
