// SPDX-License-Identifier: GPL-3.0-or-later
// The photo browser's items: the badges' places as a table, the drawn
// badges, the album icons of every kind, and an item without an id.
#include <gtest/gtest.h>

#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QStandardItemModel>
#include <QStyleOptionViewItem>
#include <QTest>

#include "PhotoBadgeGeometry.h"
#include "QELAlbumOutlineModel.h"
#include "QELBrowserItemProxy.h"
#include "QELNSImageView.h"
#include "QELNSImageViewDelegate.h"
#include "QELPhotoBrowserDelegate.h"
#include "QELPhotoBrowserModel.h"
#include "QELPhotoThumbnailLoader.h"

TEST(PhotoBadges, SitTenPointsUpCentredOrSideBySide)
{
    struct Case {
        bool favourite;
        bool iCloud;
        std::optional<QRectF> favouriteRect;
        std::optional<QRectF> iCloudRect;
    };
    // A 120-point thumbnail, badges of 20 and 24 points: the base x is
    // 60 - 10 = 50.
    const QList<Case> cases = {
        {false, false, std::nullopt, std::nullopt},
        {true, false, QRectF(50, 10, 20, 20), std::nullopt},
        {false, true, std::nullopt, QRectF(50, 10, 24, 24)},
        {true, true, QRectF(40, 10, 20, 20), QRectF(62, 10, 24, 24)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.favourite) * 2 + int(c.iCloud));
        const PhotoBadgeGeometry::Badges badges = PhotoBadgeGeometry::badgesFor(
            120, QSizeF(20, 20), QSizeF(24, 24), c.favourite, c.iCloud);
        EXPECT_EQ(badges.favourite, c.favouriteRect);
        EXPECT_EQ(badges.iCloud, c.iCloudRect);
    }
    EXPECT_EQ(PhotoBadgeGeometry::fromBottomLeft(QRectF(50, 10, 20, 20), 120),
              QRectF(50, 90, 20, 20));
}

TEST(PhotoBadges, AreDrawnOverTheThumbnail)
{
    // A loader without a reader answers no thumbnail; the cell's picture
    // comes through its decoration, as the browser model gives it.
    QStandardItemModel model;
    auto* item = new QStandardItem;
    QImage blue(120, 120, QImage::Format_RGB32);
    blue.fill(Qt::blue);
    item->setData(blue, Qt::DecorationRole);
    item->setData(true, QELPhotoBrowserModel::FavoriteRole);
    item->setData(false, QELPhotoBrowserModel::ICloudRole);
    model.appendRow(item);
    QELPhotoBrowserDelegate delegate;
    QImage cell(QELPhotoBrowserDelegate::kCell, QELPhotoBrowserDelegate::kCell,
                QImage::Format_RGB32);
    cell.fill(Qt::white);
    QPainter painter(&cell);
    QStyleOptionViewItem option;
    option.rect = cell.rect();
    delegate.paint(&painter, option, model.index(0, 0));
    painter.end();
    // The picture's middle stays blue; the badge, centred 10 points above
    // the bottom of the picture, is red.
    EXPECT_EQ(QColor(cell.pixel(66, 40)), QColor(Qt::blue));
    const int pictureBottom = 6 + 120;
    const QColor badge(cell.pixel(66, pictureBottom - 10 - 9));
    EXPECT_GT(badge.red(), 180);
    EXPECT_LT(badge.blue(), 120);
}

TEST(AlbumIcons, EveryKindHasItsIcon)
{
    const QList<QPair<qint64, QString>> cases = {
        {1, "photoLibrary"}, {6, "album"},
        {12, "calendar"},    {15, "contact"},
        {20, "globe"},       {22, "camera"},
        {24, "globe"},       {500, "iCloudLibrary"},
        {501, "favorite"},   {502, "panoramicLibrary"},
        {503, "trashed"},    {504, "video"},
        {505, "clock"},      {506, "Selfie"},
        {507, "screenshot"}, {2, "album"},
        {9999, "album"},
    };
    QELAlbumOutlineModel model;
    for (const auto& [kind, name] : cases) {
        SCOPED_TRACE(kind);
        EXPECT_EQ(QELAlbumOutlineModel::iconNameForKind(kind), name);
        EXPECT_FALSE(QELAlbumOutlineModel::iconForKind(kind).pixmap(18, 18).isNull());
    }
}

TEST(BrowserItem, AnImageWithoutIdHasNoItemAndNoPicture)
{
    QELPhotoThumbnailLoader loader;
    auto detail = std::make_shared<ImageDetail>();
    QELBrowserItemProxy proxy(detail, nullptr, &loader);
    EXPECT_FALSE(proxy.target().has_value());
    EXPECT_TRUE(proxy.imageUID().isEmpty());
    EXPECT_TRUE(proxy.imageRepresentation().isNull());
    detail->imageID = 42;
    QELBrowserItemProxy withId(detail, nullptr, &loader);
    EXPECT_EQ(withId.imageUID(), "42");
    ASSERT_TRUE(withId.target().has_value());
    EXPECT_EQ(withId.target()->imageUID(), "42");
    EXPECT_TRUE(withId.IKImageRepresentationWithType("another type").isNull());
}

namespace {
struct DoubleClicks : QELNSImageViewDelegate {
    void OnImageViewDoubleClicked() override { ++count; }
    int count = 0;
};
} // namespace

TEST(FullSizeImageView, OnlyADoubleClickReachesTheDelegate)
{
    QELNSImageView view;
    DoubleClicks clicks;
    view.setDelegate(&clicks);
    view.resize(200, 100);
    QTest::mouseClick(&view, Qt::LeftButton);
    EXPECT_EQ(clicks.count, 0);
    QTest::mouseDClick(&view, Qt::LeftButton);
    EXPECT_EQ(clicks.count, 1);
}
