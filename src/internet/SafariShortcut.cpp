// SPDX-License-Identifier: GPL-3.0-or-later
#include "SafariShortcut.h"

#include <QUrl>
#include <QVariantMap>

#include "AtomicFile.h"
#include "Plist.h"

namespace SafariShortcut {

namespace {

const QString kExtension = QStringLiteral("webloc");

QString write(const QString& path, const QString& address, QString* error)
{
    if (path.isEmpty()) {
        if (error)
            *error = QStringLiteral("no file name could be made for the shortcut");
        return QString();
    }
    return writeFileAtomically(path, contents(address), error) ? path : QString();
}

} // namespace

QByteArray contents(const QString& address)
{
    QVariantMap shortcut;
    shortcut.insert(QStringLiteral("URL"), address);
    return Plist::serialize(shortcut, Plist::Format::Xml);
}

QString nameFallback(const QString& address)
{
    const QString host = QUrl(address).host();
    return host.isEmpty() ? QStringLiteral("Shortcut") : host;
}

QString save(const QString& folder, const QString& title, const QString& address, QString* error)
{
    // A shortcut already there of this name stays; the new one is numbered.
    Run run(folder);
    return run.save(title, address, error);
}

Run::Run(const QString& folder)
    : m_namer(folder, SafePath::Numbering::Spaced, SafePath::Taken::Both)
{
}

QString Run::save(const QString& title, const QString& address, QString* error)
{
    QString path = m_namer.claimPath(title, kExtension, nameFallback(address));
    if (path.isEmpty())
        path = m_namer.claimPath(QStringLiteral("Shortcut"), kExtension);
    return write(path, address, error);
}

} // namespace SafariShortcut
