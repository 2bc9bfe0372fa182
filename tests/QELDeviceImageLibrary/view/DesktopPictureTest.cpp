// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop picture's file: a real JPEG in the program's own folder of
// the pictures folder, and a new name rather than a replaced file.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QStandardPaths>

#include "DesktopPicture.h"

TEST(DesktopPicture, IsAJpegUnderANewNameEachTime)
{
    const QString folder =
        QStandardPaths::writableLocation(QStandardPaths::PicturesLocation) + "/Orvane";
    EXPECT_EQ(DesktopPicture::folder(), folder);
    QImage picture(64, 48, QImage::Format_ARGB32);
    picture.fill(QColor(0, 128, 0, 255));
    QString error;
    const QString first = DesktopPicture::writePicture(picture, 5, &error);
    const QString second = DesktopPicture::writePicture(picture, 5, &error);
    EXPECT_EQ(first, folder + "/Desktop_5.jpg");
    EXPECT_EQ(second, folder + "/Desktop_5 (1).jpg");
    for (const QString& path : {first, second}) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        EXPECT_TRUE(bytes.startsWith("\xFF\xD8\xFF")) << path.toStdString();
        QImage read;
        ASSERT_TRUE(read.loadFromData(bytes, "JPEG"));
        EXPECT_EQ(read.size(), QSize(64, 48));
    }
    // No picture: nothing is written.
    EXPECT_TRUE(DesktopPicture::writePicture(QImage(), 6, &error).isEmpty());
    EXPECT_EQ(QDir(folder).entryList(QDir::Files).size(), 2);
}
