// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QString>

// A photo as the desktop picture: written as a JPEG into the program's own
// folder of the user's pictures, "<pictures>/Orvane/Desktop_<imageID>.jpg"
// (a new name when that one is taken, so no file is ever replaced), and set
// through the desktop portal's Wallpaper interface over D-Bus. Blocking:
// worker threads.
namespace DesktopPicture {

// Whether the session's desktop portal offers the Wallpaper interface.
bool portalAvailable();

// The folder the pictures go into; empty without a pictures folder.
QString folder();

// Writes the picture; answers its path, empty (with the reason) on failure.
QString writePicture(const QImage& image, qint64 imageId, QString* error);

// Asks the portal to make the file the desktop picture.
bool setWallpaper(const QString& path, QString* error);

} // namespace DesktopPicture
