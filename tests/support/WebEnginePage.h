#pragma once

#include <QWebEnginePage>
#include <QWebEngineView>

#include "QELWebViewHost.h"

// The engine's view and page behind a web view, for tests that read what the
// page shows; null when the engine module was not loaded. Only tests that
// link Qt WebEngine include this.
inline QWebEngineView* engineViewOf(const QELWebViewHost* view)
{
    return view ? qobject_cast<QWebEngineView*>(view->engineView()) : nullptr;
}

inline QWebEnginePage* enginePageOf(const QELWebViewHost* view)
{
    return view ? qobject_cast<QWebEnginePage*>(view->enginePage()) : nullptr;
}
