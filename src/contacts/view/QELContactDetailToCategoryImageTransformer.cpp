// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELContactDetailToCategoryImageTransformer.h"

QELContactDetailToCategoryImageTransformer::Kind QELContactDetailToCategoryImageTransformer::kindOf(
    const QELContact* contact)
{
    if (!contact || (contact->FN && !contact->FN->isEmpty()))
        return Kind::Person;
    if (contact->organisation && !contact->organisation->isEmpty())
        return Kind::Group;
    return Kind::Person;
}

QIcon QELContactDetailToCategoryImageTransformer::iconOf(Kind kind)
{
    return QIcon(kind == Kind::Group ? QStringLiteral(":/contacts/contact_group.svg")
                                     : QStringLiteral(":/contacts/contact_person.svg"));
}
