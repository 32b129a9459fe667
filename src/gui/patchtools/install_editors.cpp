#include "patchtools/install_editors.h"

#include "source/value_editors.h"

namespace sf::gui {

void installValueEditors() {}

}  // namespace sf::gui
