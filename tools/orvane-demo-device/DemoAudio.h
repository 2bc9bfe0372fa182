// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Small real audio files for the demo device: a short melody as 8-bit mono PCM
// in a WAV container, tagged with ID3v2 through TagLib.
namespace DemoAudio {

struct Tags {
    QString title;
    QString artist;
    QString album;
    QString genre;
    int year = 0;
    int trackNumber = 0;
};

// Writes a tune of about `seconds` seconds whose notes follow from `seed`.
// Answers the file's size in bytes, or -1 when it could not be written.
qint64 writeTaggedTune(const QString& path, int seed, int seconds, const Tags& tags);

// The exact duration in milliseconds of a tune written with `seconds`.
qint64 tuneDurationMs(int seconds);

} // namespace DemoAudio
