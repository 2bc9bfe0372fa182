// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

#include <QString>

class AtomicFileBatch;

// TagLib rewrites a file in place, so a save that fails halfway (a full disk,
// a damaged file, the program stopped) would leave the user's file broken.
// Every tag write therefore edits a copy beside the file, and the copy
// replaces the file only when the edit and its save succeeded.
namespace TagFileEdit {

// Copies `path` to a new name in its folder that keeps its extension (TagLib
// picks a file's kind by it), runs `edit` on the copy and, when it answers
// true, moves the copy over `path`. With a batch the move is part of the
// caller's run (synced at its commit); without one it is synced at once. The
// file is unchanged whenever the answer is false. Blocking; worker threads.
bool editInCopy(const QString& path, const std::function<bool(const QString& copy)>& edit,
                AtomicFileBatch* batch = nullptr);

} // namespace TagFileEdit
