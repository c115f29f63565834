// The diagnostic log and the two message boxes.
#pragma once
#include <string>

// Appends one prefixed line (the caller ends its text with "\n") to the log
// file; silently does nothing when the file cannot be opened.
void LogDebug(const char* format, ...) __attribute__((format(printf, 1, 2)));
// The log file's path: Prismora.txt in the state directory.
std::string LogFilePath();
// Forgets the timing state, so the next line is a first line again, and
// sends message boxes to the screen again.
void ResetLog();
// The log is rotated when it reaches this size: the full file becomes
// Prismora.txt.old (replacing an older one) and a new file is started.
constexpr long kLogRotateBytes = 1024 * 1024;
std::string OldLogFilePath();

// In a host's window nobody can answer a box behind the lock, and it would
// be left on the desktop after unlocking: with this on, ReportError writes
// its text to the log and AskYesNo logs its question and takes the default.
void SendMessageBoxesToLog(bool on);
bool MessageBoxesGoToLog();

// Error box captioned "Prismora"; waits for the user (see SendMessageBoxesToLog).
void ReportError(const char* text);
// Yes/No box captioned "Prismora"; true only for Yes. With defaultYes false
// the No button is the default.
bool AskYesNo(bool defaultYes, const char* text);
