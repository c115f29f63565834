// What the settings dialog's files share among themselves.
#pragma once
#include <cstdint>

#include "patterns/options.h"
#include "patterns/pattern_library.h"
#include "patterns/preset.h"
#include "platform/dialog.h"

// A trackbar bound to a value; reverseBase 0 shows the value itself, else
// the position is reverseBase - value.
struct SliderSpec {
  int id;
  int32_t Preset::*field;
  int minimum, maximum, step, reverseBase;
};
struct SpinSpec {
  int editId, spinId;
  int32_t Preset::*field;
  int minimum, maximum;
};
struct CheckSpec {
  int id;
  int32_t Preset::*field;
};
struct OptionSliderSpec {
  int id;
  int OptionsRec::*field;
  int minimum, maximum, step, reverseBase;
};
struct OptionCheckSpec {
  int id;
  int OptionsRec::*field;
};

int SliderPosition(int reverseBase, int value);
int SliderValue(int reverseBase, int position);
void SetDialogNumber(WindowHandle dialog, int id, uint32_t value);
// The edit's number held to minimum..maximum (empty text reads as 0).
uint32_t GetDialogNumber(WindowHandle dialog, int id, uint32_t minimum, uint32_t maximum);
PatternControlValues PatternValuesOf(const Preset& preset);

// Refills the controls from the selected pattern and, when asked, the
// global options and the pattern list; both dirty flags are cleared.
void LoadControls(WindowHandle dialog, bool globalSection, bool refillList);
void UpdateFrequencyLabel(WindowHandle dialog);
// Saves what changed; false (dialog stays open) when every pattern is set
// to never run.
bool CommitSettings(WindowHandle dialog);

// Help and the about line.
void ShowControlHelp(WindowHandle dialog, int id);
void OpenHelpContents();
void OpenAboutPage();
void SetVersionLabel(WindowHandle dialog);
