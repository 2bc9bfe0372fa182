// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

// Writes all `size` bytes to a file descriptor, going on after a short write
// or an interrupted call; false at the first real error.
bool writeAllToDescriptor(int fd, const char* data, qint64 size);
