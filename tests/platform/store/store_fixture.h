// A registry store opened on a fresh temporary directory for each test, and
// short ways to reach it by path.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/registry.h"

class StoreTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  const std::string& Dir() const { return dir_; }
  std::string FilePath() const { return dir_ + "/settings.reg"; }

 private:
  std::string dir_;
};

std::vector<uint8_t> Bytes(const std::string& s);
std::string ReadText(const std::string& path);
// Writes over path in place, as an editor that keeps the file would.
void WriteText(const std::string& path, const std::string& text);
// Replaces path by a new file, as another writer of the store does.
void ReplaceText(const std::string& path, const std::string& text);
// The names in dir, sorted.
std::vector<std::string> DirectoryEntries(const std::string& dir);

// Creates the key below HKEY_CURRENT_USER as needed and stores the value.
long SetValue(const std::string& path, const char* name, uint32_t type, const std::vector<uint8_t>& data);
long SetDword(const std::string& path, const char* name, uint32_t value);
// A value's type and bytes, as RegQueryValueEx gives them.
long GetValue(const std::string& path, const char* name, uint32_t* type, std::vector<uint8_t>* data);
// Every key and value below HKEY_CURRENT_USER, one line each, in
// enumeration order, read through the registry calls.
std::string DumpTree();
