// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

class QELDeviceMediaLibrary;

// `orvane-inspect media FOLDER`: reads the folder with the application's own
// media-library read and answers the JSON object the tool prints; false (with
// a one-line reason) when nothing could be read.
namespace MediaInspection {

bool inspectFolder(const QString& folder, QByteArray* json, QString* error);
QByteArray libraryJson(QELDeviceMediaLibrary& library);

} // namespace MediaInspection
