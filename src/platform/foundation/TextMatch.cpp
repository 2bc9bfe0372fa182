// SPDX-License-Identifier: GPL-3.0-or-later
#include "TextMatch.h"

namespace TextMatch {

namespace {

bool isMark(QChar c)
{
    const QChar::Category category = c.category();
    return category == QChar::Mark_NonSpacing || category == QChar::Mark_SpacingCombining
        || category == QChar::Mark_Enclosing;
}

// Letters that are a base letter with a mark to a reader but have no
// decomposition in Unicode (Turkish dotless i, Polish ł, Danish ø ...), and
// the full case foldings that Qt's simple folding leaves alone (ß to "ss"),
// in their case-folded forms.
const char16_t* spelledOut(char16_t c)
{
    switch (c) {
    case u'\u0131': // ı
        return u"i";
    case u'\u0142': // ł
        return u"l";
    case u'\u00F8': // ø
        return u"o";
    case u'\u0111': // đ
        return u"d";
    case u'\u0127': // ħ
        return u"h";
    case u'\u0167': // ŧ
        return u"t";
    case u'\u00DF': // ß
        return u"ss";
    case u'\u00E6': // æ
        return u"ae";
    case u'\u0153': // œ
        return u"oe";
    case u'\u03C2': // ς, folded to σ by full folding only in some versions
        return u"\u03C3";
    default:
        return nullptr;
    }
}

} // namespace

QString fold(const QString& text)
{
    const QString decomposed = text.normalized(QString::NormalizationForm_KD);
    QString stripped;
    stripped.reserve(decomposed.size());
    for (QChar c : decomposed)
        if (!isMark(c))
            stripped.append(c);
    const QString folded = stripped.toCaseFolded();
    QString result;
    result.reserve(folded.size());
    for (QChar c : folded) {
        if (const char16_t* spelled = spelledOut(c.unicode()))
            result.append(QString::fromUtf16(spelled));
        else
            result.append(c);
    }
    return result;
}

bool containsFolded(const QString& text, const QString& foldedNeedle)
{
    return fold(text).contains(foldedNeedle);
}

int compareFolded(const QString& a, const QString& b) { return fold(a).compare(fold(b)); }

} // namespace TextMatch
