// hexdump: the hex view's lines of a file.
#include "cli.h"
#include "framework/fileio.h"
#include "sysex/hexdump.h"

namespace sf::cli {

int cmdHexdump(const Args& args, Io& io) {
    const Options o = splitOptions(args);
    checkOptions(o, {});
    expectArgs(o.positional, 1, 1, "hexdump");
    const auto bytes = readWholeFile(o.positional[0]);
    for (const auto& line : hexDumpLines(bytes)) io.out << line << '\n';
    return kExitOk;
}

}  // namespace sf::cli
