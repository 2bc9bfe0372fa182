// SPDX-License-Identifier: GPL-3.0-or-later
#include "ImageDetail.h"

QString ImageDetail::singleInstanceAlbumName() const
{
    std::lock_guard lock(m_albumNameMutex);
    return m_singleInstanceAlbumName;
}

void ImageDetail::setSingleInstanceAlbumName(const QString& name)
{
    std::lock_guard lock(m_albumNameMutex);
    m_singleInstanceAlbumName = name;
}
