// SPDX-License-Identifier: GPL-3.0-or-later
#include "ParticipantNameOrder.h"

#include "TextMatch.h"

namespace ParticipantNameOrder {

Kind kindOf(const QString& displayName)
{
    if (displayName.isEmpty())
        return Kind::Empty;
    const QChar lead = displayName.at(0);
    const char32_t first =
        lead.isHighSurrogate() && displayName.size() > 1 && displayName.at(1).isLowSurrogate()
        ? QChar::surrogateToUcs4(lead, displayName.at(1))
        : lead.unicode();
    if (QChar::isDigit(first) || displayName.contains(QLatin1Char('+')))
        return Kind::Number;
    return Kind::Name;
}

int compareNames(const QString& a, const QString& b)
{
    const Kind kindA = kindOf(a);
    const Kind kindB = kindOf(b);
    if (kindA != kindB)
        return kindA < kindB ? -1 : 1;
    return TextMatch::compareFolded(a, b);
}

bool lessThan(const Entry& a, const Entry& b)
{
    if (const int byName = compareNames(a.displayName, b.displayName); byName != 0)
        return byName < 0;
    if (const int exact = a.displayName.compare(b.displayName); exact != 0)
        return exact < 0;
    return a.handle.compare(b.handle) < 0;
}

} // namespace ParticipantNameOrder
