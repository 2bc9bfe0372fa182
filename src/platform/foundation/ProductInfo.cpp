// SPDX-License-Identifier: GPL-3.0-or-later
#include "ProductInfo.h"

namespace ProductInfo {

QString name() { return QStringLiteral("Orvane"); }

QString makerHomePage() { return QStringLiteral("https://www.orvane.example/"); }

} // namespace ProductInfo
