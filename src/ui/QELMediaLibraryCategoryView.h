// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>

class QELDeviceImageLibraryReader;
class QELDeviceMediaLibrary;
class QELITunesLibrary;

// What the device content page hands the music category's view, which it
// knows only through this: the device's media store, the index of the
// computer's music library and the device's artwork reader (any may be
// null), and the refresh after the preferences changed. Main thread.
class QELMediaLibraryCategoryView {
public:
    virtual ~QELMediaLibraryCategoryView() = default;

    // Given once, right after the view is made and before its delegate is set.
    virtual void setLibraries(std::shared_ptr<QELDeviceMediaLibrary> mediaLibrary,
                              std::shared_ptr<QELITunesLibrary> iTunesLibrary,
                              std::shared_ptr<QELDeviceImageLibraryReader> artworkLibrary) = 0;
    // The preferences changed: the source list, the browse lists and the
    // artwork panel follow them.
    virtual void refreshAfterPreferencesChange() = 0;
};
