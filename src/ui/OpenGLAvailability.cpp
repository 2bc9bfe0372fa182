#include "OpenGLAvailability.h"

#include <QOpenGLContext>

bool openGLContextsCanBeMade()
{
    static const bool canBeMade = [] {
        // With Qt::AA_ShareOpenGLContexts the application made its shared
        // context as it started: asking it costs nothing more.
        if (const QOpenGLContext* shared = QOpenGLContext::globalShareContext())
            return shared->isValid();
        QOpenGLContext probe;
        return probe.create();
    }();
    return canBeMade;
}
