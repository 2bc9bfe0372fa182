// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QLabel;
class QString;
class QWidget;

// The look shared by the backup pages of the device content page.
namespace BackupPageStyle {

// A centred title in the pages' large type.
QLabel* title(const QString& text, QWidget* parent);
// A centred, wrapped line of explanation in grey, of a fixed reading width.
QLabel* detail(const QString& text, QWidget* parent);

} // namespace BackupPageStyle
