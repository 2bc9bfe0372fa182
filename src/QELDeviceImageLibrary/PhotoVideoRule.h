// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>

#include <QString>

// The one test of whether a library item is a video, used by the reader, the
// view and the copy jobs alike: ".mov" or ".MOV" anywhere in its name, a
// video extension in any case (mov, mp4, m4v, 3gp), or the library's kind 1.
namespace PhotoVideoRule {
bool isVideo(const QString& fileName, std::optional<qint64> assetKind = std::nullopt);
}
