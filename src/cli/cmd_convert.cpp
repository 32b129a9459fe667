// convert: the numeric converter, one typed field at a time.
#include <string>

#include "cli.h"
#include "framework/cp1252.h"
#include "sysex/numconv.h"

namespace sf::cli {

int cmdConvert(const Args& args, Io& io) {
    const Options o = splitOptions(args);
    checkOptions(o, {"size", "decimal-groups"});
    expectArgs(o.positional, 2, 2, "convert");

    ConverterState state;  // value 0, size 32, hexadecimal groups
    for (const auto& [name, value] : o.values) {
        if (name == "size") {
            const long long size = parseInteger(value, 8, 32, "--size");
            if (size != 8 && size != 16 && size != 32)
                throw UsageError("--size must be 8, 16 or 32");
            state.size = static_cast<int>(size);
        } else {
            throw UsageError("--" + name + " takes no value");
        }
    }
    for (const auto& flag : o.flags) {
        if (flag == "decimal-groups")
            state.groupForm = 1;
        else
            throw UsageError("--" + flag + " needs a value");
    }

    ConverterField field{};
    if (!converterFieldFromName(o.positional[0], field))
        throw UsageError("unknown field \"" + o.positional[0] +
                         "\" (signed, unsigned, hex, bits, ascii, roland or nibbles)");

    NumericConverter conv(state);
    // The converter works on 8-bit characters, as the dialog's fields do.
    const int beeps = conv.type(field, utf8ToCp1252(o.positional[1]));

    io.out << "size=" << conv.size() << '\n';
    for (int i = 0; i < kConverterFieldCount; ++i) {
        const auto f = static_cast<ConverterField>(i);
        io.out << converterFieldName(f) << '=' << conv.text(f) << '\n';
    }
    for (int i = 0; i < beeps; ++i) io.err << "beep\n";
    return kExitOk;
}

}  // namespace sf::cli
