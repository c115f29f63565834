// Operating-system services that any real host uses: the real clock and the
// fault guard.
#pragma once

void InstallLinuxServices();
