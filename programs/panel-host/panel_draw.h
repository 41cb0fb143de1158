// panel_draw.h - draws the panel as the host draws it, the aircraft's
// track seen from above, and the labels of the window around them.
//
// The face is the module's own bitmap; each lamp's picture goes over its
// button when its callback returned 1.0 at the last update (black is
// transparent, as the lamps' image flags ask); the display text is centred
// in its box, in the colour the tick chose, in the element's font as the
// platform finds it (fonts.h).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "programs/panel-host/aircraft.h"
#include "programs/panel-host/fonts.h"
#include "programs/panel-host/image.h"
#include "module_file/module_loader.h"

// The track seen from above is a square picture this many pixels a side.
const int32_t kTrackPictureSize = 480;

// Decodes a DIB as a resource stores it (BITMAPINFOHEADER, palette, pixels):
// 1, 4 and 8 bits with a palette, 24 and 32 bits uncompressed; every read is
// bounded by `size`. False for anything else.
bool DecodeDib(const uint8_t* dib, uint32_t size, Image* image);

struct PanelArt {
    Image     face;
    int32_t   lamp_bitmaps[2] = {0, 0};
    Image     lamps[2];
    Font*     font = nullptr;
    int32_t   font_pixels = 0;
};

// Takes the face and lamp pictures from the loaded module (the attached
// gauge's elements say which numbers) and opens the display's font. False
// with a one-line reason.
bool LoadPanelArt(const LoadedModule& module, PanelArt* art, std::string* problem);
void FreePanelArt(PanelArt* art);

// The panel at the host's last update, at its own size (172 x 78).
void DrawPanel(const PanelArt& art, Image* out);

// Scales by a whole factor, nearest pixel.
void ScaleImage(const Image& in, int32_t factor, Image* out);

// A top view of the track: a 5 m grid, north up, the path from the start
// (green) to the end (red), the aircraft's nose at both ends.
void DrawTrack(const std::vector<TrackPoint>& track, double start_heading, double end_heading,
               const PanelArt* art, Image* out);

// Copies `src` into `dst` with its top left corner at (x, y), clipped.
void Blit(const Image& src, int32_t x, int32_t y, Image* dst);

void FillRect(Image* img, int32_t x, int32_t y, int32_t w, int32_t h, uint32_t rgb);

// Text with its top left corner at (x, y), unsmoothed, in `rgb`; returns
// its width in pixels.
int32_t DrawLabel(Font* font, const std::string& text, uint32_t rgb, int32_t x, int32_t y, Image* dst);
int32_t LabelWidth(Font* font, const std::string& text);

// The aircraft seen from above as it moves: its track so far and its shape
// at its heading, north up, a 5 m grid; the view widens as the track grows.
// With a font, a north arrow and the legends of the grid and the track.
void DrawTopView(const Aircraft& aircraft, int32_t w, int32_t h, Font* font, Image* out);
