#include "core/Startup.h"
#include "platform/Application.h"

int main(int, char** argv) {
    planora::Runtime runtime(argv[0]);
    planora::Main();
    return runtime.exitStep();
}
