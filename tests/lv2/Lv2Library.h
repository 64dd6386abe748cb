#pragma once
// One LV2 shared object of the bundle, opened as a host opens it, with its
// descriptor. Test helper.

#include <dlfcn.h>
#include <lv2/core/lv2.h>

#include <stdexcept>
#include <string>

class Lv2Library {
 public:
  explicit Lv2Library(const std::string& path) : handle_(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {
    if (handle_ == nullptr) throw std::runtime_error("cannot open " + path);
    auto entry = reinterpret_cast<LV2_Descriptor_Function>(dlsym(handle_, "lv2_descriptor"));
    if (entry == nullptr) throw std::runtime_error(path + " has no lv2_descriptor");
    entry_ = entry;
  }
  ~Lv2Library() { dlclose(handle_); }
  Lv2Library(const Lv2Library&) = delete;
  Lv2Library& operator=(const Lv2Library&) = delete;

  const LV2_Descriptor* descriptor(uint32_t index) const { return entry_(index); }

 private:
  void* handle_;
  LV2_Descriptor_Function entry_ = nullptr;
};
