// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELContactDetailToDisplayNameTransformer.h"

QString QELContactDetailToDisplayNameTransformer::transformedValue(const QELContact* contact)
{
    if (!contact)
        return {};
    if (contact->FN && !contact->FN->isEmpty())
        return *contact->FN;
    if (contact->organisation && !contact->organisation->isEmpty())
        return *contact->organisation;
    return {};
}
