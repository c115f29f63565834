// The pop-up help texts: a text file of topics, each introduced by a line
// ".topic N" and running to the next such line or the end of the file.
#pragma once
#include <cstddef>

// Copies the text of topic into text (trimmed, at most capacity - 1 bytes);
// false when the file cannot be read or has no such topic.
bool ReadHelpTopic(const char* file, int topic, char* text, size_t capacity);
