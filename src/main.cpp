#include "ui/frame/DesktopProgram.h"

int main(int argc, char** argv) {
    return orvanta::runDesktopProgram(argc, argv);
}
