// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>
#include <QSize>
#include <QString>

// The pictures of the file browser's rows: the folder picture, and for a file
// the icon of its type, found from the whole name ("archive.tar.gz" is a
// compressed tar archive, "report.final.pdf" a PDF), else our own plain file
// picture. Main thread.
namespace FileTypeIcons {

// The size a row's picture is drawn at.
inline constexpr QSize kIconSize{17, 18};

// The theme icon name of the file's type ("application-pdf"), then its
// generic name; empty when the name gives no known type.
QStringList iconNamesFor(const QString& fileName);
// The icon of a file: of its type when the icon theme has one, else ours.
QIcon fileIcon(const QString& fileName);
// Our plain file picture ("files_file").
QIcon plainFileIcon();
QIcon folderIcon();

} // namespace FileTypeIcons
