// The static settings table: every setting of a driver source in the order
// of the settings tree, with its value kind, editor, range, choice list, help
// text and tree placement. Nothing here changes at run time.
#include <array>
#include <iterator>

#include "source/schema.h"
#include "source/schema_detail.h"

namespace sf {
namespace {

// Choice lists, entries in menu order. A list ends with a null text. For a
// Flag setting the first entry is the text of the clear bit, the second the
// text of the set bit.
constexpr ChoiceEntry kL1[] = {
    {127, "None", 70},
    {0, "Sevenize L/H (7 Low bits / 7 High bits)", 71},
    {1, "Sevenize H/L (7 High bits / 7 Low bits)", 72},
    {2, "Nibblize L/H (4 Low bits / 4 High bits)", 73},
    {3, "Nibblize H/L (4 High bits / 4 Low bits)", 74},
    {0, nullptr, 0},
};
constexpr ChoiceEntry kL2[] = {
    {0, "None", 70},
    {1, "Regular checksum (sum & 127)", 71},
    {2, "2nd complement (-sum & 127)", 72},
    {3, "Word shift (2 x 7 bits)", 73},
    {4, "Nibblize modulo 256 (2 x 4 bits)", 74},
    {5, "Nibblize modulo 128 (2 x 4 bits)", 75},
    {6, "1st complement (~sum & 127)", 76},
    {0, nullptr, 0},
};
constexpr ChoiceEntry kL3[] = {
    {0, "No", 62},
    {1, "Yes", 61},
    {0, nullptr, 0},
};
constexpr ChoiceEntry kL4[] = {
    {0, "Yes", 70},
    {1, "No", 71},
    {0, nullptr, 0},
};
constexpr ChoiceEntry kL5[] = {
    {0, "Sysex ID", 70},
    {1, "MIDI Channel", 71},
    {0, nullptr, 0},
};
constexpr ChoiceEntry kL6[] = {
    {2, "No info", 70},
    {0, "Byte (8 bits)", 71},
    {1, "Word (16 bits)", 72},
    {0, nullptr, 0},
};
constexpr ChoiceEntry kL7[] = {
    {0, "Byte (8 bits)", 70},
    {1, "Word (16 bits)", 71},
    {2, "Nibble Low/High", 72},
    {3, "Nibble High/Low", 73},
    {4, "Special", 74},
    {0, nullptr, 0},
};
constexpr ChoiceEntry kL8[] = {
    {0, "Byte (8 bits)", 70},
    {1, "Fix (Child X on channel X)", 71},
    {2, "As parent, same for all children", 72},
    {3, "As parent for first child, then increment", 73},
    {0, nullptr, 0},
};
constexpr ChoiceEntry kL9[] = {
    {3, "Never muted", 70},
    {0, "Byte (8 bits)", 71},
    {1, "Bit set", 72},
    {2, "Bit unset", 73},
    {0, nullptr, 0},
};
constexpr ChoiceEntry kL10[] = {
    {0, "Use MIDI Bank Select", 70},
    {1, "Use Program change", 71},
    {2, "Use Custom Message", 72},
    {0, nullptr, 0},
};
constexpr ChoiceEntry kL11[] = {
    {8, "Dump memory and display patch names", 70},
    {0, "Only dump memory (no name to display)", 71},
    {72, "Only display names (no memory dump)", 72},
    {0, nullptr, 0},
};
constexpr ChoiceEntry kL12[] = {
    {0, "Program Change", 70},
    {1, "MIDI Bank Select", 71},
    {2, "Special", 72},
    {0, nullptr, 0},
};
constexpr ChoiceEntry kL13[] = {
    {0, "None", 70},
    {1, "7 bytes <-> (7 x (bits 0-6)) + (7 msb bits)", 71},
    {6, "7 bytes <-> (8 x 7 bits) (msb first)", 72},
    {10, "7 bytes <-> (8 x 7 bits) (lsb first)", 73},
    {2, "1 byte <-> lower 4 bits then higher 4 bits", 74},
    {5, "1 byte <-> higher 4 bits then lower 4 bits", 75},
    {3, "1 word <-> lower 7 bits then higher 7 bits", 76},
    {7, "1 word <-> higher 7 bits then lower 7 bits", 77},
    {4, "1 byte <-> 2 hexadecimal digits", 78},
    {8, "1 byte <-> lower 7 bits then highest bit", 79},
    {9, "1 byte <-> highest bit then lower 7 bits", 80},
    {0, nullptr, 0},
};
constexpr ChoiceEntry kL14[] = {
    {0, "Don't wait answer from device", 70},
    {1, "Wait for one answer from device", 71},
    {2, "Hand-shake protocol", 72},
    {0, nullptr, 0},
};
constexpr ChoiceEntry kL15[] = {
    {0, "Fix (value doesn't change)", 70},
    {1, "Increment by 1 at each iteration", 71},
    {0, nullptr, 0},
};
constexpr ChoiceEntry kL16[] = {
    {0, "1 patch per sysex packet", 70},
    {2, "X patches extracted from Y sysex packets", 71},
    {3, "1 patch extracted from Y sysex packets", 72},
    {5, "1 patch = 2 different sysex packets", 73},
    {1, "X patches built from 2 main sysex packets", 74},
    {4, "1 patch per block / 2 possible sizes", 75},
    {6, "X patches from 2 series of different sysex packets", 76},
    {7, "No structure (save raw data)", 77},
    {0, nullptr, 0},
};
constexpr ChoiceEntry kL17[] = {
    {0, "Mode 1 : {Size+Header+Patch(es)+Checksum}", 70},
    {1, "Mode 2 : Size+Mess+Patch(es)+Checksum + {Size+Patch(es)+Checksum}", 71},
    {2, "Mode 3 : {Patch(es) + Checksum}", 72},
    {0, nullptr, 0},
};
constexpr ChoiceEntry kL18[] = {
    {-2, "Automatic (dump request)", 70},
    {1, "Manual start", 71},
    {0, nullptr, 0},
};
constexpr ChoiceEntry kL19[] = {
    {2, "At the beginning of each loop #1 iteration", 70},
    {-3, "At the beginning of each loop #2 iteration", 71},
    {0, nullptr, 0},
};
constexpr ChoiceEntry kL20[] = {
    {0, "Packet pairs", 70},
    {1, "Loop #1 switch", 71},
    {2, "Loop #2 switch", 72},
    {3, "End of loop #2", 73},
    {4, "First of all", 74},
    {0, nullptr, 0},
};
constexpr ChoiceEntry kL21[] = {
    {0, "A...", 70},
    {1, "0...", 71},
    {2, "1...", 72},
    {0, nullptr, 0},
};
constexpr ChoiceEntry kL22[] = {
    {0, "Byte (8 bits)", 70},
    {1, "Word (16 bits)", 71},
    {0, nullptr, 0},
};
constexpr ChoiceEntry kL23[] = {
    {0, "RAM (patches are in volatile memory)", 70},
    {1, "Card (patches are stored on a card)", 71},
    {2, "ROM (patches are permanent in the device)", 72},
    {0, nullptr, 0},
};
constexpr ChoiceEntry kL24[] = {
    {2, "Not possible to write the patch from the computer", 70},
    {0, "Send Write request", 71},
    {1, "Send/write patch directly into the bank", 72},
    {3, "Need to send whole bank to save a patch", 73},
    {0, nullptr, 0},
};

// One record per setting, in tree order, ended by a record with id 0.
constexpr SettingItem kItems[] = {
    {1, Kind::Group, 0x000, Editor::None, 0, 0, 0x0000, nullptr,
     "Driver",
     "",
     2019, 0, 0, Repeat::None},
    {2, Kind::Group, 0x001, Editor::None, 0, 0, 0x0000, nullptr,
     "General settings",
     "The settings that apply to the whole device.",
     0, 1, 1, Repeat::None},
    {3, Kind::Group, 0x000, Editor::None, 0, 0, 0x0000, nullptr,
     "Identification",
     "",
     0, 2, 2, Repeat::None},
    {4, Kind::Text, 0x000, Editor::Text, 0, 0, 0x0000, nullptr,
     "Name",
     "The name of the MIDI device, as it will appear in the list of devices of the "
     "Vantor module (eg. \"Korg M1\").",
     0, 3, 3, Repeat::None},
    {5, Kind::Text, 0x000, Editor::Text, 0, 0, 0x0000, nullptr,
     "Author",
     "Your name, so that other users know who wrote this driver.",
     0, 3, 3, Repeat::None},
    {6, Kind::Text, 0x000, Editor::Text, 0, 0, 0x0000, nullptr,
     "File name",
     "This is the name under which the device driver is saved. This name is also used "
     "by the Vantor module so as to identify each device. Therefore you should never "
     "have different modules with a same name. Also, don't insert space in the name. "
     "Reserved names that you should never use: \"GENERIC\", \"ANY_DUMP\" and all "
     "names beginning by \"LIST\"",
     0, 3, 3, Repeat::None},
    {7, Kind::Text, 0x000, Editor::Text, 0, 0, 0x0000, nullptr,
     "Compatible driver",
     "If this driver replaces or extends an other driver, input the file name of that "
     "driver here, so that banks made with the old driver can still be opened. Leave "
     "empty if unused.",
     0, 3, 3, Repeat::None},
    {8, Kind::Text, 0x000, Editor::Text, 0, 0, 0x0000, nullptr,
     "Bank file name extension",
     "Input between 1 and 3 characters so as to form a file extension. This extension "
     "will be added to every bank file.",
     0, 3, 3, Repeat::None},
    {9, Kind::Word, 0x000, Editor::Decimal, 100, 10000, 0x0000, nullptr,
     "Driver version",
     "If you input 100, the version shown in the Vantor module will be 1.00; if you "
     "input 113, it will be 1.13, etc.",
     0, 3, 3, Repeat::None},
    {10, Kind::Word, 0x000, Editor::Hex, 0, 32767, 0x0000, nullptr,
     "Manufacturer ID",
     "The manufacturer ID as it appears in the sysex messages of the device (eg. 41 "
     "for Roland, 43 for Yamaha). For a 3-byte ID (00 xx xx), input the two last "
     "bytes and set \"Manufacturer long ID\" to Yes.",
     0, 3, 3, Repeat::None},
    {11, Kind::Word, 0x000, Editor::YesNo, 0, 0, 0x0000, kL3,
     "Manufacturer long ID",
     "Set Yes if the manufacturer uses a long ID (3 bytes starting with 00). The ID "
     "above is then understood as the two bytes following the 00.",
     0, 3, 3, Repeat::None},
    {12, Kind::Word, 0x000, Editor::Hex, 0, 65535, 0x0000, nullptr,
     "Device model ID",
     "The model ID of the device, as it appears in its sysex messages. Set 0 if the "
     "device has no model ID.",
     0, 3, 3, Repeat::None},
    {13, Kind::Byte, 0x000, Editor::Hex, 0, 255, 0x0000, nullptr,
     "Device model Sub-ID",
     "Some devices also send a sub-ID after the model ID. Set it here, or 0 if unused.",
     0, 3, 3, Repeat::None},
    {14, Kind::Group, 0x000, Editor::None, 0, 0, 0x0000, nullptr,
     "MIDI Specifications",
     "",
     0, 2, 2, Repeat::None},
    {15, Kind::Message, 0x001, Editor::MessageEditor, 0, 8, 0x0000, nullptr,
     "Common header",
     "The bytes that start every sysex message of the device (usually F0, the "
     "manufacturer ID, the device ID and the model ID). They are compared with every "
     "incoming message.",
     2002, 3, 14, Repeat::None},
    {16, Kind::Word, 0x000, Editor::Choice, 0, 0, 0x0000, kL1,
     "Values over 127",
     "Tells how values that do not fit in 7 bits are sent by the device in its sysex "
     "messages.",
     2001, 3, 14, Repeat::None},
    {17, Kind::Word, 0x000, Editor::Decimal, 500, 30000, 0x0000, nullptr,
     "MIDI time out",
     "(in milliseconds). If the device does not answer within this delay, the Vantor "
     "module stops waiting and reports an error. 1000 is a good value for most "
     "devices.",
     0, 3, 14, Repeat::None},
    {18, Kind::Group, 0x000, Editor::None, 0, 0, 0x0000, nullptr,
     "MIDI channel / Sysex ID",
     "",
     0, 3, 14, Repeat::None},
    {19, Kind::Word, 0x000, Editor::Flag, 0, 0, 0x0001, kL5,
     "Type ID",
     "Select whether the device is identified by a sysex ID (device number) or by its "
     "MIDI channel in the sysex messages.",
     0, 4, 18, Repeat::None},
    {20, Kind::Word, 0x000, Editor::Decimal, 0, 100, 0x0000, nullptr,
     "Sysex ID offset in header",
     "The ID is always part of a sysex message. Where, is what you have to specify "
     "here. If you input 2, then it will be at byte + 2 from start (ie it will be the "
     "third byte). Usually this number is 2 or 3. If no ID is used in the sysex "
     "message (especially in some old MIDI devices), then set the offset to 0.",
     0, 4, 18, Repeat::None},
    {21, Kind::Word, 0x000, Editor::Hex, 0, 255, 0x0000, nullptr,
     "Sysex ID bit mask",
     "The ID sometimes occupy only a part of a byte (ie a few bits). You have to "
     "specify which bits here, Eg. F means the 4 lower bits (common case).",
     0, 4, 18, Repeat::None},
    {22, Kind::Word, 0x004, Editor::Decimal, 0, 127, 0x0000, nullptr,
     "Min sysex ID",
     "The smallest ID that can be set in the device.",
     0, 4, 18, Repeat::None},
    {23, Kind::Word, 0x004, Editor::Decimal, 0, 127, 0x0000, nullptr,
     "Max sysex ID",
     "The largest ID that can be set in the device.",
     0, 4, 18, Repeat::None},
    {24, Kind::Word, 0x004, Editor::Decimal, 0, 127, 0x0000, nullptr,
     "Default sysex ID",
     "The ID proposed by default when a new bank is created.",
     0, 4, 18, Repeat::None},
    {25, Kind::Word, 0x004, Editor::Decimal, 0, 127, 0x0000, nullptr,
     "String offset",
     "If the ID ranges from 0 to 15, it might appear in the machine as 1 to 16 (eg "
     "for MIDI Channels). Therefore, to display the correct wording, an offset must "
     "be specified to display the right wording.",
     0, 4, 18, Repeat::None},
    {26, Kind::Group, 0x000, Editor::None, 0, 0, 0x0000, nullptr,
     "Sysex message checkum",
     "",
     0, 3, 14, Repeat::None},
    {27, Kind::Word, 0x000, Editor::Choice, 0, 0, 0x0000, kL2,
     "Type",
     "The checksum used in small sysex messages (the tag CK in a message). Bulk dumps "
     "have their own checksum setting in each module.",
     2003, 4, 26, Repeat::None},
    {28, Kind::Word, 0x004, Editor::Decimal, 0, 100, 0x0000, nullptr,
     "Checksum start offset",
     "For small sysex messages, a checksum sometimes needs to be calculated (the "
     "Sysforge variable CK is to be inserted in the message). The checksum is to be "
     "calculated from a certain position in the message, till the CK position. Give "
     "here the start offset. Not often used, but necessary sometimes eg. with Roland.",
     0, 4, 26, Repeat::None},
    {29, Kind::Word, 0x004, Editor::Hex, 0, 255, 0x0000, nullptr,
     "Checksum start offset",
     "In some rare case (eg. Kawai K1), the checksum is initialized with a value "
     "other than 0; if it is the case, set the value here, else set 0.",
     0, 4, 26, Repeat::None},
    {30, Kind::Group, 0x101, Editor::None, 0, 0, 0x0000, nullptr,
     "Help/Info",
     "Some text shown to the user of the driver in the Vantor module.",
     0, 2, 2, Repeat::None},
    {31, Kind::Text, 0x001, Editor::Text, 0, 0, 0x0000, nullptr,
     "Text",
     "One line of text shown to the user of the driver (eg. what to set on the device "
     "before dumping). Up to 50 characters per line.",
     0, 3, 30, Repeat::Lines10},
    {32, Kind::Group, 0x001, Editor::None, 0, 0, 0x0000, nullptr,
     "ASCII Conversion",
     "The conversion of the patch name characters.",
     0, 1, 1, Repeat::None},
    {33, Kind::CharTable, 0x008, Editor::CharTable, 0, 0, 0x0000, nullptr,
     "Characters (0 to 127)",
     "The device's own character for each ASCII code. When the device does not use "
     "plain ASCII for its patch names, type here, at the position of each code, the "
     "character that it shows. Only used by modules whose \"ASCII conversion\" is Yes.",
     0, 2, 32, Repeat::None},
    {34, Kind::Group, 0x001, Editor::None, 0, 0, 0x0000, nullptr,
     "MIDI Mode messages",
     "The MIDI messages that set the device into a mode.",
     0, 1, 1, Repeat::None},
    {35, Kind::Message, 0x001, Editor::MessageEditor, 0, 40, 0x0000, nullptr,
     "Before editing single instrument",
     "Sent before a single instrument is edited, eg. to switch the device into its "
     "single (voice) mode.",
     0, 2, 34, Repeat::None},
    {36, Kind::Message, 0x001, Editor::MessageEditor, 0, 40, 0x0000, nullptr,
     "After editing single instrument",
     "Sent after the single instrument has been edited, eg. to restore the previous "
     "mode of the device.",
     0, 2, 34, Repeat::None},
    {37, Kind::Message, 0x001, Editor::MessageEditor, 0, 40, 0x0000, nullptr,
     "Before editing sub-instrument",
     "Sent before a sub-instrument (a child of the parent instrument) is edited.",
     0, 2, 34, Repeat::None},
    {38, Kind::Message, 0x001, Editor::MessageEditor, 0, 40, 0x0000, nullptr,
     "After editing sub-instrument",
     "Sent after a sub-instrument has been edited.",
     0, 2, 34, Repeat::None},
    {39, Kind::Message, 0x001, Editor::MessageEditor, 0, 40, 0x0000, nullptr,
     "When the bank window opens",
     "Sent when a bank window of this device is opened in the Vantor module.",
     0, 2, 34, Repeat::None},
    {40, Kind::Message, 0x001, Editor::MessageEditor, 0, 40, 0x0000, nullptr,
     "When starting playback",
     "Sent each time the playback of the sequencer starts. The tag \"Joker\" is "
     "replaced by the track message code of the instrument (see \"Instrument "
     "definition\").",
     0, 2, 34, Repeat::None},
    {41, Kind::Message, 0x001, Editor::MessageEditor, 0, 40, 0x0000, nullptr,
     "When launching the Vantor module",
     "Sent once when the Vantor module is started.",
     0, 2, 34, Repeat::None},
    {42, Kind::Message, 0x001, Editor::MessageEditor, 0, 40, 0x0000, nullptr,
     "Before passing a sysex data to a track",
     "Sent before a sysex dump is inserted into a track.",
     0, 2, 34, Repeat::None},
    {43, Kind::Message, 0x001, Editor::MessageEditor, 0, 40, 0x0000, nullptr,
     "After passing a sysex data to a track",
     "Sent after a sysex dump has been inserted into a track.",
     0, 2, 34, Repeat::None},
    {44, Kind::Group, 0x001, Editor::None, 0, 0, 0x0000, nullptr,
     "Instrument definition",
     "The instruments of the device: single instruments and the parent instrument "
     "with its children.",
     0, 1, 1, Repeat::None},
    {45, Kind::Group, 0x000, Editor::None, 0, 0, 0x0000, nullptr,
     "Single",
     "",
     0, 2, 44, Repeat::None},
    {46, Kind::Word, 0x000, Editor::Flag, 0, 0, 0x0002, kL3,
     "Device has Single instrument",
     "Set Yes if the device can be played as a single instrument (eg. a voice or a "
     "program played on one MIDI channel).",
     0, 3, 45, Repeat::None},
    {47, Kind::Word, 0x004, Editor::Decimal, 0, 16, 0x0000, nullptr,
     "Number",
     "The number of single instruments that the device offers (usually 1).",
     0, 3, 45, Repeat::None},
    {48, Kind::Text, 0x004, Editor::Text, 0, 0, 0x0000, nullptr,
     "Name",
     "The name of the single instrument as shown in Arranta (eg. \"Voice\", "
     "\"Program\").",
     0, 3, 45, Repeat::None},
    {49, Kind::Word, 0x024, Editor::Decimal, 0, 15, 0x0000, nullptr,
     "Module ID",
     "(1 to 16). This is the Sysforge memory module ID that corresponds to that "
     "instrument.",
     0, 3, 45, Repeat::None},
    {50, Kind::Word, 0x004, Editor::Hex, 0, 255, 0x0000, nullptr,
     "Track Message code for Single mode",
     "Before playing a track, a MIDI message can be sent so as to set the MIDI device "
     "in a certain mode. This message is defined in the \"Mode Message\" section. The "
     "value that you can specify here will be inserted in the message, at the "
     "position where you set the tag \"Joker\". In other words this value is to set "
     "the message so as to put the MIDI device in the \"single instrument\" mode. Eg "
     "Korg M1. Remark: in many devices you don't need such message.",
     0, 3, 45, Repeat::None},
    {51, Kind::Word, 0x004, Editor::Flag, 0, 0, 0x4000, kL3,
     "Single is used in Multi mode",
     "Set Yes if a single instrument can also be used as a part of the multi (parent) "
     "instrument.",
     0, 3, 45, Repeat::None},
    {52, Kind::Byte, 0x004, Editor::Hex, 0, 255, 0x0000, nullptr,
     "Track Message code for Multi mode",
     "The value inserted at the \"Joker\" position of the mode message, to set the "
     "device in the mode where the single instrument is part of a multi. Eg Korg M1.",
     0, 3, 45, Repeat::None},
    {53, Kind::Group, 0x000, Editor::None, 0, 0, 0x0000, nullptr,
     "Second single",
     "",
     0, 2, 44, Repeat::None},
    {54, Kind::Word, 0x000, Editor::Flag, 0, 0, 0x0001, kL3,
     "Device has a second type of Single instrument",
     "Set Yes if the device has a second kind of single instrument (eg. drum kits "
     "besides the voices).",
     0, 3, 53, Repeat::None},
    {55, Kind::Text, 0x004, Editor::Text, 0, 0, 0x0000, nullptr,
     "Name",
     "The name of the second single instrument as shown in Arranta.",
     0, 3, 53, Repeat::None},
    {56, Kind::Word, 0x024, Editor::Decimal, 0, 15, 0x0000, nullptr,
     "Module ID",
     "(1 to 16). This is the Sysforge memory module ID that corresponds to the second "
     "single instrument.",
     0, 3, 53, Repeat::None},
    {57, Kind::Byte, 0x004, Editor::Hex, 0, 255, 0x0000, nullptr,
     "Track Message code for Single mode",
     "The value inserted at the \"Joker\" position of the mode message to set the "
     "device in the mode of the second single instrument.",
     0, 3, 53, Repeat::None},
    {58, Kind::Word, 0x004, Editor::Flag, 0, 0, 0x0002, kL3,
     "Single is used in Multi mode",
     "Set Yes if the second single instrument can also be used as a part of the multi "
     "(parent) instrument.",
     0, 3, 53, Repeat::None},
    {59, Kind::Byte, 0x004, Editor::Hex, 0, 255, 0x0000, nullptr,
     "Track Message code for Multi mode",
     "The value inserted at the \"Joker\" position of the mode message when the "
     "second single instrument is part of a multi.",
     0, 3, 53, Repeat::None},
    {60, Kind::Group, 0x000, Editor::None, 0, 0, 0x0000, nullptr,
     "Parent instrument",
     "The parent instrument (multi, performance, combination) and the information "
     "that it holds about its children.",
     0, 2, 44, Repeat::None},
    {61, Kind::Word, 0x000, Editor::Flag, 0, 0, 0x0004, kL3,
     "Device has Parent instrument",
     "Set Yes if the device has a parent instrument (multi, performance, combination) "
     "that uses several child instruments at once.",
     0, 3, 60, Repeat::None},
    {62, Kind::Text, 0x004, Editor::Text, 0, 0, 0x0000, nullptr,
     "Name",
     "The name of the parent instrument as shown in Arranta (eg. \"Multi\", "
     "\"Performance\", \"Combi\").",
     0, 3, 60, Repeat::None},
    {63, Kind::Word, 0x024, Editor::Decimal, 0, 15, 0x0000, nullptr,
     "Module ID",
     "(1 to 16). This is the Sysforge memory module ID that holds the parent "
     "instruments.",
     0, 3, 60, Repeat::None},
    {64, Kind::Word, 0x004, Editor::Hex, 0, 255, 0x0000, nullptr,
     "Track Message code for Parent mode",
     "The value inserted at the \"Joker\" position of the mode message to set the "
     "device in its parent (multi) mode.",
     0, 3, 60, Repeat::None},
    {65, Kind::Word, 0x004, Editor::Decimal, 0, 16, 0x0000, nullptr,
     "Number of parts",
     "The number of parts (children) of one parent instrument. If this number is "
     "variable, set the maximum here.",
     0, 3, 60, Repeat::None},
    {66, Kind::Word, 0x004, Editor::Flag, 0, 0, 0x2000, kL3,
     "Variable number of children",
     "Set Yes if the number of parts is not the same in every parent patch. The real "
     "number is then read in the parent patch (see below).",
     0, 3, 60, Repeat::None},
    {68, Kind::Word, 0x004, Editor::Decimal, 0, 16, 0x0000, nullptr,
     "Offset to Number of parts",
     "Position (in bytes, from the start of the parent patch) of the byte that holds "
     "the number of parts.",
     0, 3, 60, Repeat::None},
    {67, Kind::Word, 0x004, Editor::Flag, 0, 0, 0x1000, kL3,
     "Children can be selected",
     "Set Yes if the user may select the children of a parent instrument in Arranta.",
     0, 3, 60, Repeat::None},
    {69, Kind::Word, 0x024, Editor::Decimal, 0, 15, 0x0000, nullptr,
     "Child module ID",
     "(1 to 16). This is the Sysforge memory module ID that holds the child "
     "instruments.",
     0, 3, 60, Repeat::None},
    {70, Kind::Word, 0x004, Editor::Flag, 0, 0, 0x0001, kL3,
     "Child is editable",
     "Set Yes if a child can be edited from the parent instrument.",
     0, 3, 60, Repeat::None},
    {71, Kind::Word, 0x004, Editor::Flag, 0, 0, 0x0080, kL3,
     "Write on edit child",
     "Set Yes if an edited child must be written back into the device memory.",
     0, 3, 60, Repeat::None},
    {72, Kind::Group, 0x004, Editor::None, 0, 0, 0x0000, nullptr,
     "Child information in parent",
     "",
     0, 3, 60, Repeat::None},
    {73, Kind::Group, 0x004, Editor::None, 0, 0, 0x0000, nullptr,
     "Sub-bank index",
     "",
     0, 4, 72, Repeat::None},
    {75, Kind::Word, 0x004, Editor::Choice, 0, 0, 0x0000, kL6,
     "Type of info",
     "How the sub-bank of each child is stored in the parent patch: as a byte, as a "
     "word, or not at all (No info).",
     0, 5, 73, Repeat::None},
    {74, Kind::Word, 0x004, Editor::Decimal, 0, 32000, 0x0000, nullptr,
     "Offset to info",
     "Position (in bytes, from the start of the part) of the sub-bank information of "
     "the child.",
     0, 5, 73, Repeat::None},
    {76, Kind::Word, 0x004, Editor::Hex, 0, 65535, 0x0000, nullptr,
     "Bit mask",
     "The bits of the info that hold the sub-bank index. Set FFFF to use all the bits.",
     0, 5, 73, Repeat::None},
    {77, Kind::Word, 0x004, Editor::Decimal, -32768, 32767, 0x0000, nullptr,
     "Add to index",
     "The bank index must correspond in fact to the sub-bank indexes of the datatype "
     "(the sub-banks that appear in the patch manager window).Sometimes the bank "
     "index does not start at 0 and an offset has to beadded to it so as to fall in "
     "the range 0 to 15. This offset can betyped in this field. This is 0 most of the "
     "time.",
     0, 5, 73, Repeat::None},
    {78, Kind::Word, 0x004, Editor::Decimal, 0, 32000, 0x0000, nullptr,
     "Multiply index by",
     "The bank index must correspond in fact to the sub-bank indexes of the datatype "
     "(the sub-banks that appear in the patch manager window).Sometimes the bank "
     "index has to be multiplied by a coefficient so as tomath the sub-bank indexes. "
     "You can set 0 if unused (in most cases)",
     0, 5, 73, Repeat::None},
    {79, Kind::Word, 0x004, Editor::Flag, 0, 0, 0x0040, kL3,
     "RAM == CARD",
     "Set Yes if the device makes no difference between the RAM and the card "
     "sub-banks when it refers to a child.",
     0, 5, 73, Repeat::None},
    {80, Kind::Group, 0x004, Editor::None, 0, 0, 0x0000, nullptr,
     "Patch index in sub-bank",
     "",
     0, 4, 72, Repeat::None},
    {82, Kind::Word, 0x004, Editor::Choice, 0, 0, 0x0000, kL7,
     "Type of info",
     "How the patch index of each child is stored in the parent patch.",
     0, 5, 80, Repeat::None},
    {81, Kind::Word, 0x004, Editor::Decimal, 0, 32000, 0x0000, nullptr,
     "Offset to info",
     "Position (in bytes, from the start of the part) of the patch index of the child.",
     0, 5, 80, Repeat::None},
    {83, Kind::Word, 0x004, Editor::Hex, 0, 65535, 0x0000, nullptr,
     "Special code",
     "A code that tells the Vantor module how to decode a patch index that does not "
     "follow one of the common formats. Only used when the type of info is "
     "\"Special\".",
     0, 5, 80, Repeat::None},
    {84, Kind::Word, 0x004, Editor::Hex, 0, 65535, 0x0000, nullptr,
     "Bit mask",
     "The bits of the info that hold the patch index. Set FFFF to use all the bits.",
     0, 5, 80, Repeat::None},
    {85, Kind::Word, 0x004, Editor::Flag, 0, 0, 0x0008, kL3,
     "Modulo bank size",
     "Set Yes if the patch index counts through all the sub-banks; the index in the "
     "sub-bank is then the index modulo the size of a sub-bank.",
     0, 5, 80, Repeat::None},
    {86, Kind::Group, 0x004, Editor::None, 0, 0, 0x0000, nullptr,
     "MIDI channel information",
     "",
     0, 4, 72, Repeat::None},
    {88, Kind::Word, 0x004, Editor::Choice, 0, 0, 0x0000, kL8,
     "Type of info",
     "If the MIDI channel is variable, then select \"Byte\" (only 4 bits are read). "
     "If the MIDI channel is fixed, ie if child #1 is on MIDI channel 1, Child #2 on "
     "MIDI channel 2, etc., then select the \"FIX\". If the MIDI channel is always "
     "equal to the one on which the parent instrument is played, then select \"As "
     "parent, same for all children\" (ie the MIDI channel is the same for all "
     "children). If the MIDI channel of the first child is always equal to the one on "
     "which the parent instrument is played, and the following children have "
     "increasing channels, then select \"As parent for first child, then increment\" "
     "(eg. Oberheim Matrix-6).",
     0, 5, 86, Repeat::None},
    {87, Kind::Word, 0x004, Editor::Decimal, 0, 32000, 0x0000, nullptr,
     "Offset to info",
     "Position (in bytes, from the start of the part) of the MIDI channel of the "
     "child.",
     0, 5, 86, Repeat::None},
    {90, Kind::Word, 0x004, Editor::Decimal, 0, 16, 0x0000, nullptr,
     "Bit start",
     "The number of the first bit (0 to 7) of the MIDI channel in the byte.",
     0, 5, 86, Repeat::None},
    {89, Kind::Word, 0x004, Editor::Flag, 0, 0, 0x0400, kL3,
     "Sequential info",
     "Set Yes if the MIDI channels of all parts are stored one after the other, "
     "rather than in each part.",
     0, 5, 86, Repeat::None},
    {91, Kind::Group, 0x004, Editor::None, 0, 0, 0x0000, nullptr,
     "Mute information",
     "",
     0, 4, 72, Repeat::None},
    {93, Kind::Word, 0x004, Editor::Choice, 0, 0, 0x0000, kL9,
     "Type of info",
     "Set \"Byte\" if the info is a byte and input below the value that corresponds "
     "to a muted child. If the info is only the part of the byte, then specify "
     "(below) the bit mask that corresponds to the effective bits. In that case the "
     "child is meant to be muted if the value of (byte AND mask) equals the value "
     "that you have specified. Set \"Bit set\" if the child is muted when a certain "
     "bit is set to 1, then set the bit position (0 to 7) below. Set \"Bit unset\" if "
     "the child is muted when a certain bit is set to 0, then set the bit position (0 "
     "to 7) below. Set \"No Mute\" if a child cannot be muted.",
     0, 5, 91, Repeat::None},
    {92, Kind::Word, 0x004, Editor::Decimal, 0, 32000, 0x0000, nullptr,
     "Offset to info",
     "Position (in bytes, from the start of the part) of the mute information of the "
     "child.",
     0, 5, 91, Repeat::None},
    {94, Kind::Word, 0x004, Editor::Decimal, 0, 255, 0x0000, nullptr,
     "Value",
     "The value that marks a muted child (for \"Byte\"), or the bit position 0 to 7 "
     "(for \"Bit set\" and \"Bit unset\").",
     0, 5, 91, Repeat::None},
    {95, Kind::Word, 0x004, Editor::Decimal, 0, 255, 0x0000, nullptr,
     "Bit Mask",
     "The bits of the byte that hold the mute information. Set FF to use the whole "
     "byte.",
     0, 5, 91, Repeat::None},
    {96, Kind::Word, 0x004, Editor::Flag, 0, 0, 0x0800, kL3,
     "Sequential info",
     "Set Yes if the mute information of all parts is stored one after the other, "
     "rather than in each part.",
     0, 5, 91, Repeat::None},
    {97, Kind::Word, 0x004, Editor::Decimal, 0, 32000, 0x0000, nullptr,
     "Offset to next part",
     "The size in bytes of one part in the parent patch, that is the distance between "
     "the information of two children.",
     0, 4, 72, Repeat::None},
    {98, Kind::Group, 0x000, Editor::None, 0, 0, 0x0000, nullptr,
     "Child MIDI selection",
     "How a child instrument is selected by MIDI messages.",
     0, 3, 60, Repeat::None},
    {99, Kind::Word, 0x004, Editor::Flag, 0, 0, 0x0010, kL3,
     "Child selection possible",
     "Set Yes if a child can be selected on its MIDI channel by a MIDI message.",
     0, 4, 98, Repeat::None},
    {100, Kind::Word, 0x004, Editor::Choice, 0, 0, 0x0300, kL10,
     "Selection method",
     "How a child is selected: with a MIDI bank select, with a program change, or "
     "with the custom messages below.",
     0, 4, 98, Repeat::None},
    {101, Kind::Message, 0x005, Editor::MessageEditor, 0, 40, 0x0000, nullptr,
     "Sub-bank selection message(s)",
     "Input the message (sysex or not, eg program change(s)), that selects the "
     "sub-bank of the child.If the tag \"Joker\" is used in the body of the message, "
     "it is replaced by the sub-bank index.",
     0, 4, 98, Repeat::None},
    {102, Kind::Message, 0x005, Editor::MessageEditor, 0, 40, 0x0000, nullptr,
     "Patch selection message(s)",
     "Input the message (sysex or not, eg program change(s)), that selects the child "
     "itself.If the tag \"Joker\" is used in the body of the message, it is replaced "
     "by the patch index in the sub-bank.",
     0, 4, 98, Repeat::None},
    {103, Kind::Word, 0x000, Editor::Decimal, 1, 16, 0x0000, nullptr,
     "Number of modules",
     "(1-16). Modify this value to add/remove modules. One module is required for "
     "each memory type that you want to support in the MIDI device (eg. voice, "
     "performance, setup, etc.).",
     0, 1, 1, Repeat::None},
    {105, Kind::Group, 0x012, Editor::None, 0, 0, 0x0000, nullptr,
     "Module %d",
     "One memory module of the device (eg. voices, performances, setups).",
     0, 1, 1, Repeat::PerModule},
    {106, Kind::Group, 0x001, Editor::None, 0, 0, 0x0000, nullptr,
     "Global settings",
     "",
     0, 2, 105, Repeat::None},
    {107, Kind::Text, 0x040, Editor::Text, 0, 0, 0x0000, nullptr,
     "Name",
     "The name of the memory module (eg. \"Voices\", \"Performances\"). This name is "
     "shown in the Vantor module; an empty name is not allowed.",
     0, 3, 106, Repeat::None},
    {108, Kind::Word, 0x000, Editor::Choice, 0, 0, 0x0048, kL11,
     "Type",
     "If the module can dump the memory from the device, and display/select patches, "
     "then select the first option. If the module can dump the memory but cannot "
     "display any name, then select the second option (this is the case for setups, "
     "tuning tables, etc., that is, for memories that can not be selected via MIDI "
     "messages.If there is no memory to dump, but there are presets that can be "
     "displayed or set by the user, then select the third option. This is used for "
     "some preset instruments.",
     0, 3, 106, Repeat::None},
    {109, Kind::Word, 0x004, Editor::Choice, 0, 0, 0x0120, kL12,
     "Patch selection",
     "How a patch of this module is selected on the device: by a program change, by a "
     "MIDI bank select followed by a program change, or by the special messages of "
     "the sub-bank definitions.",
     0, 3, 106, Repeat::None},
    {110, Kind::Word, 0x004, Editor::Flag, 0, 0, 0x0400, kL3,
     "GM/GS drum compatible",
     "Set Yes if the module follows the GM/GS drum map, so that its drum patches can "
     "be shown with the drum names.",
     0, 3, 106, Repeat::None},
    {111, Kind::Word, 0x004, Editor::Flag, 0, 0, 0x0800, kL3,
     "Drum part",
     "Set Yes if this module holds drum patches played on a drum part.",
     0, 3, 106, Repeat::None},
    {112, Kind::Word, 0x024, Editor::Decimal, 0, 15, 0x0000, nullptr,
     "Drum module",
     "(1 to 16). The memory module that holds the drum kits.",
     0, 3, 106, Repeat::None},
    {113, Kind::Word, 0x024, Editor::Decimal, 0, 15, 0x0000, nullptr,
     "Drum channel",
     "(1 to 16). The MIDI channel of the drum part.",
     0, 3, 106, Repeat::None},
    {115, Kind::Word, 0x004, Editor::Flag, 0, 0, 0x0004, kL3,
     "Alternate bank",
     "Set Yes if the patches of this module are selected in an alternate bank of the "
     "device.",
     0, 3, 106, Repeat::None},
    {114, Kind::Word, 0x004, Editor::Choice, 0, 0, 0x0000, kL3,
     "Has a Macro editor",
     "Set Yes to give the patches of this module an editor built from macros and "
     "parameters (see \"Macro editor\" in the patch handling section).",
     0, 3, 106, Repeat::None},
    {116, Kind::Word, 0x004, Editor::Flag, 0, 0, 0x0010, kL3,
     "Use checksum",
     "Set Yes if the bulk dumps of this module carry a checksum. The checksum type is "
     "the one set in the MIDI specifications.",
     0, 3, 106, Repeat::None},
    {117, Kind::Word, 0x004, Editor::Choice, 0, 0, 0x0000, kL13,
     "Data conversion",
     "How the patch data is coded in the sysex bulk. The data is decoded when "
     "received and coded again when sent, so that the module always stores the "
     "decoded patches.",
     2005, 3, 106, Repeat::None},
    {118, Kind::Word, 0x004, Editor::Flag, 0, 0, 0x0200, kL3,
     "Slow speed",
     "Set Yes if the device needs more time between the sysex messages (for old or "
     "slow devices).",
     0, 3, 106, Repeat::None},
    {119, Kind::Group, 0x006, Editor::None, 0, 0, 0x0000, nullptr,
     "Bank handling",
     "How a whole bank of the module is received from and sent to the device.",
     0, 2, 105, Repeat::None},
    {120, Kind::Group, 0x005, Editor::None, 0, 0, 0x0000, nullptr,
     "Sysex protocol",
     "The sysex protocol used for the bulk dumps of the module.",
     0, 3, 119, Repeat::None},
    {121, Kind::Word, 0x004, Editor::Choice, 0, 0, 0x0000, kL14,
     "Sysex dump protocol",
     "Tells whether the device must answer (acknowledge) the messages during a bulk "
     "transfer, and how.",
     2006, 4, 120, Repeat::None},
    {122, Kind::Group, 0x004, Editor::None, 0, 0, 0x0000, nullptr,
     "Roland packet settings",
     "",
     0, 4, 120, Repeat::None},
    {123, Kind::Word, 0x004, Editor::Flag, 0, 0, 0x0001, kL3,
     "Patches are divided in packets within a bulk dump.",
     "Set Yes if the bulk dump of the patches is sent in several sysex packets (eg. "
     "Roland).",
     0, 5, 122, Repeat::None},
    {124, Kind::Word, 0x004, Editor::Decimal, 0, 32000, 0x0000, nullptr,
     "Packet size",
     "Set the size of the packets that are contained in the bulk (note: the last "
     "packet of the bulk is allowed to be smaller). Important: this is the size of "
     "the data in the sysex bulk, without header and checksum.",
     0, 5, 122, Repeat::None},
    {125, Kind::Word, 0x004, Editor::Flag, 0, 0, 0x0004, kL3,
     "Has packets of variable size",
     "Set Yes if the packets do not all have the same size. Their sizes are then "
     "given by the packet sequence below.",
     0, 5, 122, Repeat::None},
    {126, Kind::Group, 0x004, Editor::None, 0, 0, 0x0000, nullptr,
     "Packet sequence",
     "The sizes of the packets, when they are not all the same. Each entry is a "
     "number of packets of one size.",
     0, 5, 122, Repeat::None},
    {127, Kind::Group, 0x014, Editor::None, 0, 0, 0x0000, nullptr,
     "Packet(s) #%d",
     "",
     0, 6, 126, Repeat::Packets10},
    {128, Kind::Word, 0x004, Editor::Decimal, 0, 32767, 0x0000, nullptr,
     "Real packet size",
     "The number of data bytes of the packet in the sysex bulk, without header and "
     "checksum.",
     0, 7, 127, Repeat::None},
    {129, Kind::Word, 0x004, Editor::Roland7, 0, 0, 0x0000, nullptr,
     "Virtual packet size",
     "(Roland 7bit format; hex). This is the virtual size of the packet in the "
     "Roland's space address format. This represents the \"distance\" between the "
     "start of the packet, and the start of the next one. Care: for the very last "
     "packet of the sequence, this size can usually be very large since its "
     "corresponds to the \"distance\" till the end of the global virtual space "
     "reserved for the patches.",
     0, 7, 127, Repeat::None},
    {130, Kind::Word, 0x004, Editor::Decimal, 0, 32767, 0x0000, nullptr,
     "Number of packets",
     "The number of times a packet of this size is repeated in the sequence. Set 0 "
     "for the unused entries.",
     0, 7, 127, Repeat::None},
    {131, Kind::Word, 0x084, Editor::Decimal, 0, 0, 0x0000, nullptr,
     "Sum of all packet real sizes",
     "The total of all real packet sizes (number of packets x real size). This value "
     "is calculated and can not be changed.",
     0, 6, 126, Repeat::None},
    {132, Kind::Word, 0x084, Editor::Roland7, 0, 0, 0x0000, nullptr,
     "Sum of all packet virtual sizes",
     "The total of all virtual packet sizes (number of packets x virtual size), in "
     "the Roland 7bit format. This value is calculated and can not be changed.",
     0, 6, 126, Repeat::None},
    {133, Kind::Group, 0x004, Editor::None, 0, 0, 0x0000, nullptr,
     "Protocol sysex message",
     "",
     0, 4, 120, Repeat::None},
    {134, Kind::Message, 0x004, Editor::MessageEditor, 0, 40, 0x0000, nullptr,
     "Template message",
     "You must mark the variable code inside the message by the tag \"Joker\".",
     0, 5, 133, Repeat::None},
    {135, Kind::Word, 0x004, Editor::HandshakeCode, 0, 127, 0x0000, nullptr,
     "Start code",
     "The code sent by the device when it starts a transfer. Leave empty if the "
     "device sends none.",
     0, 5, 133, Repeat::None},
    {136, Kind::Word, 0x004, Editor::HandshakeCode, 0, 127, 0x0000, nullptr,
     "Acknowledge code",
     "The code that acknowledges a packet (the device received it correctly). Leave "
     "empty if unused.",
     0, 5, 133, Repeat::None},
    {137, Kind::Word, 0x004, Editor::HandshakeCode, 0, 127, 0x0000, nullptr,
     "End code",
     "The code that ends a transfer. Leave empty if unused.",
     0, 5, 133, Repeat::None},
    {138, Kind::Word, 0x004, Editor::HandshakeCode, 0, 127, 0x0000, nullptr,
     "Packet error code",
     "The code sent when a packet was received with an error, so that it is sent "
     "again. Leave empty if unused.",
     0, 5, 133, Repeat::None},
    {139, Kind::Word, 0x004, Editor::HandshakeCode, 0, 127, 0x0000, nullptr,
     "Stop/Error/Rejection code",
     "The code that stops a transfer because of an error or a rejection. Leave empty "
     "if unused.",
     0, 5, 133, Repeat::None},
    {140, Kind::Word, 0x004, Editor::HandshakeCode, 0, 127, 0x0000, nullptr,
     "Alternate Acknowledge code #1",
     "An other code that the device may send instead of the acknowledge code. Leave "
     "empty if unused.",
     0, 5, 133, Repeat::None},
    {141, Kind::Word, 0x004, Editor::HandshakeCode, 0, 127, 0x0000, nullptr,
     "Alternate Acknowledge code #2",
     "An other code that the device may send instead of the acknowledge code. Leave "
     "empty if unused.",
     0, 5, 133, Repeat::None},
    {142, Kind::Word, 0x004, Editor::HandshakeCode, 0, 127, 0x0000, nullptr,
     "Alternate Acknowledge code #3",
     "An other code that the device may send instead of the acknowledge code. Leave "
     "empty if unused.",
     0, 5, 133, Repeat::None},
    {143, Kind::Word, 0x004, Editor::HandshakeCode, 0, 127, 0x0000, nullptr,
     "Alternate Error code #1",
     "An other code that the device may send to report an error. Leave empty if "
     "unused.",
     0, 5, 133, Repeat::None},
    {144, Kind::Word, 0x004, Editor::HandshakeCode, 0, 127, 0x0000, nullptr,
     "Alternate Error code #2",
     "An other code that the device may send to report an error. Leave empty if "
     "unused.",
     0, 5, 133, Repeat::None},
    {145, Kind::Word, 0x004, Editor::HandshakeCode, 0, 127, 0x0000, nullptr,
     "Alternate Error code #3",
     "An other code that the device may send to report an error. Leave empty if "
     "unused.",
     0, 5, 133, Repeat::None},
    {146, Kind::Word, 0x004, Editor::HandshakeCode, 0, 127, 0x0000, nullptr,
     "Alternate Error code #4",
     "An other code that the device may send to report an error. Leave empty if "
     "unused.",
     0, 5, 133, Repeat::None},
    {147, Kind::Group, 0x004, Editor::None, 0, 0, 0x0000, nullptr,
     "Processor variables",
     "",
     2007, 4, 120, Repeat::None},
    {148, Kind::Group, 0x004, Editor::None, 0, 0, 0x0000, nullptr,
     "Loop #1",
     "",
     0, 5, 147, Repeat::None},
    {149, Kind::Word, 0x004, Editor::Decimal, 0, 32767, 0x0000, nullptr,
     "Start value for X1",
     "The first value of the variable X1, used in the request messages during the "
     "first loop.",
     2007, 6, 148, Repeat::None},
    {150, Kind::Word, 0x004, Editor::Decimal, 0, 32767, 0x0000, nullptr,
     "Last value for X1",
     "The last value of the variable X1. The loop ends after this value has been used.",
     2007, 6, 148, Repeat::None},
    {151, Kind::Word, 0x004, Editor::Decimal, -32768, 32767, 0x0000, nullptr,
     "At each iteration, change X1 by",
     "This value can be negative, but it should never be 0.",
     0, 6, 148, Repeat::None},
    {152, Kind::Word, 0x004, Editor::Decimal, -32768, 32767, 0x0000, nullptr,
     "Length precount",
     "A value used in the calculation of the length of the packets. Set 0 if unused.",
     2007, 6, 148, Repeat::None},
    {153, Kind::Group, 0x004, Editor::None, 0, 0, 0x0000, nullptr,
     "Loop #2",
     "",
     0, 6, 148, Repeat::None},
    {154, Kind::Word, 0x004, Editor::Decimal, 0, 32767, 0x0000, nullptr,
     "Start value for X2",
     "The first value of the variable X2, used in the request messages during the "
     "second (inner) loop.",
     2007, 7, 153, Repeat::None},
    {155, Kind::Word, 0x004, Editor::Decimal, 0, 32767, 0x0000, nullptr,
     "Last value for X2",
     "The last value of the variable X2. The loop ends after this value has been used.",
     2007, 7, 153, Repeat::None},
    {156, Kind::Word, 0x004, Editor::Decimal, -32768, 32767, 0x0000, nullptr,
     "At each iteration, change X2 by",
     "This value can be negative, but it should never be 0.",
     0, 7, 153, Repeat::None},
    {157, Kind::Word, 0x004, Editor::Decimal, -32768, 32767, 0x0000, nullptr,
     "Length precount",
     "A value used in the calculation of the length of the packets in the second "
     "loop. Set 0 if unused.",
     2007, 7, 153, Repeat::None},
    {158, Kind::Long, 0x004, Editor::Roland7, 0, 0, 0x0000, nullptr,
     "Start address",
     "(Roland 7bit format, hex). Roland has a variable address field in their dump "
     "request and headers. This address increases with each sent packet. You have to "
     "set here the start address.",
     0, 5, 147, Repeat::None},
    {159, Kind::Word, 0x004, Editor::Roland7, 0, 0, 0x0000, nullptr,
     "Address offset",
     "(Roland 7bit format, hex). This is the offset to add to the address at each "
     "iteration, so that the Vantor module can calculate the \"address\" of the next "
     "packet.",
     0, 5, 147, Repeat::None},
    {160, Kind::Word, 0x004, Editor::Roland7, 0, 0, 0x0000, nullptr,
     "Length precount",
     "(Roland 7bit format, hex). A value used in the calculation of the length of the "
     "packets. Set 0 if unused.",
     2008, 5, 147, Repeat::None},
    {161, Kind::Word, 0x004, Editor::Flag, 0, 0, 0x0002, kL3,
     "Use complex loop",
     "If the loop system with 2 variables X1/X2 is not flexible enough, there is the "
     "option to use a more complex algorithm, as defined by the following settings.",
     0, 5, 147, Repeat::None},
    {162, Kind::Group, 0x004, Editor::None, 0, 0, 0x0000, nullptr,
     "Complex loop section",
     "Up to 8 loop sets, each with two nested loops and the variables V1, V2 and V3.",
     2009, 5, 147, Repeat::None},
    {163, Kind::Group, 0x014, Editor::None, 0, 0, 0x0000, nullptr,
     "Loop set #%d",
     "",
     2009, 6, 162, Repeat::LoopSets8},
    {164, Kind::Group, 0x004, Editor::None, 0, 0, 0x0000, nullptr,
     "Loop #1",
     "",
     2009, 7, 163, Repeat::None},
    {165, Kind::Byte, 0x004, Editor::Unsigned, 0, 255, 0x0000, nullptr,
     "Loop #1 : number of iterations",
     "The number of iterations of the first loop of this loop set. Set 0 for an "
     "unused loop set.",
     2009, 8, 164, Repeat::None},
    {166, Kind::Word, 0x004, Editor::Decimal, 0, 32767, 0x0000, nullptr,
     "V1 start value",
     "The value of the variable V1 when the loop set starts.",
     2009, 8, 164, Repeat::None},
    {167, Kind::Byte, 0x004, Editor::Flag, 0, 0, 0x0010, kL15,
     "V1 Mode",
     "Whether V1 keeps its value or is incremented at each iteration of the loop.",
     2009, 8, 164, Repeat::None},
    {168, Kind::Word, 0x004, Editor::Decimal, 0, 32767, 0x0000, nullptr,
     "V2 start value",
     "The value of the variable V2 when the loop set starts.",
     2009, 8, 164, Repeat::None},
    {169, Kind::Byte, 0x004, Editor::Flag, 0, 0, 0x0020, kL15,
     "V2 mode",
     "Whether V2 keeps its value or is incremented at each iteration of the loop.",
     2009, 8, 164, Repeat::None},
    {170, Kind::Group, 0x004, Editor::None, 0, 0, 0x0000, nullptr,
     "Loop #2",
     "",
     2009, 8, 164, Repeat::None},
    {171, Kind::Byte, 0x004, Editor::Unsigned, 0, 255, 0x0000, nullptr,
     "Loop #2 : number of iterations",
     "The number of iterations of the second (inner) loop of this loop set.",
     2009, 9, 170, Repeat::None},
    {172, Kind::Word, 0x004, Editor::Decimal, 0, 32767, 0x0000, nullptr,
     "V3 start value",
     "The value of the variable V3 when the loop set starts.",
     2009, 9, 170, Repeat::None},
    {173, Kind::Byte, 0x004, Editor::Flag, 0, 0, 0x0040, kL15,
     "V3 Mode",
     "Whether V3 keeps its value or is incremented at each iteration of the inner "
     "loop.",
     2009, 9, 170, Repeat::None},
    {174, Kind::Group, 0x005, Editor::None, 0, 0, 0x0000, nullptr,
     "Data structure",
     "How the patches are arranged in the bulk dump.",
     0, 3, 119, Repeat::None},
    {176, Kind::Word, 0x004, Editor::Choice, 0, 0, 0x0000, kL16,
     "Structure",
     "How the patches are arranged in the sysex bulk. This choice decides which of "
     "the following settings are used.",
     0, 4, 174, Repeat::None},
    {177, Kind::Word, 0x004, Editor::Decimal, 0, 32767, 0x0000, nullptr,
     "Data start in packet",
     "This determines how many bytes have to be cut at the beginning of a sysex "
     "packet so as to reach the start of the \"interesting\" data. In other words, "
     "that's a way to strip the packet header",
     0, 4, 174, Repeat::None},
    {178, Kind::Word, 0x004, Editor::Decimal, 0, 32767, 0x0000, nullptr,
     "Checksum start in packet",
     "The position in the packet where the calculation of the checksum starts.",
     0, 4, 174, Repeat::None},
    {179, Kind::Group, 0x004, Editor::None, 0, 0, 0x0000, nullptr,
     "Segmentation",
     "",
     0, 4, 174, Repeat::None},
    {180, Kind::Word, 0x004, Editor::Decimal, 0, 32767, 0x0000, nullptr,
     "Number of sysex packets in the bulk",
     "The number of sysex packets that make the whole bulk dump.",
     0, 5, 179, Repeat::None},
    {181, Kind::Word, 0x004, Editor::Decimal, 0, 32767, 0x0000, nullptr,
     "Total number of patches",
     "The number of patches contained in the bulk dump (the size of a bank).",
     0, 5, 179, Repeat::None},
    {182, Kind::Long, 0x004, Editor::Decimal, -32768, 32767, 0x0000, nullptr,
     "Size of one patch",
     "Set here the size of one patch. It must be the size of the decoded data (see "
     "the \"Data conversion\" parameter in the module global settings). If the size "
     "is variable, set the maximum size, but with a minus sign before (eg -1000 for a "
     "maximum size of 1000 bytes).",
     0, 5, 179, Repeat::None},
    {183, Kind::Word, 0x004, Editor::Decimal, -32768, 32767, 0x0000, nullptr,
     "Number of patches with the above size",
     "For structures with patches of two sizes: the number of patches that have the "
     "size set above; the other patches are large patches.",
     0, 5, 179, Repeat::None},
    {184, Kind::Word, 0x004, Editor::Decimal, 0, 32767, 0x0000, nullptr,
     "Size of patch complement",
     "The size of the second part of a patch, when a patch is made of two parts sent "
     "separately.",
     0, 5, 179, Repeat::None},
    {185, Kind::Word, 0x004, Editor::Decimal, -32768, 32767, 0x0000, nullptr,
     "Size of a large patch",
     "For certain structures, this parameter represents the size of the larger "
     "patches. If this size is variable, set the maximum size, but with a minus sign "
     "before (eg -1000 for a maximum size of 1000 bytes).",
     0, 5, 179, Repeat::None},
    {187, Kind::Word, 0x004, Editor::Decimal, 0, 32767, 0x0000, nullptr,
     "Number of large patches",
     "The number of large patches in the bulk.",
     0, 5, 179, Repeat::None},
    {188, Kind::Word, 0x004, Editor::Flag, 0, 0, 0x0001, kL3,
     "Queue",
     "In very rare occasions, the patches are extracted from the bulk but some "
     "additional data (not patch) at the very end is also to be saved in the Vantor "
     "Module bank. In that case you must set the length of this \"queue\". Eg. this "
     "is used for the D50, to save the effect part which is automatically sent after "
     "the patches.",
     0, 5, 179, Repeat::None},
    {186, Kind::Word, 0x004, Editor::Decimal, -32768, 32767, 0x0000, nullptr,
     "Queue size",
     "The size of the queue data saved after the patches. If this size is variable, "
     "set the maximum size, but with a minus sign before.",
     0, 5, 179, Repeat::None},
    {189, Kind::Word, 0x004, Editor::Flag, 0, 0, 0x0002, kL3,
     "Multiple headers/checksum per packet",
     "Set Yes if a packet holds several groups of patches, each one with its own "
     "header and checksum.",
     0, 5, 179, Repeat::None},
    {190, Kind::Word, 0x004, Editor::Choice, 0, 0, 0x0000, kL17,
     "Multi header structure",
     "How the headers and checksums are arranged inside a packet.",
     2012, 5, 179, Repeat::None},
    {191, Kind::Word, 0x004, Editor::Decimal, 1, 32767, 0x0000, nullptr,
     "Number of patches after each sub-header",
     "The number of patches that follow each sub-header.",
     0, 5, 179, Repeat::None},
    {193, Kind::Group, 0x005, Editor::None, 0, 0, 0x0000, nullptr,
     "Receive process",
     "How a bank is received from the device.",
     2015, 3, 119, Repeat::None},
    {194, Kind::Message, 0x005, Editor::MessageEditor, 0, 60, 0x0000, nullptr,
     "Init message(s)",
     "The message(s) sent before receiving a bulk dump, eg. to put the device in a "
     "mode where it accepts dump requests.",
     0, 4, 193, Repeat::None},
    {195, Kind::Word, 0x004, Editor::Decimal, 0, 32767, 0x0000, nullptr,
     "Pause after init message",
     "(in milliseconds). The time to wait after the init message(s) before going on.",
     0, 4, 193, Repeat::None},
    {196, Kind::Word, 0x004, Editor::Flag, 0, 0, 0x0001, kL18,
     "Mode",
     "Select \"Automatic\" if the dump is requested by a message; select \"Manual "
     "start\" if the user has to start the dump on the device.",
     0, 4, 193, Repeat::None},
    {197, Kind::Word, 0x004, Editor::Flag, 0, 0, 0x0008, kL3,
     "Wait for MIDI notification",
     "Set Yes if the Vantor module must wait for a MIDI event before it starts to "
     "receive a dump started manually.",
     0, 4, 193, Repeat::None},
    {198, Kind::Group, 0x105, Editor::None, 0, 0, 0x0000, nullptr,
     "Help/Info",
     "Some text shown to the user when a bank is received.",
     0, 4, 193, Repeat::None},
    {199, Kind::Text, 0x005, Editor::Text, 0, 0, 0x0000, nullptr,
     "Text",
     "One line of text shown to the user when receiving (eg. which button to press on "
     "the device). Up to 50 characters per line.",
     0, 5, 198, Repeat::Lines10},
    {200, Kind::Word, 0x004, Editor::Flag, 0, 0, 0x0004, kL3,
     "Message box appears at each loop",
     "Set Yes if the help text is shown again at each iteration of the loop.",
     0, 4, 193, Repeat::None},
    {201, Kind::Group, 0x004, Editor::None, 0, 0, 0x0000, nullptr,
     "Operations done in the loops",
     "",
     0, 4, 193, Repeat::None},
    {202, Kind::Message, 0x005, Editor::MessageEditor, 0, 40, 0x0000, nullptr,
     "Pre-message(s)",
     "A message sent before each request of the loop.",
     0, 5, 201, Repeat::None},
    {203, Kind::Word, 0x004, Editor::Flag, 0, 0, 0x0002, kL19,
     "Pre-message is sent",
     "When the pre-message is sent.",
     2014, 5, 201, Repeat::None},
    {204, Kind::Word, 0x004, Editor::Decimal, 0, 32767, 0x0000, nullptr,
     "Pause after pre-request",
     "(in milliseconds). The time to wait after the pre-message.",
     0, 5, 201, Repeat::None},
    {205, Kind::Message, 0x005, Editor::MessageEditor, 0, 40, 0x0000, nullptr,
     "Request #1",
     "The dump request message. Use the variables of the processor (eg. X1, X2) to "
     "request the packets one after the other.",
     0, 5, 201, Repeat::None},
    {206, Kind::Message, 0x005, Editor::MessageEditor, 0, 40, 0x0000, nullptr,
     "Request #2",
     "A second dump request message, if the device needs one. Leave it empty if "
     "unused.",
     0, 5, 201, Repeat::None},
    {207, Kind::Word, 0x004, Editor::Choice, 0, 0, 0x0000, kL20,
     "Usage of second request message",
     "When the second request message is sent.",
     2013, 5, 201, Repeat::None},
    {208, Kind::Word, 0x004, Editor::Decimal, 0, 32767, 0x0000, nullptr,
     "Number of packets returned for one request",
     "The number of sysex packets that the device sends back for one request.",
     0, 5, 201, Repeat::None},
    {209, Kind::Long, 0x004, Editor::Decimal, -2147483647, 2147483647, 0x0000, nullptr,
     "Total size to receive",
     "The Vantor Module has to reserve some memory to get the sysex bulk. Set here "
     "the total number of bytes that will be received. If this size is variable, then "
     "set the largest possible number of bytes and set a minus sign in front of it.",
     0, 4, 193, Repeat::None},
    {210, Kind::Message, 0x005, Editor::MessageEditor, 0, 60, 0x0000, nullptr,
     "End message(s)",
     "The message(s) sent after a bulk dump has been received, eg. to restore the "
     "mode of the device.",
     0, 4, 193, Repeat::None},
    {211, Kind::Word, 0x004, Editor::Decimal, 0, 32767, 0x0000, nullptr,
     "Pause after end message",
     "(in milliseconds). The time to wait after the end message(s).",
     0, 4, 193, Repeat::None},
    {212, Kind::Group, 0x005, Editor::None, 0, 0, 0x0000, nullptr,
     "Send process",
     "How a bank is sent to the device.",
     2016, 3, 119, Repeat::None},
    {213, Kind::Message, 0x005, Editor::MessageEditor, 0, 60, 0x0000, nullptr,
     "Init message(s)",
     "The message(s) sent before a bank is sent to the device.",
     0, 4, 212, Repeat::None},
    {214, Kind::Word, 0x004, Editor::Decimal, 0, 32767, 0x0000, nullptr,
     "Pause after init message",
     "(in milliseconds). The time to wait after the init message(s) before going on.",
     0, 4, 212, Repeat::None},
    {215, Kind::Word, 0x004, Editor::Flag, 0, 0, 0x0001, kL18,
     "Mode",
     "Select \"Automatic\" if the bank is sent without any action from the user; "
     "select \"Manual start\" if the user has to prepare the device first.",
     0, 4, 212, Repeat::None},
    {216, Kind::Word, 0x004, Editor::Flag, 0, 0, 0x0008, kL3,
     "Wait for MIDI notification",
     "Set Yes if the Vantor module must wait for a MIDI event before it starts to "
     "send.",
     0, 4, 212, Repeat::None},
    {217, Kind::Group, 0x105, Editor::None, 0, 0, 0x0000, nullptr,
     "Help/Info",
     "Some text shown to the user when a bank is sent.",
     0, 4, 212, Repeat::None},
    {218, Kind::Text, 0x005, Editor::Text, 0, 0, 0x0000, nullptr,
     "Text",
     "One line of text shown to the user when sending (eg. to switch off the memory "
     "protection). Up to 50 characters per line.",
     0, 5, 217, Repeat::Lines10},
    {219, Kind::Word, 0x004, Editor::Flag, 0, 0, 0x0004, kL3,
     "Message box appears at each loop",
     "Set Yes if the help text is shown again at each iteration of the loop.",
     0, 4, 212, Repeat::None},
    {220, Kind::Group, 0x004, Editor::None, 0, 0, 0x0000, nullptr,
     "Operations done in the loops",
     "",
     0, 4, 212, Repeat::None},
    {221, Kind::Message, 0x005, Editor::MessageEditor, 0, 40, 0x0000, nullptr,
     "Pre-message(s)",
     "A message sent before each packet of the loop.",
     0, 5, 220, Repeat::None},
    {222, Kind::Word, 0x004, Editor::Flag, 0, 0, 0x0002, kL19,
     "Pre-message is sent",
     "When the pre-message is sent.",
     2014, 5, 220, Repeat::None},
    {223, Kind::Word, 0x004, Editor::Decimal, 0, 32767, 0x0000, nullptr,
     "Pause after pre-message",
     "(in milliseconds). The time to wait after the pre-message.",
     0, 5, 220, Repeat::None},
    {224, Kind::Message, 0x005, Editor::MessageEditor, 0, 40, 0x0000, nullptr,
     "Header #1",
     "The header sent in front of the data of each packet. The checksum and the end "
     "of the sysex are added automatically.",
     0, 5, 220, Repeat::None},
    {225, Kind::Message, 0x005, Editor::MessageEditor, 0, 40, 0x0000, nullptr,
     "Header #2",
     "A second header, if the device needs one. Leave it empty if unused.",
     0, 5, 220, Repeat::None},
    {226, Kind::Word, 0x004, Editor::Choice, 0, 0, 0x0000, kL20,
     "Usage of second header/packet",
     "When the second header is used.",
     2013, 5, 220, Repeat::None},
    {227, Kind::Message, 0x005, Editor::MessageEditor, 0, 40, 0x0000, nullptr,
     "Write request",
     "A message sent after each packet to have it written into the device memory. "
     "Leave it empty if unused.",
     0, 5, 220, Repeat::None},
    {228, Kind::Word, 0x004, Editor::Decimal, 0, 32767, 0x0000, nullptr,
     "Pause after message",
     "(in milliseconds). The time to wait after each packet.",
     0, 5, 220, Repeat::None},
    {229, Kind::Message, 0x005, Editor::MessageEditor, 0, 60, 0x0000, nullptr,
     "End message(s)",
     "The message(s) sent after the bank has been sent.",
     0, 4, 212, Repeat::None},
    {230, Kind::Word, 0x004, Editor::Decimal, 0, 32767, 0x0000, nullptr,
     "Pause after end message",
     "(in milliseconds). The time to wait after the end message(s).",
     0, 4, 212, Repeat::None},
    {231, Kind::Group, 0x005, Editor::None, 0, 0, 0x0000, nullptr,
     "Display",
     "How the bank and the patch names are shown.",
     0, 3, 119, Repeat::None},
    {232, Kind::Group, 0x004, Editor::None, 0, 0, 0x0000, nullptr,
     "Bank style",
     "This sets the visual appearance of the bank in Arranta. Care: the product "
     "(number of rows X number of columns) must be as least as large as the number of "
     "patches in a bank!",
     0, 4, 231, Repeat::None},
    {233, Kind::Word, 0x004, Editor::Decimal, 0, 1000, 0x0000, nullptr,
     "Number of columns in the bank",
     "The number of columns of the bank window.",
     0, 5, 232, Repeat::None},
    {234, Kind::Word, 0x004, Editor::Choice, 0, 0, 0x0000, kL21,
     "Column label",
     "How the columns are labelled: with letters (A...), or with numbers starting at "
     "0 or 1.",
     0, 5, 232, Repeat::None},
    {235, Kind::Word, 0x004, Editor::Decimal, 0, 1000, 0x0000, nullptr,
     "Number of rows in the bank",
     "The number of rows of the bank window.",
     0, 5, 232, Repeat::None},
    {236, Kind::Word, 0x004, Editor::Choice, 0, 0, 0x0000, kL21,
     "Row label",
     "How the rows are labelled: with letters (A...), or with numbers starting at 0 "
     "or 1.",
     0, 5, 232, Repeat::None},
    {237, Kind::Word, 0x004, Editor::Flag, 0, 0, 0x0001, kL4,
     "Patches have a name",
     "Set Yes if the patches have a name stored in the patch data.",
     0, 4, 231, Repeat::None},
    {238, Kind::Word, 0x004, Editor::Decimal, 0, 128, 0x0000, nullptr,
     "Number of characters in a patch name",
     "The maximum number of characters of a patch name.",
     0, 4, 231, Repeat::None},
    {239, Kind::Word, 0x004, Editor::Decimal, 0, 32000, 0x0000, nullptr,
     "Offset",
     "Position (in bytes, from the start of the patch) of the first character of the "
     "name.",
     0, 4, 231, Repeat::None},
    {240, Kind::Word, 0x004, Editor::Hex, 0, 255, 0x0000, nullptr,
     "Bit mask",
     "The bits of each byte that hold the character. Usually 7F.",
     0, 4, 231, Repeat::None},
    {241, Kind::Group, 0x004, Editor::None, 0, 0, 0x0000, nullptr,
     "Bit format",
     "",
     0, 4, 231, Repeat::None},
    {242, Kind::Word, 0x004, Editor::Decimal, 0, 6, 0x0000, nullptr,
     "Bit start",
     "The number of the first bit of a character, when the characters are not stored "
     "in whole bytes.",
     0, 5, 241, Repeat::None},
    {243, Kind::Word, 0x004, Editor::Decimal, 0, 6, 0x0000, nullptr,
     "Bit size",
     "The number of bits of a character (0 when the characters are whole bytes).",
     0, 5, 241, Repeat::None},
    {244, Kind::Word, 0x004, Editor::Flag, 0, 0, 0x0002, kL3,
     "ASCII conversion",
     "Set Yes if the characters of the name must be converted through the ASCII "
     "conversion table.",
     0, 4, 231, Repeat::None},
    {245, Kind::Word, 0x004, Editor::Flag, 0, 0, 0x0020, kL3,
     "Prevent renaming of patches",
     "Set Yes if the names of the patches must not be changed by the user.",
     0, 4, 231, Repeat::None},
    {246, Kind::Word, 0x004, Editor::Flag, 0, 0, 0x0010, kL3,
     "Allow only UPPERCASE letters",
     "Set Yes if the device only knows uppercase letters; typed names are then "
     "converted.",
     0, 4, 231, Repeat::None},
    {247, Kind::Word, 0x004, Editor::Flag, 0, 0, 0x0040, kL3,
     "Add 0 after name",
     "Set Yes if a 0 byte must be written after the name.",
     0, 4, 231, Repeat::None},
    {248, Kind::Word, 0x004, Editor::Flag, 0, 0, 0x0008, kL3,
     "Indirect name",
     "Set Yes if the name is not in the patch itself, but in an other patch that it "
     "refers to (eg. a performance that shows the name of its voice).",
     0, 4, 231, Repeat::None},
    {249, Kind::Group, 0x004, Editor::None, 0, 0, 0x0000, nullptr,
     "Indirect name",
     "",
     0, 4, 231, Repeat::None},
    {250, Kind::Word, 0x024, Editor::Decimal, 1, 16, 0x0000, nullptr,
     "Module ID of the named patch",
     "(1 to 16). The memory module that holds the named patches.",
     0, 5, 249, Repeat::None},
    {251, Kind::Word, 0x004, Editor::Decimal, 0, 32000, 0x0000, nullptr,
     "Bank offset",
     "The position of the sub-bank information in the patch.",
     0, 5, 249, Repeat::None},
    {252, Kind::Word, 0x004, Editor::Choice, 0, 0, 0x0000, kL22,
     "Type",
     "Whether the sub-bank information is a byte or a word.",
     0, 5, 249, Repeat::None},
    {253, Kind::Word, 0x004, Editor::Decimal, 0, 32000, 0x0000, nullptr,
     "Patch index offset",
     "The position of the patch index in the patch.",
     0, 5, 249, Repeat::None},
    {254, Kind::Word, 0x004, Editor::Choice, 0, 0, 0x0000, kL22,
     "The index can be a byte or a word",
     "Whether the patch index is a byte or a word.",
     0, 5, 249, Repeat::None},
    {255, Kind::Group, 0x006, Editor::None, 0, 0, 0x0000, nullptr,
     "Sub-bank definitions",
     "The sub-banks of the module and how their patches are selected.",
     0, 3, 119, Repeat::None},
    {256, Kind::Word, 0x004, Editor::Decimal, 1, 16, 0x0000, nullptr,
     "Number of sub-banks",
     "(1 to 16). The number of sub-banks of the module (eg. internal, card and preset "
     "banks).",
     0, 4, 255, Repeat::None},
    {257, Kind::Word, 0x004, Editor::Decimal, 1, 2000, 0x0000, nullptr,
     "Number of patches per sub-bank",
     "The number of patches in each sub-bank.",
     0, 4, 255, Repeat::None},
    {258, Kind::Message, 0x005, Editor::MessageEditor, 0, 40, 0x0000, nullptr,
     "Sub-bank selection message(s)",
     "The message(s) that select a sub-bank when the patch selection of the module is "
     "\"Special\". The tag \"Joker\" is replaced by the bank code of the sub-bank.",
     2017, 4, 255, Repeat::None},
    {259, Kind::Message, 0x005, Editor::MessageEditor, 0, 40, 0x0000, nullptr,
     "Patch selection message(s)",
     "The message(s) that select a patch when the patch selection of the module is "
     "\"Special\". The tag \"Joker\" is replaced by the patch index.",
     2018, 4, 255, Repeat::None},
    {260, Kind::Group, 0x014, Editor::None, 0, 0, 0x0000, nullptr,
     "Sub-bank #%d",
     "The definition of one sub-bank.",
     0, 4, 255, Repeat::SubBanks16},
    {261, Kind::Word, 0x004, Editor::Choice, 0, 0, 0x0000, kL23,
     "Type",
     "The kind of memory of this sub-bank. Patches in ROM can not be dumped; their "
     "names can be given in a list.",
     0, 5, 260, Repeat::None},
    {262, Kind::Text, 0x004, Editor::Text, 0, 0, 0x0000, nullptr,
     "Name",
     "Up to 8 characters",
     0, 5, 260, Repeat::None},
    {263, Kind::Word, 0x004, Editor::Decimal, 0, 2000, 0x0000, nullptr,
     "Number of unused locations",
     "Normally, the total number of patches in a device is contained exactly in the "
     "different sub-banks. However, in some rare case a sub-bank will contain unused "
     "locations. These unvalid locations are at the end.",
     0, 5, 260, Repeat::None},
    {264, Kind::Word, 0x004, Editor::Flag, 0, 0, 0x0001, kL3,
     "Editable ROM patches",
     "Set Yes if the ROM patches can be edited in the device's edit buffer.",
     0, 5, 260, Repeat::None},
    {265, Kind::DialogItem, 0x204, Editor::None, 0, 0, 0x0000, nullptr,
     "ROM patch names",
     "The names of the patches of this ROM sub-bank. Double-click to edit them or to "
     "import them from a file.",
     0, 5, 260, Repeat::None},
    {266, Kind::Group, 0x004, Editor::None, 0, 0, 0x0000, nullptr,
     "Patch selection",
     "",
     0, 5, 260, Repeat::None},
    {267, Kind::Word, 0x004, Editor::Flag, 0, 0, 0x0004, kL4,
     "Selectable patches",
     "Set Yes if the patches of this sub-bank can be selected by MIDI messages.",
     0, 6, 266, Repeat::None},
    {268, Kind::Word, 0x004, Editor::Decimal, 0, 32767, 0x0000, nullptr,
     "Bank code",
     "The \"Joker\" tag in the bank select message (see above), will be replaced by "
     "this value. For example, if the code is 42 for the third sub-bank, then the "
     "value 42 will be set at the \"Joker\" position in the sub-bank select message "
     "when you select a patch in the third sub-bank in the Vantor Module.",
     0, 6, 266, Repeat::None},
    {269, Kind::Word, 0x004, Editor::Decimal, 0, 32767, 0x0000, nullptr,
     "Patch start index",
     "An exemple will speak for itself : if this code equals 32 and the user selects "
     "the 4th patch in a sub-bank (ie the patch with an index of 3), then the "
     "\"Joker\" mark in the patch select message will be replaced by (32+3) = 35.",
     0, 6, 266, Repeat::None},
    {270, Kind::Word, 0x004, Editor::Flag, 0, 0, 0x0002, kL3,
     "Has extra bank code",
     "Set Yes if a second bank code is needed to select this sub-bank.",
     0, 6, 266, Repeat::None},
    {271, Kind::Word, 0x004, Editor::Decimal, 0, 32767, 0x0000, nullptr,
     "Extra bank code",
     "The second code, used when the sub-bank is selected with two bank select values.",
     0, 6, 266, Repeat::None},
    {272, Kind::Group, 0x006, Editor::None, 0, 0, 0x0000, nullptr,
     "Patch handling",
     "How a single patch is sent to the device and written into its memory.",
     0, 2, 105, Repeat::None},
    {273, Kind::Group, 0x005, Editor::None, 0, 0, 0x0000, nullptr,
     "Sysex protocol",
     "",
     0, 3, 272, Repeat::None},
    {274, Kind::Word, 0x004, Editor::Choice, 0, 0, 0x0000, kL14,
     "Sysex dump protocol",
     "Tells whether the device must answer (acknowledge) the messages when a single "
     "patch is sent, and how.",
     2006, 4, 273, Repeat::None},
    {275, Kind::Word, 0x004, Editor::Decimal, 0, 32767, 0x0000, nullptr,
     "Checksum start in packet",
     "The position in the packet where the calculation of the checksum starts, for a "
     "single patch.",
     0, 4, 273, Repeat::None},
    {276, Kind::Group, 0x004, Editor::None, 0, 0, 0x0000, nullptr,
     "Roland packet settings",
     "",
     0, 4, 273, Repeat::None},
    {277, Kind::Word, 0x004, Editor::Flag, 0, 0, 0x0001, kL3,
     "Patches are divided in packets within a bulk dump.",
     "Set Yes if a single patch is sent in several sysex packets (eg. Roland).",
     0, 5, 276, Repeat::None},
    {280, Kind::Word, 0x004, Editor::Decimal, 0, 32000, 0x0000, nullptr,
     "Packet size",
     "The size of the packets of a single patch (data only, without header and "
     "checksum).",
     0, 5, 276, Repeat::None},
    {279, Kind::Word, 0x004, Editor::Decimal, 0, 32000, 0x0000, nullptr,
     "Number of packets",
     "The number of packets of a single patch.",
     0, 5, 276, Repeat::None},
    {278, Kind::Word, 0x004, Editor::Flag, 0, 0, 0x0004, kL3,
     "Use same packet sequence as defined for banks",
     "Set Yes if the packets of a patch follow the packet sequence defined for the "
     "banks.",
     0, 5, 276, Repeat::None},
    {281, Kind::Group, 0x004, Editor::None, 0, 0, 0x0000, nullptr,
     "Variables",
     "",
     0, 4, 273, Repeat::None},
    {282, Kind::Long, 0x004, Editor::Roland7, 0, 0, 0x0000, nullptr,
     "Buffer start address",
     "(Roland 7bit format, hex). The address of the edit buffer of the device.",
     0, 5, 281, Repeat::None},
    {283, Kind::Long, 0x004, Editor::Roland7, 0, 0, 0x0000, nullptr,
     "Buffer start address of part #1",
     "(Roland 7bit format, hex). The address of the first part of the buffer, for "
     "patches made of two parts.",
     0, 5, 281, Repeat::None},
    {284, Kind::Word, 0x004, Editor::Roland7, 0, 0, 0x0000, nullptr,
     "Packet range for one packet",
     "(Roland 7bit format, hex). The address range covered by one packet.",
     0, 5, 281, Repeat::None},
    {285, Kind::Word, 0x004, Editor::Roland7, 0, 0, 0x0000, nullptr,
     "Buffer address range",
     "(Roland 7bit format, hex). The address range of the whole edit buffer.",
     0, 5, 281, Repeat::None},
    {286, Kind::Word, 0x004, Editor::Roland7, 0, 0, 0x0000, nullptr,
     "Length precount",
     "(Roland 7bit format, hex). A value used in the calculation of the length of the "
     "packets. Set 0 if unused.",
     2008, 5, 281, Repeat::None},
    {287, Kind::Group, 0x005, Editor::None, 0, 0, 0x0000, nullptr,
     "Send/Write parameters",
     "",
     0, 3, 272, Repeat::None},
    {288, Kind::Word, 0x004, Editor::Flag, 0, 0, 0x0001, kL3,
     "Device has patch buffer",
     "Set Yes if the device has an edit buffer into which a single patch can be sent, "
     "to be heard without being saved.",
     0, 4, 287, Repeat::None},
    {289, Kind::Word, 0x004, Editor::Decimal, 0, 32000, 0x0000, nullptr,
     "Data size 1",
     "In most cases, this size can be 0. But sometimes a patch is composed of 2 "
     "parts, each one being sent individually (see the bank data structure section). "
     "In that case, you must set the size of the first part in this field, and the "
     "size of the second part in the next field. You can also set a size in this "
     "field if you need to send less data than the full patch data as stored in a "
     "bank. Another case is if the patch has to be transformed before being sent (see "
     "a next section; for example a Yamaha DX7 voice needs 128 bytes in memory, but "
     "is expanded into 155 bytes before being sent). Note: this size only counts "
     "effective data, but no header or checksum.",
     0, 4, 287, Repeat::None},
    {290, Kind::Word, 0x004, Editor::Decimal, 0, 32000, 0x0000, nullptr,
     "Data size 2",
     "The size of the second part of the patch, when a patch is made of two parts.",
     0, 4, 287, Repeat::None},
    {291, Kind::Word, 0x004, Editor::Decimal, 0, 32000, 0x0000, nullptr,
     "Maximum buffer size",
     "This size does not need to be exact, but it must be large enough to contain the "
     "patch to send with its headers. In other words, this is at least the size of "
     "the bulk dump of a single patch.",
     0, 4, 287, Repeat::None},
    {292, Kind::Message, 0x005, Editor::MessageEditor, 0, 40, 0x0000, nullptr,
     "Header #1",
     "The header sent in front of the patch data to the buffer.",
     0, 4, 287, Repeat::None},
    {293, Kind::Message, 0x005, Editor::MessageEditor, 0, 40, 0x0000, nullptr,
     "Header #2",
     "The header sent in front of the second part of the patch.",
     0, 4, 287, Repeat::None},
    {294, Kind::Word, 0x004, Editor::Decimal, 0, 32000, 0x0000, nullptr,
     "Pause after bulk dump",
     "(in milliseconds). The time to wait after the patch has been sent.",
     0, 4, 287, Repeat::None},
    {295, Kind::Group, 0x004, Editor::None, 0, 0, 0x0000, nullptr,
     "Write commands",
     "",
     0, 4, 287, Repeat::None},
    {296, Kind::Word, 0x004, Editor::Choice, 0, 0, 0x0000, kL24,
     "Mode",
     "How a patch is written into the device memory.",
     0, 5, 295, Repeat::None},
    {297, Kind::Message, 0x005, Editor::MessageEditor, 0, 40, 0x0000, nullptr,
     "Header or Write request #1",
     "There are several additional variables that you could use in those messages; "
     "those variable are initialised automatically by the Vantor Module according to "
     "the situation:1) V1 is the patch's sub bank. 2) V2 is the patch's position in "
     "the sub bank (relative to the sub-bank). 3) V3 is the patch's absolute position "
     "in the device memory. Eg. if the patch is at position 5 in sub-bank number 2, "
     "and a sub-bank contains 32 items, then V3 equals 37.",
     0, 5, 295, Repeat::None},
    {298, Kind::Message, 0x005, Editor::MessageEditor, 0, 40, 0x0000, nullptr,
     "Header or Write request #2",
     "The header or write request used for the second part of the patch.",
     0, 5, 295, Repeat::None},
    {299, Kind::Long, 0x004, Editor::Roland7, 0, 0, 0x0000, nullptr,
     "Start address",
     "(Roland 7bit format, hex). The address where the first patch is written.",
     0, 5, 295, Repeat::None},
    {300, Kind::Word, 0x004, Editor::Roland7, 0, 0, 0x0000, nullptr,
     "Address gap",
     "(Roland 7bit format, hex). The address distance between two patches.",
     0, 5, 295, Repeat::None},
    {301, Kind::Word, 0x004, Editor::Decimal, 0, 32767, 0x0000, nullptr,
     "V2/V3 delta",
     "Sometimes a message depends on V2 or V3 (described above) but a value is to be "
     "added to these variables within the message. Set this value here. Most of the "
     "time, this field should be 0.",
     0, 5, 295, Repeat::None},
    {302, Kind::Word, 0x004, Editor::Decimal, 0, 32767, 0x0000, nullptr,
     "Pause after writing",
     "(in milliseconds). The time to wait after a patch has been written.",
     0, 5, 295, Repeat::None},
    {303, Kind::Word, 0x004, Editor::Flag, 0, 0, 0x0002, kL3,
     "Send program change afterwards",
     "Set Yes if a program change must be sent after writing, so that the device "
     "plays the written patch.",
     0, 5, 295, Repeat::None},
    {304, Kind::Group, 0x006, Editor::None, 0, 0, 0x0000, nullptr,
     "Patch format converter",
     "When sending a patch to the MIDI device's buffer, the patch data is simply "
     "taken from the bank memory and sent with its header. But in some rare cases "
     "(eg. Yamaha DX7), the data has to be transformed into an other format before "
     "being sent. This is the purpose of this section.",
     0, 3, 272, Repeat::None},
    {305, Kind::DialogItem, 0x206, Editor::None, 0, 0, 0x0000, nullptr,
     "Converter",
     "The program that converts the patch from the bank format into the format sent "
     "to the device. Double-click to edit it.",
     0, 4, 304, Repeat::None},
    {306, Kind::Group, 0x006, Editor::None, 0, 0, 0x0000, nullptr,
     "Macro editor",
     "This is enabled only if already enabled in the Module global settings",
     0, 3, 272, Repeat::None},
    {307, Kind::DialogItem, 0x206, Editor::None, 0, 0, 0x0000, nullptr,
     "Macros / Parameters",
     "The macros and parameters of the patch editor. Double-click to open the macro "
     "editor builder.",
     0, 4, 306, Repeat::None},
    {0, Kind::Group, 0, Editor::None, 0, 0, 0, nullptr, nullptr, nullptr, 0, 0, 0, Repeat::None},
};

constexpr std::size_t kItemCount = std::size(kItems) - 1;
static_assert(kItemCount == 304);

}  // namespace

std::span<const SettingItem> settingItems() { return {kItems, kItemCount}; }

const SettingItem* findSettingItem(int id) {
    // Indexed by id: the settings tree asks for every row after every edit.
    static const auto byId = [] {
        std::array<const SettingItem*, 512> table{};
        for (const SettingItem* p = kItems; p->id != 0; ++p)
            if (p->id > 0 && static_cast<std::size_t>(p->id) < table.size())
                table[static_cast<std::size_t>(p->id)] = p;
        return table;
    }();
    if (id <= 0 || static_cast<std::size_t>(id) >= byId.size()) return nullptr;
    return byId[static_cast<std::size_t>(id)];
}

}  // namespace sf

namespace sf::schema_detail {

Repeat innerRepeat(const SettingItem& item) {
    // Parents are few levels up; the table is small enough for a walk.
    for (const SettingItem* p = &item; p != nullptr; p = findSettingItem(p->parent)) {
        if (p->repeat != Repeat::None && p->repeat != Repeat::PerModule) return p->repeat;
        if (p->parent == 0) break;
    }
    return Repeat::None;
}

int repeatCount(Repeat r) {
    switch (r) {
        case Repeat::Lines10:
        case Repeat::Packets10:
            return 10;
        case Repeat::LoopSets8:
            return 8;
        case Repeat::SubBanks16:
            return 16;
        case Repeat::PerModule:
            return rec::kModules;
        case Repeat::None:
            break;
    }
    return 1;
}

}  // namespace sf::schema_detail
