// Commands on one driver source: new, get, set, choose, tree, compile.
#include <string>

#include "cli.h"
#include "driver/compiler.h"
#include "framework/cp1252.h"
#include "framework/fileio.h"
#include "source/schema.h"
#include "source/valuetext.h"
#include "source_io.h"

namespace sf::cli {

namespace {

// The yes/no list of the YesNo settings that carry no list of their own.
constexpr ChoiceEntry kYesNoChoices[] = {{0, "No", 62}, {1, "Yes", 61}, {0, nullptr, 0}};

const ChoiceEntry* choiceList(const SettingItem& item) {
    if (item.choices) return item.choices;
    if (item.editor == Editor::YesNo) return kYesNoChoices;
    return nullptr;
}

// Settings whose Value cell takes typed text; the others are chosen from a
// menu, edited in a dialog or not editable at all.
void requireTypedEntry(const SettingItem& item) {
    const std::string id = std::to_string(item.id);
    if (item.kind == Kind::Group || item.kind == Kind::DialogItem || item.editor == Editor::None ||
        item.has(setting_flag::ReadOnly))
        throw UsageError("setting " + id + " cannot be typed into");
    if (item.editor == Editor::YesNo || item.editor == Editor::Choice ||
        item.editor == Editor::Flag)
        throw UsageError("setting " + id + " is chosen from a list: use 'choose'");
}

}  // namespace

int cmdNew(const Args& args, Io& io) {
    const Options o = splitOptions(args);
    checkOptions(o, {});
    expectArgs(o.positional, 1, 1, "new");
    const auto record = newSource();
    saveSource(o.positional[0], *record, io);
    return kExitOk;
}

int cmdGet(const Args& args, Io& io) {
    const Options o = splitOptions(args);
    checkOptions(o, {});
    expectArgs(o.positional, 2, 2, "get");
    const SettingRef ref = parseRef(o.positional[1]);
    const auto record = loadSource(o.positional[0], io);
    requireTreeRow(*record, ref, o.positional[1]);
    io.out << cp1252ToEscapedUtf8(formatValue(*record, ref)) << '\n';
    return kExitOk;
}

int cmdSet(const Args& args, Io& io) {
    const Options o = splitOptions(args);
    checkOptions(o, {});
    expectArgs(o.positional, 3, 3, "set");
    const SettingRef ref = parseRef(o.positional[1]);
    requireTypedEntry(*ref.item);
    auto record = loadSource(o.positional[0], io);
    requireTreeRow(*record, ref, o.positional[1]);
    const ParseResult result = parseValue(*record, ref, utf8ToCp1252(o.positional[2]));
    if (result == ParseResult::NotStored) return kExitOk;  // same text: nothing to save
    afterValueChanged(*record, ref);
    saveSource(o.positional[0], *record, io);
    return kExitOk;
}

int cmdChoose(const Args& args, Io& io) {
    const Options o = splitOptions(args);
    checkOptions(o, {});
    expectArgs(o.positional, 3, 3, "choose");
    const SettingRef ref = parseRef(o.positional[1]);
    const ChoiceEntry* list = choiceList(*ref.item);
    if (!list) throw UsageError("setting " + std::to_string(ref.id) + " has no choice list");

    const std::string wanted = utf8ToCp1252(o.positional[2]);
    const ChoiceEntry* entry = nullptr;
    std::string known;
    for (const ChoiceEntry* e = list; e->text; ++e) {
        if (wanted == e->text) entry = e;
        known += known.empty() ? "" : ", ";
        known += '"' + std::string(e->text) + '"';
    }
    if (!entry)
        throw UsageError("\"" + o.positional[2] + "\" is not an entry of setting " +
                         std::to_string(ref.id) + " (" + known + ")");

    auto record = loadSource(o.positional[0], io);
    requireTreeRow(*record, ref, o.positional[1]);
    if (!applyChoice(*record, ref, entry->command)) return kExitOk;
    afterValueChanged(*record, ref);
    saveSource(o.positional[0], *record, io);
    return kExitOk;
}

int cmdTree(const Args& args, Io& io) {
    const Options o = splitOptions(args);
    checkOptions(o, {});
    expectArgs(o.positional, 1, 1, "tree");
    const auto record = loadSource(o.positional[0], io);
    std::string text;
    for (const TreeRow& row : buildTreeRows(*record)) {
        text += std::to_string(row.depth);
        text += '\t' + std::to_string(row.ref.id);
        text += '\t' + std::to_string(row.ref.index1);
        text += '\t' + std::to_string(row.ref.index2);
        text += '\t' + cp1252ToEscapedUtf8(rowLabel(row.ref));
        text += '\t' + cp1252ToEscapedUtf8(formatValue(*record, row.ref));
        text += isEnabled(*record, row.ref) ? "\t1\n" : "\t0\n";
    }
    io.out << text;
    return kExitOk;
}

int cmdCompile(const Args& args, Io& io) {
    const Options o = splitOptions(args);
    checkOptions(o, {});
    expectArgs(o.positional, 1, 2, "compile");
    std::filesystem::path out =
        o.positional.size() == 2 ? std::filesystem::path(o.positional[1])
                                 : std::filesystem::path(o.positional[0]).replace_extension("dev");
    const auto record = loadSource(o.positional[0], io);
    // The source was just read, so it exists: a driver written over it would
    // destroy it.
    std::error_code ec;
    if (std::filesystem::equivalent(out, o.positional[0], ec))
        throw Failure("The driver would be written over its own source " + o.positional[0] + ".");
    const CompileResult compiled = compileDriver(*record, &io.prompter);
    if (!compiled.ok()) throw Failure(std::string());  // the compiler said why
    writeFileAtomic(out, compiled.image);
    return kExitOk;
}

}  // namespace sf::cli
