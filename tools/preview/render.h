// Paints a picture: the scene the host shows (sky by the time of day, ground, road, skyline,
// vehicles) and over it what the plugin handed the host: sprites with a soft round texture,
// blended additively or by alpha as the render states say, glows as soft discs at their
// projected position and size, point lights as soft pools of light.
//
// Positions on the host's 640x480 reference screen are scaled to the picture's size. Only float
// additions, multiplications, divisions and square roots are used, so that every platform paints
// the same bytes.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/preview/geometry.h"
#include "tools/preview/scene.h"
#include "tools/preview/trace.h"

namespace preview {

// 8-bit RGB, rows top to bottom.
struct Image {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb;
};

// A rectangle of pixels: columns [x0, x1), rows [y0, y1).
struct PixelRect {
  int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
};

class Canvas {
 public:
  Canvas(int width, int height);

  // The host's scene at `hour`:`minute` seen from `camera`, with `vehicles` on the road.
  void PaintScene(const Camera& camera, const std::vector<PlacedVehicle>& vehicles, int hour,
                  int minute);
  // What the plugin handed the host: point lights first, then the sprites in the order drawn,
  // then the glows. Sprites with the depth test on and glows are hidden where the scene is nearer.
  void PaintFrame(const Camera& camera, const TraceFrame& frame);

  Image ToImage() const;
  // The pixels of `rect` converted into `image`, which has the canvas's size.
  void ToImage(const PixelRect& rect, Image& image) const;
  // Takes back the pixels of `rect` from `other`, a canvas of the same size.
  void CopyRect(const Canvas& other, const PixelRect& rect);
  // The rectangles that splats have covered since the last call.
  std::vector<PixelRect> TakeCovered();

  // A soft round splat centred at pixel coordinates (cx, cy) with half extents (rx, ry) pixels.
  // Additive: the colour times the texture is added. Otherwise the colour is laid over the
  // picture with `alpha` times the texture.
  void Splat(float cx, float cy, float rx, float ry, const float colour[3], float alpha,
             bool additive);
  // The scene's depth at a pixel (infinity for the sky, and outside the picture).
  float DepthAt(float x, float y) const;
  const float* Pixel(int x, int y) const {
    return &rgb_[3 * (static_cast<std::size_t>(y) * width_ + x)];
  }

 private:
  void PaintBuilding(const Camera& camera, const Building& building, const float wall[3],
                     const float window[3]);
  void PaintVehicle(const Camera& camera, const PlacedVehicle& vehicle, const float colour[3]);
  float* At(int x, int y) { return &rgb_[3 * (static_cast<std::size_t>(y) * width_ + x)]; }

  int width_, height_;
  float sx_, sy_;           // picture pixels per reference pixel
  std::vector<float> rgb_;  // 0 to 1, may exceed 1 until converted
  std::vector<float> depth_;
  std::vector<PixelRect> covered_;
};

// One picture: the scene and the plugin's frame at `width` x `height`.
Image RenderPicture(const SceneSettings& scene, const TraceFrame& frame, int width, int height);

// Paints the pictures of a clip one after another, each the same pixels as RenderPicture would
// give: the scene is painted once for each game minute, and a frame repaints only where the
// plugin's items of this frame or of the one before lie.
class FrameRenderer {
 public:
  FrameRenderer(const SceneSettings& scene, int width, int height);
  // The picture of `frame` at `minute_of_day`; valid until the next call.
  const Image& Render(int minute_of_day, const TraceFrame& frame);

 private:
  Camera camera_;
  std::vector<PlacedVehicle> vehicles_;
  int width_, height_;
  int minute_ = -1;
  Canvas background_;  // the scene alone
  Image background_image_;
  Canvas canvas_;  // the frame being painted
  Image image_;
  std::vector<PixelRect> covered_;  // by the last frame's items
};

// Writes `text` (digits, ":" and "-") with its top left at (x, y), `scale` pixels per font dot,
// light with a dark shadow.
void DrawLabel(Image& image, int x, int y, int scale, const char* text);

// Tiles laid out in rows of `columns`, `gap` pixels apart on a dark ground. All tiles have the
// size of the first.
Image ContactSheet(const std::vector<Image>& tiles, int columns, int gap);

}  // namespace preview
