// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCoreApplication>
#include <QString>

#include "CopyFailure.h"

struct QELCopyOutcome;

// The end message of every copy, export and transfer: the title says how much
// was copied, the detail what was not and why. "All … copied" only when it is
// true. Counted texts go through Qt's plural forms.
class QELCopyEndMessage {
    Q_DECLARE_TR_FUNCTIONS(QELCopyEndMessage)
public:
    // `allCopied` is the category's own text for a run that copied everything
    // ("All photos have been copied.").
    static QString title(const QELCopyOutcome& outcome, const QString& allCopied);
    static QString detail(const QELCopyOutcome& outcome);
    // "the folder is read-only", "the disk is full", …
    static QString reasonText(CopyFailure failure);
};
