#pragma once

#include <QString>

// Tests applied to every name that comes out of a backup manifest, a tool's
// output or a caller before it becomes part of a local path, so that no such
// name can reach outside the folder it is meant for. The name and path tests
// are SafePath's; the backup's own names are checked here.
namespace BackupPathRules {

// SafePath::isPlainName: not empty, not "." or "..", without "/" or NUL.
bool isPlainFileName(const QString& name);

// SafePath::isSafeRelativePath, for a path relative to a backup domain: not
// empty, not absolute, no empty, "." or ".." component, no NUL and no line break.
bool isSafeRelativePath(const QString& path);

// A file identifier: 40 hexadecimal digits (either case).
bool isFileIdentifier(const QString& text);

// A backup file's name inside its device folder: an identifier ("<40 hex>")
// or, in the later layout, "<2 hex>/<40 hex>" whose folder is the identifier's
// first two digits.
bool isBackupFileName(const QString& text);

// The text after the last "/" (the whole text when it has none).
QString lastComponent(const QString& path);

} // namespace BackupPathRules
