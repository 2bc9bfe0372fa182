// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <mutex>
#include <optional>

#include <QDateTime>
#include <QString>

#include "EmbeddedThumbnail.h"

// One image, photo or video in one stored size. A reader fills the fields
// while it reads; afterwards the record is shared, read from any thread and
// never changed again, except for the album name through which it was last
// listed, which has a lock of its own. Unset values are empty optionals and
// never match a flag or a number.
class ImageDetail {
public:
    ImageDetail() = default;
    ImageDetail(const ImageDetail&) = delete;
    ImageDetail& operator=(const ImageDetail&) = delete;

    std::optional<qint64> imageID;
    QString title;
    // The whole file name as the device stores it (the title may be cut for
    // display); copies and the inspection name files by it.
    QString fileName;
    QString fullImagePath;
    QString fullImageAdjustedPath;
    QString thumbnailPath;
    std::optional<qint64> thumbnailOffset;
    std::optional<qint64> dataSize;
    std::optional<qint64> imageFormat;
    std::optional<qint64> width;
    std::optional<qint64> height;
    std::optional<qint64> horizontalPadding;
    std::optional<qint64> verticalPadding;
    std::optional<qint64> originalWidth;
    std::optional<qint64> originalHeight;
    std::optional<qint64> orientation;
    std::optional<qint64> mhifReference;
    QDateTime dateCreated;
    QDateTime dateTrashed;
    std::optional<double> sortToken;

    std::optional<bool> isVideo;
    std::optional<bool> isFavorite;
    std::optional<bool> isPanoramic;
    std::optional<bool> isSelfie;
    std::optional<bool> isScreenshot;
    std::optional<bool> isTrashed;
    // Hidden on the device: shown there only in the Hidden album.
    std::optional<bool> isHidden;
    std::optional<bool> isRecentlyAdded;
    std::optional<bool> isFromStream;
    std::optional<bool> isFromCamera;
    std::optional<bool> isICloudPlaceholder;

    std::optional<EmbeddedThumbnail> embeddedThumbnail;

    // Any thread.
    QString singleInstanceAlbumName() const;
    void setSingleInstanceAlbumName(const QString& name);

    // True only for a flag that is set and YES.
    static bool isYes(const std::optional<bool>& flag) { return flag.has_value() && *flag; }
    bool hasRawFormat() const { return imageFormat == 1 || imageFormat == 2; }

private:
    mutable std::mutex m_albumNameMutex;
    QString m_singleInstanceAlbumName;
};

using ImageDetailPtr = std::shared_ptr<ImageDetail>;
