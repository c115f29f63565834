// Message boxes. Flags and results use the Windows values that callers pass.
#pragma once
#include <cstdint>

enum : uint32_t {
  MB_OK = 0x0,
  MB_YESNO = 0x4,
  MB_ICONERROR = 0x10,
  MB_ICONQUESTION = 0x20,
  MB_ICONWARNING = 0x30,
  MB_ICONINFORMATION = 0x40,
  MB_DEFBUTTON2 = 0x100,
  MB_TOPMOST = 0x40000,
};
enum : int { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };

struct MessageBoxService {
  // Shows text under caption and waits for the user; returns the button
  // pressed (IDOK, IDYES or IDNO). Cannot fail.
  int (*show)(const char* text, const char* caption, uint32_t flags);
};

extern const MessageBoxService* gMessageBoxes;

inline int MessageBox(const char* text, const char* caption, uint32_t flags) {
  return gMessageBoxes->show(text, caption, flags);
}
