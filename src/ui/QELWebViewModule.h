#pragma once

#include <QString>

class QELWebEngineFactory;

// Finds and loads the page engine module (QELWebViewEngine.h), once, on the
// first call. Main thread.
namespace QELWebViewModule {

// The module's file: $ORVANE_WEBENGINE_MODULE when set (tests), else
// orvane_webengine beside the executable.
QString path();
// The engine, or null when the module could not be loaded; then `error`
// (when given) says why, which has been logged once.
QELWebEngineFactory* factory(QString* error = nullptr);
// Loads a module from `file` (not kept as the program's engine): for tests.
QELWebEngineFactory* load(const QString& file, QString* error);

} // namespace QELWebViewModule
