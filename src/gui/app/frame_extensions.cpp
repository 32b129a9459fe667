#include "app/frame_extensions.h"

#include "app/frame.h"

namespace sf::gui {

void installFrameExtensions(SFFrameWindow& frame) {
    (void)frame;
}

}  // namespace sf::gui
