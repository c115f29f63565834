// Where the settings live in the store, and typed reads and writes of one
// value with the store's rule that a missing, mistyped or wrongly sized value
// reads as its default.
#pragma once
#include <cstdint>

#include "platform/registry.h"

constexpr const char* kMainKeyPath = "Software\\Quillfen\\Prismora";
constexpr const char* kPatternsKeyPath = "Software\\Quillfen\\Prismora\\Patterns";
constexpr const char* kFrequenciesKeyPath = "Software\\Quillfen\\Prismora\\Frequencies";
constexpr const char* kWindowKeyPath = "Software\\Quillfen\\Prismora\\Window";

// Key and value names compare as the store compares them: ASCII case aside.
bool NamesEqualIgnoringCase(const char* a, const char* b);

// The index-th subkey's name, cut to the 31 characters a pattern's name
// holds; false past the last.
bool SubkeyName(HKEY key, uint32_t index, char (&name)[32]);

int32_t ReadDword(HKEY key, const char* name, int32_t fallback);
// Reads text into buffer (capacity bytes, always terminated); fallback when
// the value is missing, not text, or does not fit.
void ReadText(HKEY key, const char* name, char* buffer, uint32_t capacity, const char* fallback);
// Reads exactly size bytes; false (buffer untouched) otherwise.
bool ReadBinary(HKEY key, const char* name, uint8_t* buffer, uint32_t size);

// Each gives the store's result.
long WriteDword(HKEY key, const char* name, int32_t value);
long WriteText(HKEY key, const char* name, const char* text);
long WriteBinary(HKEY key, const char* name, const uint8_t* data, uint32_t size);

// The log line of a save that did not reach the store: the routine, the
// settings file and why. Returns false, the routine's own result.
bool LogSaveFailure(const char* routine, long result);
