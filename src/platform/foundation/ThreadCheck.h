// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

// The check that blocking reads (readers, stores, device file calls, backup
// lookups) never run on the GUI thread, where they would freeze the window.
// It is off unless switched on: the application switches it on in debug
// builds once its window exists; tests and tools, which call readers on their
// main thread on purpose, leave it off (or count violations through a handler).
namespace ThreadCheck {

// What a violation does; given the name of the function that was entered.
using ViolationHandler = std::function<void(const char* function)>;

void setEnabled(bool enabled);
bool isEnabled();

// Replaces what a violation does; an empty handler restores the default, which
// logs a warning naming the function and then, in debug builds (those with
// Q_ASSERT on, i.e. without QT_NO_DEBUG), ends the program with qFatal.
void setViolationHandler(ViolationHandler handler);

// Whether the calling thread is the application's GUI (main) thread; false
// when there is no application object.
bool onGuiThread();

} // namespace ThreadCheck

// At the entry of a blocking call: reports a violation when the check is on
// and the caller is on the GUI thread. Costs one atomic load when off.
// (__builtin_FUNCTION rather than std::source_location: the clang of the fuzz
// build cannot make the latter with this standard library.)
void assertNotOnGuiThread(const char* function = __builtin_FUNCTION());
