// The diagnostic log and the two message boxes.
#pragma once
#include <string>

// Appends one prefixed line (the caller ends its text with "\n") to the log
// file; silently does nothing when the file cannot be opened.
void LogDebug(const char* format, ...) __attribute__((format(printf, 1, 2)));
// The log file's path: Prismora.txt in the state directory.
std::string LogFilePath();
// Forgets the timing state, so the next line is a first line again.
void ResetLog();

// Error box captioned "Prismora"; waits for the user.
void ReportError(const char* text);
// Yes/No box captioned "Prismora"; true only for Yes. With defaultYes false
// the No button is the default.
bool AskYesNo(bool defaultYes, const char* text);
