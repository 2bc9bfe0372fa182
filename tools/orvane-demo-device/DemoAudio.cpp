// SPDX-License-Identifier: GPL-3.0-or-later
#include "DemoAudio.h"

#include <cmath>

#include <taglib/id3v2tag.h>
#include <taglib/tstring.h>
#include <taglib/wavfile.h>

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

namespace DemoAudio {

namespace {

constexpr int kSampleRate = 8000;

void appendLE32(QByteArray& out, quint32 value)
{
    char bytes[4];
    qToLittleEndian(value, bytes);
    out.append(bytes, 4);
}

void appendLE16(QByteArray& out, quint16 value)
{
    char bytes[2];
    qToLittleEndian(value, bytes);
    out.append(bytes, 2);
}

// A pentatonic melody: each note a sine with a short attack and decay, so
// the preview sounds like a tune rather than a test tone.
QByteArray melody(int seed, int seconds)
{
    static const double scale[] = {261.63, 293.66, 329.63, 392.00, 440.00, 523.25, 587.33, 659.25};
    const int noteSamples = kSampleRate / 4;
    const int total = seconds * kSampleRate;
    QByteArray samples(total, char(128));
    quint32 state = 2166136261u ^ static_cast<quint32>(seed * 16777619);
    for (int start = 0, n = 0; start < total; start += noteSamples, ++n) {
        state = state * 1664525u + 1013904223u;
        const double frequency = scale[(state >> 16) % 8] * ((n % 8 == 7) ? 0.5 : 1.0);
        for (int i = 0; i < noteSamples && start + i < total; ++i) {
            const double t = double(i) / kSampleRate;
            const double envelope = std::min(1.0, i / 80.0) * std::exp(-3.0 * t);
            const double value = 0.45 * envelope * std::sin(2.0 * M_PI * frequency * t);
            samples[start + i] = char(128 + int(std::lround(value * 127.0)));
        }
    }
    return samples;
}

QByteArray wave(const QByteArray& samples)
{
    QByteArray out;
    out += "RIFF";
    appendLE32(out, 36 + samples.size());
    out += "WAVEfmt ";
    appendLE32(out, 16);
    appendLE16(out, 1);                 // PCM
    appendLE16(out, 1);                 // mono
    appendLE32(out, kSampleRate);
    appendLE32(out, kSampleRate);       // bytes per second
    appendLE16(out, 1);                 // block align
    appendLE16(out, 8);                 // bits per sample
    out += "data";
    appendLE32(out, samples.size());
    out += samples;
    return out;
}

TagLib::String toTag(const QString& text) { return TagLib::String(text.toStdString(), TagLib::String::UTF8); }

} // namespace

qint64 tuneDurationMs(int seconds) { return qint64(seconds) * 1000; }

qint64 writeTaggedTune(const QString& path, int seed, int seconds, const Tags& tags)
{
    {
        QFile file(path);
        const QByteArray bytes = wave(melody(seed, seconds));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
            return -1;
    }
    TagLib::RIFF::WAV::File file(QFile::encodeName(path).constData());
    if (!file.isValid())
        return -1;
    TagLib::ID3v2::Tag* tag = file.ID3v2Tag();
    tag->setTitle(toTag(tags.title));
    tag->setArtist(toTag(tags.artist));
    tag->setAlbum(toTag(tags.album));
    tag->setGenre(toTag(tags.genre));
    tag->setYear(static_cast<unsigned>(tags.year));
    tag->setTrack(static_cast<unsigned>(tags.trackNumber));
    if (!file.save())
        return -1;
    return QFileInfo(path).size();
}

} // namespace DemoAudio
