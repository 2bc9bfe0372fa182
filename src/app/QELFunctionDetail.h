// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>
#include <QString>

// One entry of the category sidebar.
struct QELFunctionDetail {
    QString functionName;   // the localized title
    QIcon functionIcon;     // null when the icon file is missing
    int displayViewType = 0;
};
