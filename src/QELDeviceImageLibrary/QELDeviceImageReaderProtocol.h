// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>

#include "ImageDetail.h"

// What every concrete image reader answers.
class QELDeviceImageReaderProtocol {
public:
    virtual ~QELDeviceImageReaderProtocol() = default;
    // Reads the library into the store; false when the library could not be kept.
    virtual bool readImageDatabase() = 0;
    // The image of an artwork or photo id, or none.
    virtual ImageDetailPtr getImageDetailForId(std::optional<qint64> id) const = 0;
};
