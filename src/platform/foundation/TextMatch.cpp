// SPDX-License-Identifier: GPL-3.0-or-later
#include "TextMatch.h"

namespace TextMatch {

QString fold(const QString& text)
{
    const QString decomposed = text.normalized(QString::NormalizationForm_KD);
    QString folded;
    folded.reserve(decomposed.size());
    for (QChar c : decomposed) {
        const QChar::Category category = c.category();
        if (category == QChar::Mark_NonSpacing || category == QChar::Mark_SpacingCombining
            || category == QChar::Mark_Enclosing)
            continue;
        folded.append(c);
    }
    return folded.toCaseFolded();
}

bool containsFolded(const QString& text, const QString& foldedNeedle)
{
    return fold(text).contains(foldedNeedle);
}

int compareFolded(const QString& a, const QString& b) { return fold(a).compare(fold(b)); }

} // namespace TextMatch
