// Commands whose core components are not wired yet.
#include "cli.h"
namespace sf::cli {
int cmdNew(const Args&, Io&) { throw Failure("not available yet"); }
int cmdGet(const Args&, Io&) { throw Failure("not available yet"); }
int cmdSet(const Args&, Io&) { throw Failure("not available yet"); }
int cmdChoose(const Args&, Io&) { throw Failure("not available yet"); }
int cmdTree(const Args&, Io&) { throw Failure("not available yet"); }
int cmdCompile(const Args&, Io&) { throw Failure("not available yet"); }
int cmdSearch(const Args&, Io&) { throw Failure("not available yet"); }
int cmdRomNames(const Args&, Io&) { throw Failure("not available yet"); }
int cmdListDriver(const Args&, Io&) { throw Failure("not available yet"); }
int cmdHexdump(const Args&, Io&) { throw Failure("not available yet"); }
}  // namespace sf::cli
