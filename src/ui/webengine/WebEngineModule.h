#pragma once

#include <QObject>

#include "QELWebViewEngine.h"

// The module's one entry point, found by QPluginLoader.
class WebEngineModule : public QObject,
                        public QELWebEngineFactory {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QELWebEngineFactory_iid)
    Q_INTERFACES(QELWebEngineFactory)
public:
    QELWebEnginePage* createPage(Kind kind, RequestFilter allowed, QELWebEngineClient* client,
                                 QWidget* parent) override;
    void drawWithoutOpenGL() override;
};
