#include "common/engine/Error.h"

namespace core {

Error::Error(int number, std::string description, std::string source, std::string nativeText,
             bool uncommittedLost)
    : std::runtime_error(description),
      number_(number),
      description_(std::move(description)),
      source_(std::move(source)),
      nativeText_(std::move(nativeText)),
      uncommittedLost_(uncommittedLost) {}

}  // namespace core
