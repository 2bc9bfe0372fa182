#pragma once

// Whether this process can draw through OpenGL: a context can really be made,
// not only the platform claims to have it (an X server without GLX, or
// QT_XCB_GL_INTEGRATION=none, offers windows but no contexts). Decided once,
// on the first call; main thread, once the application object exists.
bool openGLContextsCanBeMade();
