#include <QApplication>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") && !std::getenv("QT_QPA_PLATFORM")) {
        std::fputs("morvane: no display (neither DISPLAY nor WAYLAND_DISPLAY is set); start it on a desktop.\n",
                   stderr);
        return 2;
    }
    QApplication app(argc, argv);
    return 0;
}
