// message: the SysEx template parser and formatter on their own.
#include <cstdio>
#include <vector>

#include "cli.h"
#include "framework/cp1252.h"
#include "sysex/message.h"

namespace sf::cli {

int cmdMessage(const Args& args, Io& io) {
    const Options o = splitOptions(args);
    checkOptions(o, {"capacity"});
    if (!o.flags.empty()) throw UsageError("--capacity needs a value: --capacity=N");
    expectArgs(o.positional, 1, 1, "message");

    // A count is a signed 16-bit number, so no message holds more units.
    long long capacity = 60;
    for (const auto& [name, value] : o.values)
        capacity = parseInteger(value, 0, 32767, "--capacity");

    std::vector<MessageUnit> units(static_cast<std::size_t>(capacity), 0x00FF);
    const std::string text = utf8ToCp1252(o.positional[0]);
    int count = parseMessage(text, units, static_cast<int>(units.size()));
    if (count < 0) count = 0;
    if (count > static_cast<int>(units.size())) count = static_cast<int>(units.size());

    std::string line;
    for (int i = 0; i < count; ++i) {
        char buf[8];
        std::snprintf(buf, sizeof buf, "%04X",
                      static_cast<unsigned>(units[static_cast<std::size_t>(i)]));
        if (i > 0) line += ' ';
        line += buf;
    }
    io.out << line << '\n' << formatMessage(units, count) << '\n';
    return kExitOk;
}

}  // namespace sf::cli
