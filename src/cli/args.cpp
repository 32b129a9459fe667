#include <algorithm>
#include <charconv>
#include <string>

#include "cli.h"
#include "usage.h"

namespace sf::cli {

Options splitOptions(const Args& args) {
    Options o;
    bool optionsEnded = false;
    for (const auto& a : args) {
        if (optionsEnded || a.size() < 3 || a.compare(0, 2, "--") != 0) {
            if (!optionsEnded && a == "--") {
                optionsEnded = true;
                continue;
            }
            o.positional.push_back(a);
            continue;
        }
        const auto eq = a.find('=');
        if (eq == std::string::npos)
            o.flags.push_back(a.substr(2));
        else
            o.values.emplace_back(a.substr(2, eq - 2), a.substr(eq + 1));
    }
    return o;
}

void checkOptions(const Options& o, std::initializer_list<std::string_view> known) {
    auto isKnown = [&](const std::string& name) {
        return std::find(known.begin(), known.end(), name) != known.end();
    };
    for (const auto& [name, value] : o.values)
        if (!isKnown(name)) throw UsageError("unknown option --" + name);
    for (const auto& name : o.flags)
        if (!isKnown(name)) throw UsageError("unknown option --" + name);
}

long long parseInteger(std::string_view text, long long min, long long max, std::string_view what) {
    long long v = 0;
    const char* first = text.data();
    const char* last = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(first, last, v);
    if (text.empty() || ec != std::errc() || ptr != last || v < min || v > max)
        throw UsageError(std::string(what) + " must be a number from " + std::to_string(min) +
                         " to " + std::to_string(max) + ": \"" + std::string(text) + "\"");
    return v;
}

namespace {

// True when the tree of a source with all sixteen modules in use has a row
// for the ref: exactly the refs whose indices address one value.
bool isTreeRef(int id, int index1, int index2) {
    static const auto all = [] {
        auto r = newSource();
        r->setU16(rec::kModuleCount, rec::kModules);
        return r;
    }();
    return hasTreeRow(*all, makeRef(id, index1, index2));
}

int parseRefIndex(std::string_view text, std::string_view whole) {
    int v = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (text.empty() || ec != std::errc() || ptr != text.data() + text.size())
        throw UsageError("malformed REF \"" + std::string(whole) +
                         "\" (expected ID[:INDEX1[:INDEX2]])");
    return v;
}

}  // namespace

SettingRef parseRef(std::string_view text) {
    int parts[3] = {0, -1, -1};
    std::size_t start = 0;
    int n = 0;
    while (true) {
        const auto colon = text.find(':', start);
        const auto piece =
            text.substr(start, colon == std::string_view::npos ? text.npos : colon - start);
        if (n == 3)
            throw UsageError("malformed REF \"" + std::string(text) +
                             "\" (expected ID[:INDEX1[:INDEX2]])");
        parts[n++] = parseRefIndex(piece, text);
        if (colon == std::string_view::npos) break;
        start = colon + 1;
    }
    const SettingItem* item = findSettingItem(parts[0]);
    if (!item) throw UsageError("unknown setting id " + std::to_string(parts[0]));

    if (!isTreeRef(parts[0], parts[1], parts[2]))
        throw UsageError("REF \"" + std::string(text) + "\" does not address a value of setting " +
                         std::to_string(parts[0]) + " (missing or out-of-range index)");
    return makeRef(parts[0], parts[1], parts[2]);
}

void expectArgs(const Args& positional, std::size_t min, std::size_t max,
                std::string_view command) {
    if (positional.size() >= min && positional.size() <= max) return;
    const Command* c = findCommand(command);
    throw UsageError(c ? "usage: sysforge-cli " + std::string(c->name) + ' ' +
                             std::string(c->arguments)
                       : "usage: sysforge-cli " + std::string(command));
}

}  // namespace sf::cli
