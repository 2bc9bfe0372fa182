// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>

#include <QVariantList>

class QELCopyDelegate;
class QELDeviceImageLibraryReader;
class QELDeviceInterface;
class QELTransferPhotosDelegate;

// What the photos view asks of either photo transfer (the library that
// keeps originals, the one that takes JPEG stills).
class QELTransferPhotosProtocol {
public:
    virtual ~QELTransferPhotosProtocol() = default;
    virtual void setDeviceInteface(QELDeviceInterface* deviceInterface) = 0;
    virtual void setPhotoTransferDelegate(QELTransferPhotosDelegate* delegate) = 0;
    virtual void setDelegate(QELCopyDelegate* delegate) = 0;
    virtual void setImageLibraryReader(std::shared_ptr<QELDeviceImageLibraryReader> reader) = 0;
    virtual void setItemQueue(const QVariantList& items) = 0;
    virtual void startCopy() = 0;
    virtual void cancelCopy() = 0;
};
