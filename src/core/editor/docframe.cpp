#include "editor/docframe.h"

#include <system_error>

#include "framework/prompter.h"

namespace sf {

CloseChoice askBeforeClosing(const ClosableDocument& doc, Prompter& prompter) {
    if (!doc.isModified()) return CloseChoice::Discard;
    std::string text = kSaveBeforeClosingQuestion;
    text.replace(text.find("%s"), 2, doc.displayName());
    switch (prompter.ask(text, Buttons::YesNoCancel)) {
        case Answer::Yes:
        case Answer::Ok:
            return CloseChoice::Save;
        case Answer::No:
            return CloseChoice::Discard;
        case Answer::Cancel:
            break;
    }
    return CloseChoice::Cancel;
}

bool mayClose(ClosableDocument& doc, Prompter& prompter) {
    switch (askBeforeClosing(doc, prompter)) {
        case CloseChoice::Save:
            return doc.saveForClose();
        case CloseChoice::Discard:
            return true;
        case CloseChoice::Cancel:
            break;
    }
    return false;
}

bool mayCloseAll(std::span<ClosableDocument* const> docs, Prompter& prompter) {
    for (ClosableDocument* d : docs)
        if (d && !mayClose(*d, prompter)) return false;
    return true;
}

bool confirmRevert(bool modified, Prompter& prompter) {
    if (!modified) return true;
    Answer a = prompter.ask(kRevertQuestion, Buttons::YesNo);
    return a == Answer::Yes || a == Answer::Ok;
}

bool mayReplaceFile(const std::filesystem::path& target, const std::filesystem::path& own,
                    Prompter& prompter) {
    std::error_code ec;
    if (!std::filesystem::exists(target, ec)) return true;
    if (!own.empty() && sameFile(target, own)) return true;
    std::string text = kReplaceQuestion;
    text.replace(text.find("%s"), 2, target.filename().string());
    const Answer a = prompter.ask(text, Buttons::YesNo);
    return a == Answer::Yes || a == Answer::Ok;
}

std::string untitledName(int number) {
    return "Untitled" + std::to_string(number);
}

std::string documentTitle(std::string_view displayName, bool modified) {
    std::string t(displayName);
    if (modified) t += " *";
    return t;
}

std::filesystem::path normalFilePath(const std::filesystem::path& p) {
    std::error_code ec;
    std::filesystem::path abs = std::filesystem::absolute(p, ec);
    if (ec) abs = p;
    std::filesystem::path canon = std::filesystem::weakly_canonical(abs, ec);
    return ec ? abs.lexically_normal() : canon;
}

bool sameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
    std::error_code ec;
    if (std::filesystem::equivalent(a, b, ec) && !ec) return true;
    return normalFilePath(a) == normalFilePath(b);
}

int findOpenFile(std::span<const std::filesystem::path> open, const std::filesystem::path& path) {
    for (std::size_t i = 0; i < open.size(); ++i)
        if (!open[i].empty() && sameFile(open[i], path)) return static_cast<int>(i);
    return -1;
}

std::filesystem::path withDefaultExtension(const std::filesystem::path& typed,
                                           std::string_view extension) {
    if (extension.empty() || typed.empty() || typed.has_extension()) return typed;
    std::filesystem::path out = typed;
    out += ".";
    out += std::string(extension);
    return out;
}

}  // namespace sf
