#pragma once

#include <QIcon>
#include <QPixmap>
#include <QSize>
#include <QString>

class QWidget;

// The program's own pictures (scalable, in resources/images), by name without
// extension: "device-connect", "device-passcode", "device-trust",
// "device-generic", "hud-caching", "hud-cancel".
namespace AppImages {

QIcon icon(const QString& name);

// The picture at `size` points, rendered sharp for the screen `widget` is on.
QPixmap pixmap(const QString& name, const QSize& size, const QWidget* widget = nullptr);

} // namespace AppImages
