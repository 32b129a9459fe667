// The table of sysforge-cli's commands: what the dispatcher runs and what
// --help and the manual page say about each.
#include "usage.h"

namespace sf::cli {

const std::vector<Command>& commands() {
    static const std::vector<Command> table = {
        {"new",
         cmdNew,
         "FILE",
         "write a new driver source with its defaults",
         {"Writes a new driver source, as File > New makes it, and saves it as the editor's "
          "Save does: the source goes to FILE with its extension replaced by \".d\" and the "
          "compiled driver beside it with the extension \".dev\"."},
         {},
         {{"new synth.d", "write synth.d and its compiled driver synth.dev"}}},

        {"get",
         cmdGet,
         "FILE REF",
         "print the value of REF as the settings tree shows it",
         {"Prints the value of REF in the notation of the Value column, followed by a newline. "
          "Control bytes, the bytes Windows-1252 leaves undefined and the backslash are written "
          "as \\xNN."},
         {},
         {{"get synth.d 9", "print the driver version"},
          {"get synth.d 107:0", "print the name of the first module (modules count from 0)"},
          {"--hex-prefix=0x get synth.d 15",
           "print the common header with 0x before hex numbers"}}},

        {"set",
         cmdSet,
         "FILE REF TEXT",
         "type TEXT into the value of REF, then save",
         {"Stores TEXT into the value of REF as if it were typed into its Value cell: numbers "
          "are read up to the first character that does not belong to them and clamped to the "
          "setting's range, and an unreadable piece of a message becomes 0. The source is saved "
          "when the value changed.",
          "Settings chosen from a list take 'choose'; settings edited in a dialog of their own "
          "and settings that cannot be edited are refused (exit status 2)."},
         {},
         {{"set synth.d 9 113", "set the driver version to 113"},
          {"set synth.d 103 3", "use three modules"},
          {"set synth.d 4 \"Synth 2000\"", "name the driver"}}},

        {"choose",
         cmdChoose,
         "FILE REF ENTRY",
         "pick ENTRY from the choice list of REF, then save",
         {"ENTRY is the exact text of an entry of the list that the Value cell of REF offers "
          "(Yes or No for a yes/no setting). An ENTRY that is not in the list is refused with "
          "the list's entries (exit status 2). The source is saved when the value changed."},
         {},
         {{"choose synth.d 108:0 \"Only display names (no memory dump)\"",
           "set the type of the first module"}}},

        {"tree",
         cmdTree,
         "FILE",
         "print every row of the settings tree",
         {"Prints one line per row of the settings tree, in tree order: DEPTH, ID, INDEX1, "
          "INDEX2, LABEL, VALUE and ENABLED (1 or 0), separated by tabs. Texts are written as "
          "'get' writes them."},
         {},
         {{"tree synth.d", "list every row with its value"}}},

        {"message",
         cmdMessage,
         "[--capacity=N] TEXT",
         "parse a SysEx message template",
         {"Reads TEXT as the message editor reads a typed message and prints two lines: the "
          "units as four hexadecimal digits each (the high byte tells how the unit was typed), "
          "then the message as its Value cell shows it.",
          "Units are separated by commas or semicolons; numbers are decimal unless prefixed "
          "with \"$\", \"0x\" or \"&H\"; 'c' is a character; tags such as Head, Chk or Joker "
          "are written by their names. An unreadable unit becomes the decimal 0."},
         {{"--capacity=N", "keep at most N units (0 to 32767; default 60)"}},
         {{"message '$F0,$43,Chk,$F7'", "four units: two bytes, the checksum tag, the end"},
          {"message --capacity=8 \"0xF0,'A',66\"", "a hex byte, a character and a decimal"}}},

        {"compile",
         cmdCompile,
         "FILE [OUT]",
         "compile a driver source into a driver",
         {"Compiles FILE into the driver OUT (default: FILE with the extension \"dev\"). What "
          "the compiler refuses is reported on standard error and nothing is written; a driver "
          "is never written over its own source."},
         {},
         {{"compile synth.d", "write synth.dev"}, {"compile synth.d out.dev", "write out.dev"}}},

        {"search",
         cmdSearch,
         "ROOT FILE REF same|different|non-empty",
         "search the driver sources under ROOT for the value of REF",
         {"Reads every driver source under the folder ROOT and compares the value of REF with "
          "its value in FILE: 'same' lists the drivers with the same value, 'different' those "
          "with another value, 'non-empty' those where it is not empty. Prints one line per "
          "match, PATH and MODULE separated by a tab (-1 for a setting outside the modules), "
          "then the caption of the driver list."},
         {},
         {{"search drivers synth.d 10 same", "drivers of the same manufacturer as synth.d"},
          {"search drivers synth.d 107:0 non-empty", "drivers whose first module has a name"}}},

        {"rom-names",
         cmdRomNames,
         "FILE MODULE SUBBANK [TEXTFILE]",
         "print or replace the ROM patch names of a sub-bank",
         {"MODULE and SUBBANK count from 0. Without TEXTFILE, prints the sub-bank's ROM patch "
          "names, one per line. With TEXTFILE (UTF-8, one name per line), replaces them as the "
          "dialog's OK does and saves; its check report goes to standard error. Names for a "
          "sub-bank that is not in use are refused."},
         {},
         {{"rom-names synth.d 0 0", "print the names of the first sub-bank"},
          {"rom-names synth.d 0 0 names.txt", "replace them with the lines of names.txt"}}},

        {"list-driver",
         cmdListDriver,
         "--name=NAME --name-length=N --columns=N --rows=N [--bank=ROW:NAME:SELECT:FIRST]... OUT",
         "generate a list driver into OUT",
         {"Generates a list driver, as the list driver generator does, and saves it as OUT. "
          "Numbers are read up to the first character that is not a digit and clamped to their "
          "ranges. Nothing is created without a driver name or without a bank in row 0."},
         {{"--name=NAME", "the driver's name"},
          {"--name-length=N", "the number of characters in a patch name (8 to 64)"},
          {"--columns=N", "the number of columns of the bank window (1 to 128)"},
          {"--rows=N", "the number of rows of the bank window (1 to 128)"},
          {"--bank=ROW:NAME:SELECT:FIRST",
           "a bank in row ROW (0 to 15): its name, its bank select and its first program; "
           "repeat for more banks. The name may hold colons."}},
         {{"list-driver --name=Synth --name-length=10 --columns=4 --rows=32 "
           "--bank=0:Internal:0:0 list.d",
           "a list driver with one bank"}}},

        {"convert",
         cmdConvert,
         "[--size=8|16|32] [--decimal-groups] FIELD TEXT",
         "numeric converter",
         {"Types TEXT into one field of the numeric converter and prints the size and every "
          "field, one NAME=VALUE line each. FIELD is one of signed, unsigned, hex, bits, ascii, "
          "roland and nibbles. Each character the converter refuses prints \"beep\" on "
          "standard error."},
         {{"--size=8|16|32", "the size of the number in bits (default 32)"},
          {"--decimal-groups", "show the 7-bit groups in decimal instead of hexadecimal"}},
         {{"convert --size=8 unsigned 200", "200 as an 8-bit number in every notation"},
          {"convert roland \"01, 7F\"", "a value in 7-bit groups"}}},

        {"hexdump",
         cmdHexdump,
         "FILE",
         "print FILE as the hex view shows it",
         {"Prints any file as lines of an offset, sixteen bytes in hexadecimal and their "
          "characters, as the hex view of a binary document shows it."},
         {},
         {{"hexdump synth.dev", "show the compiled driver"}}},

        {"resolve",
         cmdResolve,
         "FILE REF [--var NAME=VALUE]...",
         "print the bytes a message setting sends",
         {"Resolves the message REF (a message setting, e.g. 205:0 for Request #1 of the first "
          "module) into the bytes it sends, one line per step: the bytes in hexadecimal, or a "
          "pause, a wait for the instrument's SysEx, a flush.",
          "Head is the common header; Chan the device ID (the default sysex ID, held within the "
          "minimum and maximum) or, when the Type ID is MIDI Channel, the channel 1 to 16 given "
          "as Chan, sent as 0 to 15; Chk the checksum; Adr the start address; Len the length "
          "precount; X1, X2, V1, V2, V3, SubIns, Joker and SizePack the values given with --var. "
          "A tag without a value is named and nothing is printed (exit status 1)."},
         {{"--var NAME=VALUE",
           "give a tag its value: Chan, X1, X2, V1, V2, V3, SubIns, Joker or SizePack; decimal, "
           "or hexadecimal after $ or 0x (repeatable)"}},
         {{"resolve synth.d 205:0 --var X1=3", "the first module's Request #1 for X1 = 3"},
          {"resolve synth.d 35 --var Joker=0x10", "a mode message with its Joker"}}},

        {"send",
         cmdSend,
         "FILE REF [--port NAME] [--var NAME=VALUE]...",
         "send a message setting to a MIDI output",
         {"Resolves REF as 'resolve' does and sends it to the MIDI output NAME, pauses "
          "included; SysEx goes out in pieces at the pace of a MIDI cable (three times slower "
          "with the module's Slow speed). What is sent is logged on standard error."},
         {{"--port NAME",
           "the output port: its name, its \"SYSTEM: NAME\" label or the only port whose name "
           "begins with NAME (default: the first port)"},
          {"--var NAME=VALUE", "as for resolve"}},
         {{"send synth.d 35 --port \"JACK: synth:in\"", "send a mode message"}}},

        {"request",
         cmdRequest,
         "FILE MODULE OUT.syx [--port NAME] [--var NAME=VALUE]...",
         "request a module's dump from the instrument and save it",
         {"Runs the receive process of MODULE (from 0): init messages, the requests of the "
          "loops with their waits or the hand-shake protocol, the end messages, logging each "
          "message sent and received on standard error. Everything the instrument sends is "
          "saved to OUT.syx once the process has ended well; a time-out, a stop code of the "
          "instrument or a setting that would make the process go wrong gives exit status 1 "
          "and writes nothing.",
          "In Manual start mode nothing is sent: the module's help lines are shown and the dump "
          "is recorded until its total size or until Enter is pressed."},
         {{"--port NAME",
           "the instrument's ports: the output and the input chosen as send chooses its output "
           "(default: the first ports)"},
          {"--var NAME=VALUE", "as for resolve (the loops set X1 and X2)"}},
         {{"request synth.d 0 bank.syx --port synth", "dump the first module into bank.syx"}}},

        {"check",
         cmdCheck,
         "[--root=DIR] FILE...",
         "check driver sources",
         {"Checks each FILE for what the host cannot use or the compiler would refuse (errors) "
          "and what is almost certainly a mistake (warnings). Prints one line per finding: "
          "FILE, SEVERITY, REF and TEXT, separated by tabs. The driver file names are also "
          "compared among the FILEs and with the drivers under DIR.",
          "Exit status: 0 no finding, 3 warnings only, 4 errors."},
         {{"--root=DIR", "compare the driver file names with the drivers under DIR too"}},
         {{"check synth.d", "check one source"},
          {"check --root=drivers synth.d", "also against the driver library"}}},

        {"analyse",
         cmdAnalyse,
         "[--json] DRIVER.d MODULE DUMP",
         "show how a module of a driver cuts a dump",
         {"Cuts DUMP (a .syx file, a capture or any binary file) into SysEx messages and "
          "analyses it as the host would with module MODULE (counting from 0) of DRIVER.d: "
          "which messages match the module's headers, where each message's data and checksum "
          "lie and whether the checksum holds, the patches the data is cut into with their "
          "sub-bank, position and name, and findings that name the settings to check.",
          "Prints tab-separated lines: \"message N\", OFFSET, SIZE, the header matched, DATA "
          "(offset+size) and the checksum; \"patch N\", SUB-BANK, POSITION, OFFSET, SIZE, "
          "decoded size, checksum and name; \"queue\" and \"outside\" with OFFSET and SIZE; "
          "\"finding\" or \"not analysed\" with the REF of the setting to check and a text.",
          "Exit status: 0 when every message matched, every checksum held and nothing was left "
          "unanalysed; 3 when there were findings or parts not analysed; 1 when a file cannot "
          "be read."},
         {{"--json", "print one JSON object with the arrays messages, patches, outside and "
                     "findings and the object queue instead of lines"}},
         {{"analyse synth.d 0 bank.syx", "analyse a bank dump with the first module"},
          {"analyse --json synth.d 1 capture.syx", "the same for the second module, as JSON"}}},

        {"diff",
         cmdDiff,
         "A.d B.d",
         "list every value that differs between two sources",
         {"Prints one line per differing row, in tree order: REF, LABEL PATH, VALUE IN A and "
          "VALUE IN B, separated by tabs; then the differing blocks by their group and the "
          "bytes without a setting (@G+OFFSET, @M<module>+OFFSET).",
          "Exit status: 0 equal, 1 different."},
         {},
         {{"diff synth.d synth.d.bak", "what the last save changed"}}},

        {"export",
         cmdExport,
         "FILE.d [OUT.txt]",
         "write a source as UTF-8 text",
         {"Writes the text form of the source to OUT.txt (default: standard output): one "
          "REF = VALUE line per value that differs from a new source, under a comment with its "
          "label path, and blocks as sections of their own. Importing the text gives the same "
          "file, byte for byte."},
         {},
         {{"export synth.d synth.txt", "write synth.txt"}, {"export synth.d", "print the text"}}},

        {"import",
         cmdImport,
         "TEXT OUT.d",
         "build a source from its text and save it",
         {"Reads a text written by 'export' (or by hand in the same form) and saves the source "
          "as OUT.d, with its compiled driver. A text that cannot be read is refused with its "
          "line number and nothing is written."},
         {},
         {{"import synth.txt copy.d", "build copy.d from synth.txt"}}},
    };
    return table;
}

}  // namespace sf::cli
