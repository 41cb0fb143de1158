// draw_sdl.cpp - text and PNG files for panel-host on Linux (fonts.h,
// png_files.h): SDL2_ttf renders, fontconfig finds the font files,
// SDL2_image writes and reads PNG.
//
// Needs: SDL2, SDL2_ttf, SDL2_image, fontconfig. Provides:
//   [x] fonts by family name through fontconfig ("Courier New" is
//       Liberation Mono on Debian), bold or not
//   [x] unsmoothed text (a Solid rendering), clipped to a box
//   [x] PNG writing, and reading for the tests (ReadPng)
#include <SDL.h>
#include <SDL_image.h>
#include <SDL_ttf.h>
#include <fontconfig/fontconfig.h>

#include "programs/panel-host/fonts.h"
#include "programs/panel-host/png_files.h"

struct Font { TTF_Font* ttf; };

namespace {

// The file of the best match for a font family, through fontconfig.
std::string FindFontFile(const char* family) {
    std::string file;
    if (!FcInit()) return file;
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(family));
    if (pattern == nullptr) return file;
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    if (match) {
        FcChar8* path = nullptr;
        if (FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch && path)
            file = reinterpret_cast<const char*>(path);
        FcPatternDestroy(match);
    }
    FcPatternDestroy(pattern);
    return file;
}

Font* OpenFile(const std::string& file, int32_t pixels, std::string* problem) {
    if (!TTF_WasInit() && TTF_Init() != 0) {
        *problem = std::string("cannot start the font renderer: ") + TTF_GetError();
        return nullptr;
    }
    TTF_Font* ttf = TTF_OpenFont(file.c_str(), pixels);
    if (ttf == nullptr) {
        *problem = "cannot open the font " + file + ": " + TTF_GetError();
        return nullptr;
    }
    return new Font{ttf};
}

}  // namespace

Font* OpenFont(const char* family, int32_t pixels, std::string* problem) {
    // The display's font is tried at one size after another: look it up once.
    static std::string last_family, last_file;
    if (last_file.empty() || last_family != family) {
        last_family = family;
        last_file = FindFontFile(family);
    }
    if (last_file.empty()) {
        *problem = std::string("no font found for \"") + family + "\" (install fonts-liberation)";
        return nullptr;
    }
    return OpenFile(last_file, pixels, problem);
}

Font* OpenLabelFont(int32_t pixels, std::string* problem) {
    const std::string file = FindFontFile("DejaVu Sans:bold");
    Font* font = file.empty() ? nullptr : OpenFile(file, pixels, problem);
    if (font == nullptr) *problem = "no sans-serif font found for the window's text (install fonts-dejavu-core)";
    return font;
}

void SetFontBold(Font* font, bool bold) {
    if (font) TTF_SetFontStyle(font->ttf, bold ? TTF_STYLE_BOLD : TTF_STYLE_NORMAL);
}

void CloseFont(Font* font) {
    if (font == nullptr) return;
    TTF_CloseFont(font->ttf);
    delete font;
}

void TextSize(Font* font, const char* text, int32_t* w, int32_t* h) {
    int tw = 0, th = 0;
    if (font && text && text[0] != '\0') TTF_SizeUTF8(font->ttf, text, &tw, &th);
    *w = tw;
    *h = th;
}

int32_t FontHeight(Font* font) { return font ? TTF_FontAscent(font->ttf) - TTF_FontDescent(font->ttf) : 0; }

void PaintText(Font* font, const char* text, uint32_t rgb, int32_t x, int32_t y, int32_t box_x, int32_t box_y,
              int32_t box_w, int32_t box_h, Image* dst) {
    if (font == nullptr || text == nullptr || text[0] == '\0') return;
    SDL_Color colour = {Uint8(rgb >> 16), Uint8(rgb >> 8), Uint8(rgb), 255};
    SDL_Surface* s = TTF_RenderUTF8_Solid(font->ttf, text, colour);
    if (s == nullptr) return;
    SDL_LockSurface(s);
    for (int32_t sy = 0; sy < s->h; ++sy) {
        const uint8_t* row = static_cast<const uint8_t*>(s->pixels) + size_t(sy) * s->pitch;
        for (int32_t sx = 0; sx < s->w; ++sx) {
            if (row[sx] == 0) continue;   // index 0 is the background
            const int32_t px = x + sx, py = y + sy;
            if (px < box_x || py < box_y || px >= box_x + box_w || py >= box_y + box_h) continue;
            ImageSet(dst, px, py, rgb);
        }
    }
    SDL_UnlockSurface(s);
    SDL_FreeSurface(s);
}

bool WritePng(const std::string& path, const Image& image, std::string* problem) {
    // The pixels as SDL sees them: 32 bits, 0x00RRGGBB, no alpha.
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(
        const_cast<uint32_t*>(image.px.data()), image.w, image.h, 32, image.w * 4, SDL_PIXELFORMAT_RGB888);
    if (surface == nullptr) {
        *problem = "cannot write " + path + ": " + SDL_GetError();
        return false;
    }
    const bool ok = IMG_SavePNG(surface, path.c_str()) == 0;
    SDL_FreeSurface(surface);
    if (!ok) *problem = "cannot write " + path + ": " + IMG_GetError();
    return ok;
}

bool ReadPng(const std::string& path, Image* image) {
    SDL_Surface* loaded = IMG_Load(path.c_str());
    if (loaded == nullptr) return false;
    SDL_Surface* rgb = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_RGB888, 0);
    SDL_FreeSurface(loaded);
    if (rgb == nullptr) return false;
    ImageResize(image, rgb->w, rgb->h, 0);
    SDL_LockSurface(rgb);
    for (int32_t y = 0; y < rgb->h; ++y) {
        const uint32_t* row = reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(rgb->pixels) + size_t(y) * rgb->pitch);
        for (int32_t x = 0; x < rgb->w; ++x) image->px[size_t(y) * image->w + x] = row[x] & 0xFFFFFFu;
    }
    SDL_UnlockSurface(rgb);
    SDL_FreeSurface(rgb);
    return true;
}
