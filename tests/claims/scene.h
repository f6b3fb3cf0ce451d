// The claims test's scene and clean file: an emulator script in which every feature of the plugin
// shows, and the example settings file with its switches on, so that nearly every line of it shows
// in that scene.
#pragma once

#include <string>

namespace claims {

// The emulator script: the plugin loaded and started at a night hour, then the star field, the
// shooting stars, the moon through its site, the sky sign's R and star, the plane trails and glows,
// the plane branch and vehicles of the example's models, each at clocks and times where what the
// settings make of it shows.
std::string SceneScript();

// The example file `example` with what switches its lines off turned on: its model sections
// switched on, every sky element and the moon blinking, the plane update patch alternating, point
// lights on with a brightness for one fixed and one custom light. Empty when the example no longer
// holds a line that this changes.
std::string LitFile(const std::string& example);

}  // namespace claims
