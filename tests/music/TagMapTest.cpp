// SPDX-License-Identifier: GPL-3.0-or-later
// What a copy of a tag map keeps.
#include <gtest/gtest.h>

#include <QImage>

#include "QELTagMap.h"

namespace {

TEST(TagMapCopy, KeepsTheSignedThirtyTwoBitValueOfEveryNumber)
{
    struct Case {
        const char* name;
        double value;
        double copied;
    };
    const Case cases[] = {
        {"a fraction is dropped", 2.7, 2},
        {"a negative fraction towards zero", -2.7, -2},
        {"an unsigned year above 2^31 turns negative", 3000000000.0, -1294967296.0},
        {"the largest unsigned value is -1", 4294967295.0, -1},
        {"a plain number stays", 1999, 1999},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QELTagMap map;
        map.setDiscNumber(c.value);
        map.setDiscTotal(c.value);
        map.setReleaseYear(c.value);
        map.setTrackNumber(c.value);
        map.setTrackTotal(c.value);
        const QELTagMap copy(map);
        EXPECT_EQ(copy.DiscNumber(), c.copied);
        EXPECT_EQ(copy.DiscTotal(), c.copied);
        EXPECT_EQ(copy.ReleaseYear(), c.copied);
        EXPECT_EQ(copy.TrackNumber(), c.copied);
        EXPECT_EQ(copy.TrackTotal(), c.copied);
        QELTagMap assigned;
        assigned = map;
        EXPECT_EQ(assigned.ReleaseYear(), c.copied);
    }
}

TEST(TagMapCopy, KeepsAbsenceAndTheCompilationFlagAsTheyAre)
{
    QELTagMap map;
    QELTagMap copy(map);
    EXPECT_FALSE(copy.Compilation().has_value());
    EXPECT_FALSE(copy.TrackNumber().has_value());
    EXPECT_TRUE(copy.TrackName().isNull());
    EXPECT_TRUE(copy.Artwork().isNull());
    EXPECT_EQ(copy.ArtworkState(), 0);
    EXPECT_FALSE(copy.ArtworkAttempted());

    map.setCompilation(false);
    map.setArtworkState(QELTagMap::kArtworkRemove);
    map.setArtworkAttempted(true);
    map.setReleaseMBID(QStringLiteral("mbid"));
    map.setTrackName(QString::fromUtf8("Café"));
    copy = QELTagMap(map);
    EXPECT_EQ(copy.Compilation(), std::optional<bool>(false));
    EXPECT_EQ(copy.ArtworkState(), QELTagMap::kArtworkRemove);
    EXPECT_TRUE(copy.ArtworkAttempted());
    EXPECT_EQ(copy.ReleaseMBID(), QStringLiteral("mbid"));
    EXPECT_EQ(copy.TrackName(), QString::fromUtf8("Café"));
}

TEST(TagMapCopy, SharesNoImageWithTheOriginal)
{
    QELTagMap map;
    QImage image(2, 2, QImage::Format_RGB32);
    image.fill(Qt::red);
    map.setArtwork(image);
    QELTagMap copy(map);
    QImage changed = copy.Artwork();
    changed.setPixel(0, 0, qRgb(0, 0, 255));
    copy.setArtwork(changed);
    EXPECT_EQ(map.Artwork().pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_NE(map.Artwork().constBits(), QELTagMap(map).Artwork().constBits());
}

} // namespace
