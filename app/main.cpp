// Halvorn: composes music from fractal number sequences.

#include "app/halvorn_app.h"

int main(int argc, char** argv) {
    halvorn::CHalvornApp app(argc, argv);
    if (!app.InitInstance()) return 1;
    return app.exec();
}
