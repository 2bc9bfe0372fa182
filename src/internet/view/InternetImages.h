// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>

// The pictures of the internet category's lists (resources of this library).
namespace InternetImages {

QIcon folder();
QIcon bookmark();

} // namespace InternetImages
