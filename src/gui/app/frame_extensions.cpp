#include "app/frame_extensions.h"

#include "app/frame.h"
#include "app/tools.h"

namespace sf::gui {

void installFrameExtensions(SFFrameWindow& frame) {
    installTools(frame);
}

}  // namespace sf::gui
