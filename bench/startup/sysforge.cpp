// The editor as it starts for the user (the same code as the program
// sysforge), ended by the probe once its main window shows the settings tree
// of the source given on the command line. Run by bench/startup.sh.
#include "../support/shownprobe.h"
#include "app/sysforgeapp.h"

SF_SHOWN_PROBE(true)

int main(int argc, char** argv) {
    return sf::gui::runSysforge(argc, argv);
}
