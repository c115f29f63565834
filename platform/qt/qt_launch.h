// Starting programs and opening pages in the user's browser, through Qt.
#pragma once

void InstallQtLaunchService();
