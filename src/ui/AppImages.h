#pragma once

#include <QIcon>
#include <QPixmap>
#include <QSize>
#include <QString>

class QWidget;

// The program's own pictures (scalable, in resources/images), by name without
// extension: "device-connect", "device-passcode", "device-trust",
// "device-generic", "hud-caching", "hud-cancel", "play", "play_over", "pause",
// "pause_over", "next", "next_over", "copy", "itunes", "backup", "orvane".
namespace AppImages {

QIcon icon(const QString& name);

// The picture at `size` points, rendered sharp for the screen `widget` is on.
QPixmap pixmap(const QString& name, const QSize& size, const QWidget* widget = nullptr);

// The picture of a bundle image file name ("play.png"): the picture of that
// name without its extension.
QString nameOfImageFile(const QString& fileName);

} // namespace AppImages
