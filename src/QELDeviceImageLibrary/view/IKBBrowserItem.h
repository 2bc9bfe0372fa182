// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include "ImageDetail.h"

// The plain record behind one cell of the photo browser: the image's id as
// decimal text, its cache key.
class IKBBrowserItem {
public:
    IKBBrowserItem() = default;
    explicit IKBBrowserItem(const QString& imageId)
        : m_imageID(imageId)
    {
    }
    QString imageUID() const { return m_imageID; }
    QString imageID() const { return m_imageID; }
    void setImageID(const QString& id) { m_imageID = id; }
    ImageDetailPtr imageDetail() const { return m_imageDetail; }
    void setImageDetail(ImageDetailPtr detail) { m_imageDetail = std::move(detail); }

private:
    QString m_imageID;
    ImageDetailPtr m_imageDetail;
};
