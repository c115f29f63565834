// The Wayland host for running full screen: a window service of its own over
// libwayland-client that covers every output with a surface (a layer-shell
// overlay where the compositor offers it, else a fullscreen xdg toplevel),
// draws frames straight into shared-memory buffers paced by the compositor's
// frame callbacks, and turns the seat's keyboard and pointer into queued
// messages. Message boxes, the dialog and the power service stay the Qt
// host's.
#pragma once
#include <cstdint>

// Connects to the compositor named by WAYLAND_DISPLAY and installs the
// window service and the event source. outputName (nullptr or "" for none)
// names the output the picture goes on; when no output has that name, the
// first one the compositor lists is used. False, with nothing installed and
// the reason logged, when there is no compositor or it offers neither shell.
bool InstallWaylandFullScreen(const char* outputName);

// Disconnects and forgets everything; the services installed stay pointing
// at a host that makes no windows. For tests.
void ResetWaylandHost();

// For tests and the log: how the outputs are covered.
struct WaylandCoverage {
  int outputs = 0;          // outputs the compositor lists
  int covered = 0;          // of those, covered by a configured surface
  bool layerShell = false;  // the surfaces are layer-shell overlays
  int pictureOutputs = 0;   // surfaces that show the picture
};
WaylandCoverage WaylandCoverageNow();
