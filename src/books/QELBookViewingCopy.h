// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class QELBookDetails;
class QELDeviceInterface;

// The local copy of a PDF book that the default viewer opens: in "pdf" inside
// the program's temporary folder (emptied with it), in a folder named by the
// book's persistent ID, so two books of one name never share a copy, and
// named by the book's title, which the viewer shows. A copy whose
// size differs from the device file's is stale and made afresh. Blocking,
// worker threads only.
namespace QELBookViewingCopy {

// "<temporary folder>/pdf"; empty when there is no temporary folder.
QString folder();
// Where the book's copy goes; empty when it cannot have one.
QString localPathOf(const QELBookDetails& book);
// Copies the book's device file there unless an up-to-date copy is there
// already; answers the copy's path, empty when there is none.
QString copyForViewing(QELDeviceInterface& device, const QELBookDetails& book);

} // namespace QELBookViewingCopy
