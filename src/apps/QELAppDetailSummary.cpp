// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELAppDetailSummary.h"

#include "SafePath.h"

QString QELAppDetailSummary::archiveFileStem(const QELAppDetailSummary& app)
{
    return SafePath::fileName(app.bundleName(), app.bundleID());
}
