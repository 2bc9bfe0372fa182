#pragma once

#include "ToolCommandLine.h"

// The reading commands, on the backup folder <backup root>/<device>, in either
// manifest generation. Each answers the tool's exit status.
namespace BackupReading {

// One line per file: 13 comma-separated fields, 0 the backup file (relative to
// the device folder), 1 the mode in octal, 2 the size, 3 and 4 the user and
// group, 5-7 the modification, access and creation times (Unix), 8 the
// protection class, 9 "file", 10 the content's SHA-1 in hexadecimal (when
// known), 11 the domain and 12 the relative path (last, so a "," in it keeps
// the rest of the line).
int list(const ToolCommandLine& line, const QString& backupRoot);

// Prints the backup file that holds the path.
int fileName(const ToolCommandLine& line, const QString& backupRoot);

// Writes the file under the last component of its path into the backup root,
// or into the folder named by ORVANE_EXTRACT_TO.
int extract(const ToolCommandLine& line, const QString& backupRoot);

} // namespace BackupReading
