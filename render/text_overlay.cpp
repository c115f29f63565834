// The overlay switches. The text itself is drawn by routines that do not
// exist yet: the calls here keep their place in the frame.
#include "render/text_overlay.h"

#include "patterns/options.h"

TextOverlayRec gTextOverlay;

bool NamesOverlayOn() { return gOptions.ShowNames != 0; }

void DrawEffectsList() {}

void DrawFrameRateText(uint32_t) {}

void ResetTextOverlay() { gTextOverlay = TextOverlayRec{}; }
