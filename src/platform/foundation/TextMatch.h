// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The match of every search field: case and diacritics do not count, so
// "Beyoncé", "BEYONCE" and "beyonce" find each other.
namespace TextMatch {

// The text in the form matches compare: compatibility-decomposed, combining
// marks dropped, case-folded.
QString fold(const QString& text);

// Whether `text` contains `foldedNeedle` (a fold() result; fold a search text
// once, not per row). An empty needle matches every text.
bool containsFolded(const QString& text, const QString& foldedNeedle);

// Compares two texts by their folded forms (<0, 0, >0), code unit by code unit.
int compareFolded(const QString& a, const QString& b);

} // namespace TextMatch
