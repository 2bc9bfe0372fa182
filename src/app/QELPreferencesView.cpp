#include "QELPreferencesView.h"

#include <stdexcept>

QELPreferencesView::QELPreferencesView(const QRect& frame, QWidget* parent)
    : QELPagedView(frame, parent)
{
}

void QELPreferencesView::SavePreferencesInView()
{
    throw std::logic_error("You must override SavePreferencesInView in a subclass of QELPreferencesView");
}
