// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>

#include <QtGlobal>

// A JPEG thumbnail embedded in a photo's own file: where it lies in that file.
struct EmbeddedThumbnail {
    std::optional<qint64> offset;
    std::optional<qint64> length;
    std::optional<qint64> width;
    std::optional<qint64> height;
};
