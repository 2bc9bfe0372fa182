// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Receiver of the full-size image view's double clicks.
class QELNSImageViewDelegate {
public:
    virtual ~QELNSImageViewDelegate() = default;
    virtual void OnImageViewDoubleClicked() = 0;
};
