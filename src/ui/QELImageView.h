#pragma once

#include <QLabel>

// An image view that lets clicks pass through to the views beneath it and
// never takes the keyboard focus.
class QELImageView : public QLabel {
    Q_OBJECT
public:
    explicit QELImageView(QWidget* parent = nullptr);
};
