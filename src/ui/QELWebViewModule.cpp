#include "QELWebViewModule.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPluginLoader>

#include "Log.h"
#include "OpenGLAvailability.h"
#include "QELWebViewEngine.h"

namespace QELWebViewModule {

QString path()
{
    const QString overridden = qEnvironmentVariable("ORVANE_WEBENGINE_MODULE");
    if (!overridden.isEmpty())
        return overridden;
    const QString name = QStringLiteral("liborvane_webengine.so");
    const QDir programFolder(QCoreApplication::applicationDirPath());
    // Built: beside the executables. Installed: in the program's library folder.
    const QString beside = programFolder.filePath(name);
#ifdef ORVANE_MODULEDIR_FROM_BINDIR
    if (!QFileInfo::exists(beside)) {
        const QString installed = QDir::cleanPath(
            programFolder.filePath(QStringLiteral(ORVANE_MODULEDIR_FROM_BINDIR "/") + name));
        if (QFileInfo::exists(installed))
            return installed;
    }
#endif
    return beside;
}

QELWebEngineFactory* load(const QString& file, QString* error)
{
    QPluginLoader loader(file);
    QObject* root = loader.instance();
    if (!root) {
        if (error)
            *error = loader.errorString();
        return nullptr;
    }
    auto* engine = qobject_cast<QELWebEngineFactory*>(root);
    if (!engine) {
        if (error)
            *error = QStringLiteral("%1 is a Qt plugin, but not Orvane's page engine").arg(file);
        return nullptr;
    }
    if (!openGLContextsCanBeMade())
        engine->drawWithoutOpenGL();
    // The loader going does not unload the library: its instance stays.
    return engine;
}

QELWebEngineFactory* factory(QString* error)
{
    struct Loaded {
        QELWebEngineFactory* engine = nullptr;
        QString error;
    };
    static const Loaded loaded = [] {
        Loaded result;
        const QString file = path();
        QElapsedTimer timer;
        timer.start();
        result.engine = load(file, &result.error);
        if (result.engine) {
            qCDebug(lcOrvane).noquote() << "Web view: loaded the page engine from" << file << "in"
                                        << timer.elapsed() << "ms";
        } else {
            qCWarning(lcOrvane).noquote() << "Web view: the page engine could not be loaded from"
                                          << file << "-" << result.error;
        }
        return result;
    }();
    if (error)
        *error = loaded.error;
    return loaded.engine;
}

} // namespace QELWebViewModule
