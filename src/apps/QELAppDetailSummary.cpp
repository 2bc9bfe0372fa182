// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELAppDetailSummary.h"

QString QELAppDetailSummary::archiveFileText(const QELAppDetailSummary& app)
{
    // Made a file name (leading dots included) by the rule every copy uses.
    return app.bundleName().trimmed();
}

bool QELAppDetailSummary::nameOrder(const QELAppDetailSummary& a, const QELAppDetailSummary& b)
{
    return a.bundleName() < b.bundleName();
}
