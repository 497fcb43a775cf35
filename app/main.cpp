#include "core/Startup.h"
#include "platform/Application.h"

int main(int argc, char** argv) {
    planora::Runtime runtime(argc, argv);
    planora::Main();
    return runtime.exitStep();
}
