// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>

// Receiver of one artwork load over HTTP, told on the loading thread.
class QELDeviceImageLibraryGetArtworkFromURLDelegate {
public:
    virtual ~QELDeviceImageLibraryGetArtworkFromURLDelegate() = default;
    virtual void OnLoadArtworkFromURLCompleteWithImage(const QImage& image) = 0;
    virtual void OnLoadArtworkFromURLFailed() = 0;
};
