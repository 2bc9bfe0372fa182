// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELTransferPhotosPhotos.h"

QELTransferPhotosPhotos::QELTransferPhotosPhotos(QObject* parent)
    : QELTransferPhotos(parent)
{
}

QELTransferPhotosPhotos::~QELTransferPhotosPhotos() { stopWorkers(); }
