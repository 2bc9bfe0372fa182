// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// What the program says of itself where a page or a window names it.
namespace ProductInfo {

// The product's name, as pages credit it.
QString name();
// The product's page on the maker's web site (the About window, the footer
// of exported pages).
QString makerHomePage();

} // namespace ProductInfo
