// The tools of the Tools and Options menus, plugged into the main window:
// binary documents ("Open binary file..."), "Receive MIDI bulk...",
// "Numeric converter...", "List driver generator...", "MIDI Settings...",
// "&Driver selection list", and the searches across drivers of every
// source view.
#pragma once

#include "sysex/midisystem.h"

namespace sf::gui {

// The MIDI ports chosen in the "MIDI Settings", as the preferences hold them.
MidiPreferences currentMidiPreferences();

class SFFrameWindow;

// Registers the binary document type and connects and enables the
// commands. Call once, right after the main window is made (before the
// preferences are read: they name the document types' sections).
void installTools(SFFrameWindow& frame);

// The commands, as the menu items run them.
void receiveMidiBulk(SFFrameWindow& frame);
void editMidiSettings(SFFrameWindow& frame);
void generateListDriver(SFFrameWindow& frame);
void showDriverList(SFFrameWindow& frame);

}  // namespace sf::gui
