#include "features/shooting_stars/shooting_stars.h"

#include "features/shooting_stars/shooting_star_drawing.h"
#include "features/shooting_stars/shooting_star_simulation.h"
#include "plugin/events.h"
#include "plugin/host_guard.h"
#include "plugin/host_interface.h"
#include "settings/convert.h"

ShootingStarSettings ShootingStarConfig;
SpawnSchedule NextSpawn;
ShootingStarList* ShootingStars = nullptr;

void ConvertShootingStarSettings(const SettingsTable& table, ShootingStarSettings& settings) noexcept {
  KeyConverter keys(table);
  keys.Flag("Enable", settings.Enable);
  keys.Int("MinInterval", settings.MinInterval);
  keys.Int("MaxInterval", settings.MaxInterval);
  keys.Int("NumSprites", settings.NumSprites);
  keys.Float("TrailSpacing", settings.TrailSpacing);
  keys.Float("Speed", settings.Speed);
  keys.Float("SpawnDistance", settings.SpawnDistance);
  keys.Float("Lifetime", settings.Lifetime);
  keys.Colour("Color", settings.Color);
  keys.Float("SizeStart", settings.SizeStart);
  keys.Float("SizeEnd", settings.SizeEnd);
  keys.Flag("ZTestEnable", settings.ZTestEnable);
  keys.Int("MinHour", settings.MinHour);
  keys.Int("MaxHour", settings.MaxHour);
  keys.Float("ElevationMin", settings.ElevationMin);
  keys.Float("ElevationMax", settings.ElevationMax);
  keys.Float("DescentMin", settings.DescentMin);
  keys.Float("DescentMax", settings.DescentMax);
  keys.Uint("StartDelay", settings.StartDelay);
}

void LoadShootingStarSettings(ShootingStarSettings& settings) noexcept {
  // Only reading the file can still throw here (out of memory); the defaults stay then.
  plugin::GuardHostCall([&] {
    const SettingsKeys keys(kShootingStarKeys);
    ConvertShootingStarSettings(ReadSettingsSection("ShootingStars", keys), settings);
  });
}

void ReserveShootingStars(const ShootingStarSettings& settings, ShootingStarList& stars) noexcept {
  plugin::GuardHostCall([&] { stars.reserve(ShootingStarCapacity(settings)); });
}

void DrawShootingStars(const ShootingStarSettings& settings, const ShootingStarList& stars) {
  DrawShootingStarsWith<LiveSkyHost>(settings, stars);
}

ShootingStarsManager::ShootingStarsManager() {
  // The scene code at load decides once whether the shooting stars exist at all.
  if (SceneSuppressesSky(HostSceneCode())) return;
  // Room for what the defaults keep alive, should the host update before it starts up.
  ReserveShootingStars(ShootingStarConfig, *ShootingStars);
  StartupEvent += [] {
    LoadShootingStarSettings(ShootingStarConfig);
    ReserveShootingStars(ShootingStarConfig, *ShootingStars);
  };
  UpdateEvent += [] { StepShootingStars(ShootingStarConfig, *ShootingStars, NextSpawn); };
  DrawEvent += [] { DrawShootingStars(ShootingStarConfig, *ShootingStars); };
}
