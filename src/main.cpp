#include "ui/frame/COrvantaApp.h"

int main(int argc, char** argv) {
    return orvanta::runDesktopProgram(argc, argv);
}
