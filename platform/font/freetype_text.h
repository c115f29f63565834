// The text service over FreeType and fontconfig, for every host.
#pragma once

// Points gText at the FreeType text service. Faces are loaded on first use.
void InstallFreeTypeText();
// Closes the faces and forgets every cached glyph (the service stays
// installed and loads again when next used).
void ReleaseFreeTypeText();
