// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "QELTransferPhotos.h"

// The photo transfer into a library that keeps originals: every image whose
// file the device has goes as it is; only one without (the binary photo
// database) goes as a JPEG of its picture.
class QELTransferPhotosPhotos : public QELTransferPhotos {
    Q_OBJECT
public:
    explicit QELTransferPhotosPhotos(QObject* parent = nullptr);
    // Joins the workers while take() still answers this class's kind.
    ~QELTransferPhotosPhotos() override;

protected:
    PhotoOriginals::Take take() const override { return PhotoOriginals::Take::Originals; }
};
