#!/usr/bin/env bash
# The example settings file must do exactly what no settings file does: a night in the emulated
# host, with a vehicle of every model the example names on the road, gives the same trace with
# the example as the game folder's Nightglass.ini as with an empty game folder.
# Usage: example_defaults.sh HOSTSIM PLUGIN EXAMPLES_FOLDER
set -u
hostsim=$1 plugin=$2 examples=$3
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir "$scratch/empty"

models=$(sed -n 's/^ *Model *= *\([-0-9]*\).*/\1/p' "$examples/Nightglass.ini")
if [ -z "$models" ]; then
  echo "no vehicle models in $examples/Nightglass.ini"
  exit 1
fi
{
  echo "camera 5 -3 25 -0.87915 -0.42879 0.20791 -0.43837 0.89879 0"
  echo "pool 8"
  slot=0
  for model in $models; do
    echo "vehicle $slot $model -$((60 + 30 * slot)) -30 0"
    slot=$((slot + 1))
  done
  echo "clock 19 0"
  echo "load"
  echo "startup"
  # The bytes that settings write into the host: the sky sign's hours and the plane branches. (The
  # patched calls point into the plugin, which is loaded at another address each run.)
  dumps() {
    for address in 0x53FF09 0x53FF12 0x53FF26 0x53FF2F 0x53FF46; do echo "dump $address 1"; done
    echo "dump 0x5B1D85 2"
    echo "dump 0x5B1DA7 2"
  }
  dumps
  # Every fade and window edge of the stars, the shooting stars, the sky sign and the vehicle
  # lights, at timers that catch blinks lit and dark; past 110 s the plane update would have
  # switched if it were not permanent.
  time=1000
  for clock in "19 0" "20 0" "20 45" "21 0" "21 30" "22 0" "22 30" "23 0" "1 0" "4 30" "5 0" \
               "5 30" "6 0" "6 30" "7 0" "12 0"; do
    for step in 0 350; do
      time=$((time + 7000 + step))
      echo "clock $clock"
      echo "time $time"
      echo "frame 2 16"
      echo "moon 320 100 4000 12 12 235 235 215 255 0.00025 255"
      echo "logo-r 300 200 1800 3 3 255 255 255 255 0.00055 255"
      echo "logo-star 310 195 1800 3 3 255 255 255 255 0.00055 255"
      for site in 1 2 3 4 5 6; do echo "trail $site -400 -300 200"; done
      for site in 1 2 3 4; do echo "plane-glow $site $site -390 -310 205 0"; done
    done
  done
  echo "time 200000"
  echo "frame 3 16"
  dumps
} > "$scratch/night.script"

run() {
  "$hostsim" --plugin "$plugin" --dir "$1" "$scratch/night.script" > "$2"
}
run "$examples" "$scratch/example.trace" || { echo "the emulated host failed with the example"; exit 1; }
run "$scratch/empty" "$scratch/defaults.trace" || { echo "the emulated host failed without settings"; exit 1; }
lines=$(wc -l < "$scratch/defaults.trace")
if ! diff -u "$scratch/defaults.trace" "$scratch/example.trace" | head -40; then
  :
fi
if cmp -s "$scratch/defaults.trace" "$scratch/example.trace"; then
  echo "the example gives the defaults' trace ($lines lines)"
else
  echo "the example's trace differs from the defaults' (first differences above)"
  exit 1
fi
