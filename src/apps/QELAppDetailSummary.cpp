// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELAppDetailSummary.h"

QString QELAppDetailSummary::archiveFileText(const QELAppDetailSummary& app)
{
    QString text = app.bundleName().trimmed();
    while (text.startsWith(QLatin1Char('.')))
        text.remove(0, 1);
    return text;
}

bool QELAppDetailSummary::nameOrder(const QELAppDetailSummary& a, const QELAppDetailSummary& b)
{
    return a.bundleName() < b.bundleName();
}
