// quillan: the desktop tool.
#include "app/gui/QuillanProgram.h"

int main(int argc, char** argv) {
    return app::RunQuillan(argc, argv);
}
