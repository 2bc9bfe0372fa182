// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class BackupFileSource;

// The attachment files of a conversation page, shared by both formatters:
// where a device file's copy is put beside a page, under which name, and how
// the page refers to it. Blocking (file copies): the generator's thread.
namespace MessagesAttachmentFiles {

enum class Placing { Move, Copy };

// A device's file name made safe for a local one ("attachment" when nothing
// of it is usable).
QString safeName(const QString& deviceName);

// Puts `localFile` into `folder` as `name` (already safe). When a different
// file has that name, the next free "name (n)" is taken; a file of the same
// content under one of those names is reused instead of written again. A
// moved file that was not needed (an identical one was there) is removed.
// Answers the name used, empty when nothing could be put there.
QString place(const QString& localFile, const QString& folder, const QString& name,
              Placing placing);

// Whether the two files hold the same bytes.
bool sameContent(const QString& a, const QString& b);

// A local file as an attribute value (src, href): its file address,
// percent-encoded, HTML-escaped.
QString fileUrlAttribute(const QString& path);
// A file beside the page, by name, as an attribute value: percent-encoded,
// HTML-escaped.
QString relativeUrlAttribute(const QString& name);

// Device text as page text: escaped, each line break a "<br/>".
QString htmlTextWithLineBreaks(const QString& text);

// The file's extension after the last ".", as it stands; empty for none.
QString extensionOf(const QString& name);

// A local copy of a device file that the source holds at `relativePath` in
// `domain`; null when there is no source or it holds no such file.
QString lookUp(BackupFileSource* source, const QString& relativePath, const QString& domain);

} // namespace MessagesAttachmentFiles
