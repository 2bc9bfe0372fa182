// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include "ImageDetail.h"

// One temporary copy of a photo transfer: where it lies and its image.
struct QELPhotoTransferDetail {
    QString temporaryPath;
    ImageDetailPtr imageDetail;
    // The album it was chosen from; empty: none.
    QString album;
};
