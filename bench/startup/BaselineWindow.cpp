// The baseline of bench_startup: the smallest Qt Widgets program that
// shows a window, linked with Qt Widgets only. With --share-opengl-contexts
// it starts as the program does (Qt::AA_ShareOpenGLContexts set).
#include <cstring>

#include <QApplication>
#include <QWidget>

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--share-opengl-contexts") == 0)
        QApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QWidget window;
    window.resize(1100, 720);
    window.show();
    return app.exec();
}
