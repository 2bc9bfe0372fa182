// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

#include "SafePath.h"

// Shortcut files as Linux desktops open them: freedesktop link files
// ("<name>.desktop", Type=Link, URL=, the title as Name=). Only web
// addresses (http and https) are saved; a file:, javascript: or other
// address is refused, since a desktop would hand it to whatever program
// claims its scheme. A shortcut is named after its title, else the address's
// host, else "Shortcut", made safe as a file name.
namespace SafariShortcut {

// Whether the address may become a shortcut.
bool canSave(const QString& address);
// The file's content: the title (else the file's name) as Name=.
QByteArray contents(const QString& title, const QString& address);
// What names a shortcut without a usable title: the address's host, else
// "Shortcut".
QString nameFallback(const QString& address);

// Writes one shortcut into `folder`, atomically replacing an older file of
// the same name. Answers the file's path; empty (with the reason in `error`)
// when it could not be written or the address was refused. Blocking.
QString save(const QString& folder, const QString& title, const QString& address,
             QString* error = nullptr);

// Writes a run of shortcuts into one folder: names that clash within the run
// are numbered ("News 1.desktop"), a file of an earlier run is replaced.
class Run {
public:
    explicit Run(const QString& folder);
    QString save(const QString& title, const QString& address, QString* error = nullptr);

private:
    SafePath::UniqueNamer m_namer;
};

} // namespace SafariShortcut
