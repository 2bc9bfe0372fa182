// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What a read of the computer's music library index carries when it ends.
class QELITunesLibraryReadCompleteArguments {
public:
    explicit QELITunesLibraryReadCompleteArguments(bool success) : m_success(success) {}
    bool success() const { return m_success; }

private:
    bool m_success;
};

// Receiver of the index's read-complete event, sent on the index's own thread.
class QELITunesLibraryDelegate {
public:
    virtual ~QELITunesLibraryDelegate() = default;
    virtual void OnITunesLibraryLoadCompleteWithArguments(const QELITunesLibraryReadCompleteArguments& arguments) = 0;
};
