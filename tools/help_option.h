// Every tool answers --help (or -h, --ayuda) with its usage on standard output and exit status 0,
// before it reads any other argument: a tool that takes a file name must never take "--help" for
// one.
#pragma once

#include <cstdio>
#include <string_view>

namespace kolt::tools {

inline bool asksForHelp(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view a = argv[i];
    if (a == "--help" || a == "-h" || a == "--ayuda") return true;
  }
  return false;
}

inline int printHelp(const char* text) {
  std::fputs(text, stdout);
  return 0;
}

}  // namespace kolt::tools
