// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Told how far a conversation page has come.
class QELMessagesHTMLGeneratorDelegate {
public:
    virtual ~QELMessagesHTMLGeneratorDelegate() = default;

    // The message about to be written (counted from 1) of `total`. On the
    // generating thread.
    virtual void OnHTMLGeneratorProgressOf(double current, double total)
    {
        (void)current;
        (void)total;
    }
};
