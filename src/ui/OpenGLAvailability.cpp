#include "OpenGLAvailability.h"

#include <QOpenGLContext>

#if defined(__SANITIZE_ADDRESS__)
#include <cstring>

#include <dlfcn.h>
#include <link.h>
#endif

namespace {

#if defined(__SANITIZE_ADDRESS__)
// The X connection unloads the OpenGL driver (Mesa's *_dri.so) as the program
// ends, before the leak check runs: what the driver keeps until then would be
// reported from an unknown module, which no suppression can name. Kept
// loaded, its own data holds what it allocated, and what is left names it.
void keepOpenGLDriversLoaded()
{
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void*) {
            const char* name = info->dlpi_name;
            const size_t length = name ? std::strlen(name) : 0;
            constexpr char kDriver[] = "_dri.so";
            constexpr size_t kDriverLength = sizeof(kDriver) - 1;
            if (length > kDriverLength && std::strcmp(name + length - kDriverLength, kDriver) == 0)
                dlopen(name, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
            return 0;
        },
        nullptr);
}
#endif

} // namespace

bool openGLContextsCanBeMade()
{
    static const bool canBeMade = [] {
        bool made = false;
        // With Qt::AA_ShareOpenGLContexts the application made its shared
        // context as it started: asking it costs nothing more.
        if (const QOpenGLContext* shared = QOpenGLContext::globalShareContext()) {
            made = shared->isValid();
        } else {
            QOpenGLContext probe;
            made = probe.create();
        }
#if defined(__SANITIZE_ADDRESS__)
        if (made)
            keepOpenGLDriversLoaded();
#endif
        return made;
    }();
    return canBeMade;
}
