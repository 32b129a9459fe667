#include "app/frame_extensions.h"

#include "app/frame.h"
#include "app/tools.h"
#include "driver/drivertools.h"

namespace sf::gui {

void installFrameExtensions(SFFrameWindow& frame) {
    installTools(frame);
    installDriverTools(frame);
}

}  // namespace sf::gui
