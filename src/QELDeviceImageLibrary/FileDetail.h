// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <optional>

#include <QtGlobal>

// One image file of a binary database.
struct FileDetail {
    std::optional<qint64> correlationID;
    std::optional<qint64> bytesSize;
};

using FileDetailPtr = std::shared_ptr<FileDetail>;
