#include "app/frame_extensions.h"

#include "app/frame.h"
#include "app/tools.h"
#include "driver/drivertools.h"
#include "instrument/analysiswindow.h"
#include "instrument/instrumentcommands.h"

namespace sf::gui {

void installFrameExtensions(SFFrameWindow& frame) {
    installTools(frame);
    installDriverTools(frame);
    installAnalysis(frame);
    installInstrument(frame);
}

}  // namespace sf::gui
