// The star field feature: its one program-wide instance registers the settings loader at start-up
// and the drawing on every frame.
#pragma once

// Registers nothing and creates no StarField when the scene code suppresses the sky at load;
// otherwise creates StarField before it registers.
class CustomStarsPlugin {
 public:
  CustomStarsPlugin();
};
