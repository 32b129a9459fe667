// The usage texts of sysforge-cli: the global --help, each command's --help
// and the manual page, all written from the table of commands.
#include "usage.h"

#include <cctype>

namespace sf::cli {

namespace {

constexpr std::string_view kProgram = "sysforge-cli";
constexpr std::string_view kGlobalUsage = "[--hex-prefix=0x|$|&H]";
constexpr std::size_t kWidth = 79;
constexpr std::size_t kTextColumn = 32;

constexpr std::string_view kIntro[] = {
    "sysforge-cli reads, changes, checks and compiles the driver sources (\".d\" files) of "
    "Sysforge, the editor for MIDI instrument drivers, without its window: every command does "
    "what the editor does with the same source.",
};

const UsageItem kGlobalOptions[] = {
    {"--hex-prefix=0x|$|&H",
     "how hexadecimal numbers are written (default $); all three and &h are read"},
    {"--help, -h", "show the usage of sysforge-cli; COMMAND --help shows the usage of one command"},
    {"--manual-page", "print the manual page sysforge-cli(1) in roff, made from these texts"},
};

struct Section {
    std::string_view title;
    std::vector<std::string_view> paragraphs;
};

const std::vector<Section>& notes() {
    static const std::vector<Section> sections = {
        {"References",
         {"A REF names one value as ID[:INDEX1[:INDEX2]], a missing index being -1: 9 is the "
          "driver version, 31:3 help line 3, 107:2 the name of module 2 (modules count from 0), "
          "262:0:5 the name of sub-bank 5 of module 0, 128:1:4 the real packet size of packet "
          "4 of module 1. A REF beyond the source's \"Number of modules\" is a usage error."}},
        {"Texts",
         {"Texts on the command line and in the output are UTF-8; driver files hold "
          "Windows-1252, and characters it cannot hold become \"?\". In printed values control "
          "bytes, the bytes Windows-1252 leaves undefined and the backslash are written as "
          "\\xNN."}},
        {"Saving",
         {"A command that changes a source saves it as the editor's Save does: the source goes "
          "to FILE with its last extension replaced by \".d\", the previous file becomes "
          "FILE.bak and the compiled driver is written beside it as FILE.dev. A "
          "write-protected file stops the save and leaves every file as it was; a symbolic "
          "link is saved through."}},
        {"Exit status",
         {"0 success; 1 failure, with the reason on standard error; 2 usage error (unknown "
          "command or option, malformed REF, unknown choice entry). check and diff answer with "
          "statuses of their own."}},
    };
    return sections;
}

// The words of a text; in a command line a quoted argument is one word.
std::vector<std::string_view> words(std::string_view text, bool commandLine) {
    std::vector<std::string_view> out;
    std::size_t start = 0;
    char quote = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        const char ch = i < text.size() ? text[i] : ' ';
        if (quote) {
            if (ch == quote) quote = 0;
        } else if (commandLine && (ch == '"' || ch == '\'')) {
            quote = ch;
        } else if (ch == ' ') {
            if (i > start) out.push_back(text.substr(start, i - start));
            start = i + 1;
        }
    }
    return out;
}

// Appends `text` wrapped to kWidth, its first line starting at column
// `column` (where the output stands), further lines at `indent`. A command
// line breaks only between its arguments and ends its broken lines with a
// backslash, so that it can be pasted into a shell.
void appendWrapped(std::string& out, std::string_view text, std::size_t column, std::size_t indent,
                   bool commandLine = false) {
    const std::size_t reserve = commandLine ? 2 : 0;
    bool first = true;
    for (std::string_view word : words(text, commandLine)) {
        if (!first && column + 1 + word.size() + reserve > kWidth) {
            out += commandLine ? " \\\n" : "\n";
            out.append(indent, ' ');
            column = indent;
        } else if (!first) {
            out += ' ';
            ++column;
        }
        out += word;
        column += word.size();
        first = false;
    }
    out += '\n';
}

// "  TERM" and its text from kTextColumn, or below it when the term is long.
void appendItem(std::string& out, std::string_view term, std::string_view text) {
    out += "  ";
    std::size_t column = 2 + term.size();
    if (column + 2 > kTextColumn) {
        appendWrapped(out, term, 2, 6);
        column = 0;
    } else {
        out += term;
    }
    out.append(kTextColumn - column, ' ');
    appendWrapped(out, text, kTextColumn, kTextColumn);
}

std::string sentence(std::string_view summary) {
    std::string s(summary);
    if (!s.empty()) s[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(s[0])));
    return s + '.';
}

std::string synopsis(const Command& c) {
    std::string s(c.name);
    if (!c.arguments.empty()) s += ' ' + std::string(c.arguments);
    return s;
}

