// The Qt dialog host: widgets built from a dialog's control table, their
// signals turned into the procedure's messages through the program's queue.
#pragma once

#include "platform/dialog.h"

class QWidget;

// Installs the dialog service and the launch service (browser, programs).
// Needs the Qt host installed first.
void InstallQtDialogHost();

// A dialog built and initialised but not run, for tests to drive: messages
// reach its procedure through QtDispatchDialogMessages.
WindowHandle QtOpenDialog(const DialogTemplate& dialogTemplate, DialogProc procedure, LParam initParam);
// Pumps the toolkit and hands every queued message of an open dialog to its
// procedure; messages of other windows stay queued. Returns how many.
int QtDispatchDialogMessages();
// True, with the code, once the procedure ended the dialog.
bool QtDialogEnded(WindowHandle dialog, intptr_t* code);
void QtCloseDialog(WindowHandle dialog);
QWidget* QtDialogWidget(WindowHandle dialog);
QWidget* QtDialogControl(WindowHandle dialog, int id);
