// The dialog and launch service tables, empty until a host installs them.
#include "platform/dialog.h"
#include "platform/launch.h"

const DialogService* gDialogs = nullptr;
const LaunchService* gLaunch = nullptr;