// Text for roff: backslashes and minus signs escaped, no line starting with
// a control character.
std::string roff(std::string_view text) {
    std::string out;
    bool lineStart = true;
    for (char ch : text) {
        if (lineStart && (ch == '.' || ch == '\'')) out += "\\&";
        lineStart = ch == '\n';
        if (ch == '\\')
            out += "\\e";
        else if (ch == '-')
            out += "\\-";
        else
            out += ch;
    }
    return out;
}

std::string bold(std::string_view text) {
    return "\\fB" + roff(text) + "\\fR";
}

}  // namespace

const Command* findCommand(std::string_view name) {
    for (const Command& c : commands())
        if (c.name == name) return &c;
    return nullptr;
}

std::string usageLine(const Command& c) {
    std::string out = "Usage: ";
    appendWrapped(out, std::string(kProgram) + ' ' + std::string(kGlobalUsage) + ' ' + synopsis(c),
                  7, 7 + kProgram.size() + 1);
    out.pop_back();
    return out;
}

std::string usageText() {
    std::string out = "Usage: " + std::string(kProgram) + ' ' + std::string(kGlobalUsage) +
                      " COMMAND ARGS...\n       " + std::string(kProgram) + " COMMAND --help\n\n";
    for (std::string_view p : kIntro) appendWrapped(out, p, 0, 0);
    out += "\nOptions:\n";
    for (const UsageItem& o : kGlobalOptions) appendItem(out, o.term, o.text);
    out += "\nCommands:\n";
    for (const Command& c : commands()) appendItem(out, synopsis(c), c.summary);
    for (const Section& s : notes()) {
        out += '\n' + std::string(s.title) + ":\n";
        for (std::string_view p : s.paragraphs) {
            out += "  ";
            appendWrapped(out, p, 2, 2);
        }
    }
    return out;
}

std::string commandHelp(const Command& c) {
    std::string out = usageLine(c) + "\n\n" + sentence(c.summary) + '\n';
    for (std::string_view p : c.paragraphs) {
        out += '\n';
        appendWrapped(out, p, 0, 0);
    }
    if (!c.options.empty()) {
        out += "\nOptions:\n";
        for (const UsageItem& o : c.options) appendItem(out, o.term, o.text);
    }
    if (!c.examples.empty()) {
        out += "\nExamples:\n";
        for (const UsageItem& e : c.examples) {
            out += "  # ";
            appendWrapped(out, e.text, 4, 4);
            out += "  ";
            appendWrapped(out, std::string(kProgram) + ' ' + std::string(e.term), 2, 6, true);
        }
    }
    out += "\nREF, texts, saves and exit status: " + std::string(kProgram) + " --help\n";
    return out;
}

std::string manualPage(std::string_view version) {
    std::string out = ".TH SYSFORGE\\-CLI 1 \"\" \"Sysforge " + roff(version) +
                      "\" \"User Commands\"\n"
                      ".SH NAME\n"
                      "sysforge\\-cli \\- read, change, check and compile MIDI instrument driver "
                      "sources\n"
                      ".SH SYNOPSIS\n" +
                      bold(kProgram) + " [" + bold("--hex-prefix=") +
                      "0x|$|&H] \\fICOMMAND\\fR [\\fIARGS\\fR...]\n.br\n" + bold(kProgram) +
                      " \\fICOMMAND\\fR " + bold("--help") + "\n.SH DESCRIPTION\n";
    for (std::string_view p : kIntro) out += roff(p) + '\n';
    out += ".SH OPTIONS\n";
    for (const UsageItem& o : kGlobalOptions)
        out += ".TP\n" + bold(o.term) + '\n' + roff(o.text) + '\n';
    out += ".SH COMMANDS\n";
    for (const Command& c : commands()) {
        out += ".SS " + roff(synopsis(c)) + '\n' + roff(sentence(c.summary)) + '\n';
        for (std::string_view p : c.paragraphs) out += ".PP\n" + roff(p) + '\n';
        for (const UsageItem& o : c.options)
            out += ".TP\n" + bold(o.term) + '\n' + roff(o.text) + '\n';
        if (!c.examples.empty()) out += ".PP\nExamples:\n";
        for (const UsageItem& e : c.examples)
            out += ".TP\n" + bold(std::string(kProgram) + ' ' + std::string(e.term)) + '\n' +
                   roff(e.text) + '\n';
    }
    for (const Section& s : notes()) {
        std::string title(s.title);
        for (char& ch : title) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        out += ".SH \"" + roff(title) + "\"\n";
        for (std::size_t i = 0; i < s.paragraphs.size(); ++i)
            out += (i ? ".PP\n" : "") + roff(s.paragraphs[i]) + '\n';
    }
    out += ".SH SEE ALSO\n.BR sysforge (1)\n";
    return out;
}

}  // namespace sf::cli
