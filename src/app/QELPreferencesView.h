#pragma once

#include "QELPagedView.h"

// A pane of the preferences window: shows the stored values when it is made
// and writes them back in SavePreferencesInView(), which every pane overrides.
class QELPreferencesView : public QELPagedView {
    Q_OBJECT
public:
    explicit QELPreferencesView(const QRect& frame = QRect(), QWidget* parent = nullptr);

    // Writes the pane's values; the base throws std::logic_error.
    virtual void SavePreferencesInView();
};
