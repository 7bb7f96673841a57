#include "ui/application.h"

int main(int argc, char** argv) {
    return wavelot::RunApplication(argc, argv);
}
