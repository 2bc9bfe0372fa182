#pragma once

#include <QString>

// Where a preview copy of a device file goes: a new, time-stamped name in the
// program's temporary folder, keeping the device file's extension only when it
// is a plain one. Empty when there is no temporary folder.
// `prefix` begins the name ("mediacache" for the preview player).
QString mediaPreviewCachePath(const QString& devicePath,
                              const QString& prefix = QStringLiteral("mediacache"));
