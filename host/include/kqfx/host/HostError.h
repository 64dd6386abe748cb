#pragma once

#include <stdexcept>

namespace kqfx::host {

// A failure to load or drive a plug-in, with a message meant for people.
class HostError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace kqfx::host
