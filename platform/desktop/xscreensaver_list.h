// Prismora's entry in a user's XScreenSaver list: the `programs:` resource
// of ~/.xscreensaver, one hack a line, lines joined by backslashes. The text
// routines change only the lines they must; the file routine reads and
// writes the user's file.
#pragma once
#include <string>

enum class ListEdit {
  Changed,    // the text given back differs
  Unchanged,  // there was nothing to do
  NoList,     // no `programs:` resource, and no defaults to start one from
};

// Adds "prismora --root" at the top of the list in text (a ~/.xscreensaver
// file, "" when the user has none). Without a list there, the system's
// (the `*programs:` resource of defaults, an app-defaults file) is copied
// in first, so the stock hacks stay. A list already naming prismora, even
// switched off, is left as it is.
ListEdit AddPrismoraToList(const std::string& text, const std::string& defaults, std::string* out);
// Takes every line naming prismora out of the list.
ListEdit RemovePrismoraFromList(const std::string& text, std::string* out);

// Edits ~/.xscreensaver ($HOME's) in place, atomically, starting a new file
// from appDefaults when the user has none. Tells the user what it did on
// standard output, or why it could not on standard error; the exit code.
int EditXScreenSaverList(bool add, const char* appDefaults = "/etc/X11/app-defaults/XScreenSaver");
