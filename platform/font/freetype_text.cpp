// The text service over FreeType, with faces found through fontconfig
// ("Arial" is Liberation Sans on Debian). It needs no display, so the
// headless render command draws exactly what the screen shows. Glyphs are
// hinted, rendered to 8-bit coverage once and kept, so steady frames only
// blend cached coverage and allocate nothing.
#include "platform/font/freetype_text.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/text.h"

namespace {

struct GlyphRec {
  int32_t advance = 0;  // pixels
  bool rendered = false;
  int32_t left = 0, top = 0;  // bitmap offset from the pen on the baseline (top: up)
  uint32_t width = 0, rows = 0;
  std::vector<uint8_t> coverage;  // width x rows, 0..255
};

struct SizeRec {
  int32_t ascent = 0, descent = 0;  // pixels, both positive
};

struct FaceRec {
  std::string family;
  int bold = 0;
  FT_Face face = nullptr;  // nullptr: nothing could be loaded
  uint32_t activeHeight = 0;
};

struct FontTextRec {
  FT_Library library = nullptr;
  bool libraryFailed = false;
  std::vector<FaceRec> faces;
  std::unordered_map<uint64_t, GlyphRec> glyphs;  // by face, height and character
  std::unordered_map<uint64_t, SizeRec> sizes;    // by face and height
};

FontTextRec* gFontText = nullptr;

// The font file fontconfig picks for family and weight; "" for none.
std::string MatchFontFile(const char* family, int bold) {
  std::string file;
  if (!FcInit()) return file;
  FcPattern* pattern = FcPatternCreate();
  if (!pattern) return file;
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
  FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ROMAN);
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
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

// The index of the face for font, loading it on first use; -1 when no face
// can be had.
int FaceIndex(const TextFontRec& font) {
  if (!gFontText) gFontText = new FontTextRec;
  FontTextRec& t = *gFontText;
  int bold = font.bold ? 1 : 0;
  const char* family = font.face ? font.face : "Arial";
  for (size_t i = 0; i < t.faces.size(); ++i)
    if (t.faces[i].bold == bold && t.faces[i].family == family) return t.faces[i].face ? int(i) : -1;
  FaceRec rec;
  rec.family = family;
  rec.bold = bold;
  if (!t.library && !t.libraryFailed && FT_Init_FreeType(&t.library) != 0) {
    t.library = nullptr;
    t.libraryFailed = true;
  }
  if (t.library) {
    std::string file = MatchFontFile(family, bold);
    if (!file.empty() && FT_New_Face(t.library, file.c_str(), 0, &rec.face) != 0) rec.face = nullptr;
  }
  t.faces.push_back(rec);
  return rec.face ? int(t.faces.size() - 1) : -1;
}

// Heights above this are drawn at this size: a line of text taller than
// any screen has no use, and the cache keys keep 16 bits for it.
constexpr uint32_t kMaxPixelHeight = 4096;

uint32_t ClampedHeight(uint32_t height) {
  if (height < 1) return 1;
  return height > kMaxPixelHeight ? kMaxPixelHeight : height;
}

bool ActivateSize(FaceRec& face, uint32_t height) {
  if (face.activeHeight == height) return true;
  if (FT_Set_Pixel_Sizes(face.face, 0, height) != 0) return false;
  face.activeHeight = height;
  return true;
}

const SizeRec* SizeOf(int faceIndex, uint32_t height) {
  uint64_t key = uint64_t(faceIndex) << 16 | height;
  auto found = gFontText->sizes.find(key);
  if (found != gFontText->sizes.end()) return &found->second;
  FaceRec& face = gFontText->faces[size_t(faceIndex)];
  if (!ActivateSize(face, height)) return nullptr;
  SizeRec size;
  // 26.6 fixed point, rounded outward as a line box is.
  size.ascent = int32_t((face.face->size->metrics.ascender + 63) >> 6);
  size.descent = int32_t((-face.face->size->metrics.descender + 63) >> 6);
  return &gFontText->sizes.emplace(key, size).first->second;
}

GlyphRec* GlyphOf(int faceIndex, uint32_t height, unsigned char c, bool needBitmap);

// A size's first use renders every printable ASCII character, so that
// text that changes from frame to frame (the frame rate) never meets an
// uncached glyph, and so never allocates, once the size is in use.
const SizeRec* WarmSizeOf(int faceIndex, uint32_t height) {
  uint64_t key = uint64_t(faceIndex) << 16 | height;
  if (gFontText->sizes.count(key)) return &gFontText->sizes.find(key)->second;
  const SizeRec* size = SizeOf(faceIndex, height);
  if (!size) return nullptr;
  for (unsigned char c = 32; c < 127; ++c) GlyphOf(faceIndex, height, c, true);
  return size;
}

GlyphRec* GlyphOf(int faceIndex, uint32_t height, unsigned char c, bool needBitmap) {
  uint64_t key = uint64_t(faceIndex) << 24 | uint64_t(height) << 8 | c;
  auto found = gFontText->glyphs.find(key);
  GlyphRec* glyph = found != gFontText->glyphs.end() ? &found->second : nullptr;
  if (glyph && (glyph->rendered || !needBitmap)) return glyph;
  FaceRec& face = gFontText->faces[size_t(faceIndex)];
  if (!ActivateSize(face, height)) return nullptr;
  // Text arrives as Latin-1 bytes, whose values are their code points.
  FT_UInt index = FT_Get_Char_Index(face.face, FT_ULong(c));
  if (FT_Load_Glyph(face.face, index, FT_LOAD_DEFAULT) != 0) return nullptr;
  if (!glyph) glyph = &gFontText->glyphs.emplace(key, GlyphRec{}).first->second;
  FT_GlyphSlot slot = face.face->glyph;
  glyph->advance = int32_t((slot->advance.x + 32) >> 6);
  if (!needBitmap) return glyph;
  if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0) return nullptr;
  const FT_Bitmap& bitmap = slot->bitmap;
  glyph->left = slot->bitmap_left;
  glyph->top = slot->bitmap_top;
  glyph->width = bitmap.width;
  glyph->rows = bitmap.rows;
  glyph->coverage.assign(size_t(bitmap.width) * bitmap.rows, 0);
  for (uint32_t row = 0; row < bitmap.rows; ++row) {
    const uint8_t* in = bitmap.buffer + ptrdiff_t(row) * bitmap.pitch;
    if (bitmap.pixel_mode == FT_PIXEL_MODE_GRAY) {
      std::memcpy(glyph->coverage.data() + size_t(row) * bitmap.width, in, bitmap.width);
    } else if (bitmap.pixel_mode == FT_PIXEL_MODE_MONO) {
      for (uint32_t x = 0; x < bitmap.width; ++x)
        glyph->coverage[size_t(row) * bitmap.width + x] = (in[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0;
    }
  }
  glyph->rendered = true;
  return glyph;
}

bool FreeTypeMeasure(const TextFontRec& font, const char* text, uint32_t* width, uint32_t* height) {
  *width = 0;
  *height = 0;
  int faceIndex = FaceIndex(font);
  if (faceIndex < 0) return false;
  uint32_t pixelHeight = ClampedHeight(font.pixelHeight);
  const SizeRec* size = WarmSizeOf(faceIndex, pixelHeight);
  if (!size) return false;
  int64_t total = 0;
  for (const unsigned char* c = reinterpret_cast<const unsigned char*>(text); c && *c; ++c) {
    const GlyphRec* glyph = GlyphOf(faceIndex, pixelHeight, *c, false);
    if (glyph) total += glyph->advance;
  }
  *width = total > 0 ? uint32_t(total) : 0;
  *height = uint32_t(size->ascent + size->descent);
  return true;
}

// c over background, weighted by coverage a (0..255), rounded.
inline uint32_t Mix(uint32_t background, uint32_t c, uint32_t a) {
  return (background * (255 - a) + c * a + 127) / 255;
}

void BlendPixel(uint8_t* p, uint32_t bitsPerPixel, uint8_t red, uint8_t green, uint8_t blue, uint32_t a) {
  if (bitsPerPixel == 16) {
    uint32_t v = uint32_t(p[0]) | uint32_t(p[1]) << 8;
    // The 5- and 6-bit channels widened to 8 bits, mixed, and narrowed back.
    uint32_t r = (v >> 11) & 0x1F, g = (v >> 5) & 0x3F, b = v & 0x1F;
    r = Mix((r << 3) | (r >> 2), red, a) >> 3;
    g = Mix((g << 2) | (g >> 4), green, a) >> 2;
    b = Mix((b << 3) | (b >> 2), blue, a) >> 3;
    v = r << 11 | g << 5 | b;
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    return;
  }
  p[0] = uint8_t(Mix(p[0], blue, a));
  p[1] = uint8_t(Mix(p[1], green, a));
  p[2] = uint8_t(Mix(p[2], red, a));
}

void FreeTypeDraw(const TextFontRec& font, const char* text, int32_t x, int32_t y, uint8_t red, uint8_t green,
                  uint8_t blue, const TextTargetRec& target) {
  int faceIndex = FaceIndex(font);
  if (faceIndex < 0 || !target.pixels || !text) return;
  uint32_t bitsPerPixel = target.bitsPerPixel;
  if (bitsPerPixel != 16 && bitsPerPixel != 24 && bitsPerPixel != 32) return;
  uint32_t bytesPerPixel = bitsPerPixel / 8;
  uint32_t pixelHeight = ClampedHeight(font.pixelHeight);
  const SizeRec* size = WarmSizeOf(faceIndex, pixelHeight);
  if (!size) return;
  int64_t pen = x;
  int64_t baseline = int64_t(y) + size->ascent;
  for (const unsigned char* c = reinterpret_cast<const unsigned char*>(text); *c; ++c) {
    const GlyphRec* glyph = GlyphOf(faceIndex, pixelHeight, *c, true);
    if (!glyph) continue;
    int64_t left = pen + glyph->left;
    int64_t top = baseline - glyph->top;
    pen += glyph->advance;
    // Advances are never negative: past the clip, the rest is past it too.
    if (left >= int64_t(target.clipRight) + pixelHeight) break;
    for (uint32_t row = 0; row < glyph->rows; ++row) {
      int64_t py = top + row;
      if (py < target.clipTop || py >= target.clipBottom) continue;
      const uint8_t* coverage = glyph->coverage.data() + size_t(row) * glyph->width;
      uint8_t* line = target.pixels + size_t(py) * target.pitch;
      for (uint32_t column = 0; column < glyph->width; ++column) {
        uint32_t a = coverage[column];
        if (a == 0) continue;
        int64_t px = left + column;
        if (px < target.clipLeft || px >= target.clipRight) continue;
        BlendPixel(line + size_t(px) * bytesPerPixel, bitsPerPixel, red, green, blue, a);
      }
    }
  }
}

const TextService kFreeTypeText = {FreeTypeMeasure, FreeTypeDraw};

}  // namespace

void InstallFreeTypeText() { gText = &kFreeTypeText; }

void ReleaseFreeTypeText() {
  if (!gFontText) return;
  for (FaceRec& face : gFontText->faces)
    if (face.face) FT_Done_Face(face.face);
  if (gFontText->library) FT_Done_FreeType(gFontText->library);
  delete gFontText;
  gFontText = nullptr;
}
