#include "platform/help_topics.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

namespace {

bool TopicLine(const std::string& line, int* number) {
  if (line.compare(0, 7, ".topic ") != 0) return false;
  *number = std::atoi(line.c_str() + 7);
  return true;
}

void Trim(std::string* text) {
  size_t end = text->find_last_not_of(" \t\r\n");
  text->erase(end == std::string::npos ? 0 : end + 1);
  size_t begin = text->find_first_not_of(" \t\r\n");
  text->erase(0, begin == std::string::npos ? text->size() : begin);
}

}  // namespace

bool ReadHelpTopic(const char* file, int topic, char* text, size_t capacity) {
  if (capacity == 0) return false;
  text[0] = '\0';
  std::ifstream in(file);
  if (!in) return false;
  std::string line, body;
  bool inside = false, found = false;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    int number = 0;
    if (TopicLine(line, &number)) {
      if (inside) break;
      inside = found = number == topic;
      continue;
    }
    if (inside) body += line + "\n";
  }
  if (!found) return false;
  Trim(&body);
  std::snprintf(text, capacity, "%s", body.c_str());
  return true;
}
