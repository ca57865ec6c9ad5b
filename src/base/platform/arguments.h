// A program's arguments as main receives them, made UTF-8 texts on every system.
#pragma once

#include <string>
#include <vector>

#include "base/platform/paths.h"

namespace kolt::platform {

// Turns main's `argc` and `argv` into UTF-8 texts (read as commandLineArguments does), for as long
// as it lives, for a program that reads its arguments as main hands them over:
//   const kolt::platform::Utf8Argv utf8Argv(argc, argv);
class Utf8Argv {
 public:
  Utf8Argv(int& argc, char**& argv) : texts_(commandLineArguments(argc, argv)) {
    texts_.insert(texts_.begin(), argc > 0 ? argv[0] : "");
    for (auto& text : texts_) pointers_.push_back(text.data());
    pointers_.push_back(nullptr);
    argc = static_cast<int>(texts_.size());
    argv = pointers_.data();
  }
  Utf8Argv(const Utf8Argv&) = delete;
  Utf8Argv& operator=(const Utf8Argv&) = delete;

 private:
  std::vector<std::string> texts_;
  std::vector<char*> pointers_;
};

}  // namespace kolt::platform
