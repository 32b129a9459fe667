#include "app/frame_extensions.h"

#include "app/frame.h"
#include "app/tools.h"
#include "driver/drivertools.h"
#include "instrument/analysiswindow.h"

namespace sf::gui {

void installFrameExtensions(SFFrameWindow& frame) {
    installTools(frame);
    installDriverTools(frame);
    installAnalysis(frame);
}

}  // namespace sf::gui
