// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Receiver of a photo transfer's own event.
class QELTransferPhotosDelegate {
public:
    virtual ~QELTransferPhotosDelegate() = default;
    // The temporary copies are made and the import begins (also after a
    // cancel). On the job's thread.
    virtual void OnImportingToIPhotosStarted() {}
};
