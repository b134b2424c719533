// The single error type of the platform layer: it carries the underlying library's own message.
#pragma once

#include <stdexcept>
#include <string>

namespace kelvo {

class Error : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

}  // namespace kelvo
