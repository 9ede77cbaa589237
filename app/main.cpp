// Process entry: the one application object, run by the framework.
#include "ManagerApp.h"

CManagerApp theApp;

int main(int argc, char** argv) {
    return AfxWinMain(argc, argv);
}
