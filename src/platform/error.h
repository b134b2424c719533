// The single error type of the platform layer: it carries the underlying library's own message.
#pragma once

#include <stdexcept>
#include <string>

#include "platform/api.h"

namespace kelvo {

class KELVO_API Error : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Runs `step` and passes over any failure: for steps whose failure the caller may ignore.
template <typename Step>
void Quietly(Step&& step) {
    try {
        step();
    } catch (const std::exception&) {
    }
}

}  // namespace kelvo
