// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "FolderMediaLibraryHost.h"

// What the folder music library host needs from above its layer: covers
// embedded into a track's file and read back through the tag library, and
// the media folder opened on the desktop. The application makes its host
// with these.
FolderMediaLibraryHost::Services musicLibraryHostServices();
