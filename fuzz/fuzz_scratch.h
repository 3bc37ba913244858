// A scratch folder for fuzz targets that go through files, removed when the run ends.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "common/utf16.h"

namespace quillet::fuzz {

class Scratch {
 public:
  Scratch() {
    // Memory-backed when the machine has it: every input is written and read back.
    for (const char* base : {"/dev/shm", "/tmp"}) {
      std::string pattern = std::string(base) + "/lexforge-fuzz-XXXXXX";
      if (mkdtemp(pattern.data()) != nullptr) {
        root_ = pattern;
        break;
      }
    }
  }
  ~Scratch() {
    for (const auto& name : created_) std::remove(name.c_str());
    if (!root_.empty()) rmdir(root_.c_str());
  }

  // The full path of `name` in the folder; remembered for removal.
  std::string Path(const std::string& name) {
    std::string path = root_ + "/" + name;
    for (const auto& n : created_) {
      if (n == path) return path;
    }
    created_.push_back(path);
    return path;
  }
  std::u16string U16(const std::string& name) { return FromUtf8(Path(name)); }

  bool Write(const std::string& name, const uint8_t* data, size_t size) {
    FILE* f = std::fopen(Path(name).c_str(), "wb");
    if (f == nullptr) return false;
    const bool ok = std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && ok;
  }
  std::string Read(const std::string& name) {
    std::string bytes;
    FILE* f = std::fopen(Path(name).c_str(), "rb");
    if (f == nullptr) return bytes;
    char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.append(buffer, n);
    std::fclose(f);
    return bytes;
  }

 private:
  std::string root_;
  std::vector<std::string> created_;
};

}  // namespace quillet::fuzz
