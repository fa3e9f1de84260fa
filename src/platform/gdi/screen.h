#pragma once
// The screen as the drawing code sees it. Fixed values by default, so results never depend
// on the machine; tests and the program set what they need.
namespace gdi {

struct Screen {
  int dpiX = 96;  // logical pixels per inch
  int dpiY = 96;
  int width = 1920;  // pixels
  int height = 1080;
  int bitsPerPixel = 32;
  int iconWidth = 32;  // standard icon size
  int iconHeight = 32;
  int smallIconWidth = 16;
  int smallIconHeight = 16;

  int twipsPerPixelX() const { return dpiX > 0 ? 1440 / dpiX : 15; }
  int twipsPerPixelY() const { return dpiY > 0 ? 1440 / dpiY : 15; }
};

const Screen& screen();
void setScreen(const Screen& s);

}  // namespace gdi
