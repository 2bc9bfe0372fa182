// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>

#include "QELContact.h"

// The icon beside a contact in the list: a group for a contact that is only
// an organisation, a person otherwise (also for no contact).
class QELContactDetailToCategoryImageTransformer {
public:
    enum class Kind { Person, Group };

    static Kind kindOf(const QELContact* contact);
    // A new icon of the kind; a list keeps one of each rather than making
    // one per row.
    static QIcon iconOf(Kind kind);
    static QIcon transformedValue(const QELContact* contact) { return iconOf(kindOf(contact)); }
};
