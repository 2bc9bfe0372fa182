// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>

#include "QELPagedView.h"

namespace Ui {
class QELDeviceDataCategoryLoadingView;
}
class QLabel;
class QProgressBar;

// The page laid over a backup-derived category while it loads its data.
class QELDeviceDataCategoryLoadingView : public QELPagedView {
    Q_OBJECT
public:
    explicit QELDeviceDataCategoryLoadingView(const QRect& frame = QRect(),
                                              QWidget* parent = nullptr);
    ~QELDeviceDataCategoryLoadingView() override;

    // Starts the busy animation of the progress bar.
    void startProgressIndicatorAnimation();
    bool isAnimating() const;

    QProgressBar* loadingProgressBar() const;
    QLabel* loadingDescriptionLabel() const;

private:
    std::unique_ptr<Ui::QELDeviceDataCategoryLoadingView> m_ui;
};
