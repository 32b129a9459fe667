#include "app/sysforgeapp.h"

int main(int argc, char** argv) {
    return sf::gui::runSysforge(argc, argv);
}
