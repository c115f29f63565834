// Direct reads and writes of the settings store, for tests that prepare or
// inspect what the program stores.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

std::string PatternPath(const std::string& name);
void StoreDword(const std::string& path, const char* name, int32_t value);
void StoreText(const std::string& path, const char* name, const char* text);
void StoreBinary(const std::string& path, const char* name, const std::vector<uint8_t>& data);
// -999999 when the value is missing or not a DWORD.
int32_t StoredDword(const std::string& path, const char* name);
// "<missing>" when the value is missing or not text.
std::string StoredText(const std::string& path, const char* name);
// 0 when missing.
uint32_t StoredBinarySize(const std::string& path, const char* name);
bool KeyExists(const std::string& path);
// In the store's order; "" stands for the default value.
std::vector<std::string> ValueNames(const std::string& path);
