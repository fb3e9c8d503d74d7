#pragma once

#include "app/mpris/mpris_service.h"

#include <memory>

namespace app {
class FrmFM;
}

namespace mpris {

// The main window's player on the session bus: the calls go through the window's own Play and
// Stop handlers and its Close menu item, and every change of the player or the station list is
// signalled.
std::unique_ptr<Service> serveWindow(app::FrmFM& window);

}  // namespace mpris
