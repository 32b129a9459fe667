// The one place where the parts of the editor that live outside the frame
// plug into it at start-up: document types (binary files), the commands of
// the Tools and Options menus, the driver selection list.
//
// Add one call per feature to installFrameExtensions (frame_extensions.cpp).
// It runs once the main window exists and before the preferences are read,
// so that a document type registered here gets its "Doc<name>" section; read
// the preferences when a command runs, not while installing.
#pragma once

namespace sf::gui {

class SFFrameWindow;

void installFrameExtensions(SFFrameWindow& frame);

}  // namespace sf::gui
