// SPDX-License-Identifier: GPL-3.0-or-later
#include "InternetImages.h"

namespace InternetImages {

QIcon folder() { return QIcon(QStringLiteral(":/internet/folder.png")); }

QIcon bookmark() { return QIcon(QStringLiteral(":/internet/bookmark.png")); }

} // namespace InternetImages
