// fonts.h - the text the platform draws for panel-host into its pictures.
// Everything else is drawn by hand into an Image (panel_draw.cpp), the
// same on every system.
//
// draw_sdl.cpp does it with SDL2_ttf, fontconfig and SDL2_image (Linux);
// draw_gdi.cpp with GDI's fonts and zlib (Windows). Text is unsmoothed, as
// the simulator's own text drawing is: a pixel is the text's colour or
// left alone.
#pragma once

#include <cstdint>
#include <string>

#include "programs/panel-host/image.h"

struct Font;

// A font of the family `family` ("Courier New"; the closest the system
// has) whose lines are `pixels` high. Null with a one-line reason.
Font* OpenFont(const char* family, int32_t pixels, std::string* problem);
// The window's own text: a bold sans-serif font.
Font* OpenLabelFont(int32_t pixels, std::string* problem);
void  SetFontBold(Font* font, bool bold);
void  CloseFont(Font* font);

// The size `text` takes, and the height of the font's glyphs from the top
// of the highest to the foot of the lowest.
void    TextSize(Font* font, const char* text, int32_t* w, int32_t* h);
int32_t FontHeight(Font* font);

// `text` with its top left corner at (x, y), in `rgb` (0x00RRGGBB), only
// inside the box (box_x, box_y, box_w, box_h).
void PaintText(Font* font, const char* text, uint32_t rgb, int32_t x, int32_t y, int32_t box_x, int32_t box_y,
              int32_t box_w, int32_t box_h, Image* dst);
