#pragma once
// How the three runs turn whatever stopped them into the number and text of
// their final message.

#include <string>

namespace core {

struct RunError {
    int number = 0;
    std::string text;
};

// Call only inside a catch block: the exception being handled, as the final
// message gives it. An engine error keeps its number and text; memory
// exhausted is 7, a file-system error 75, anything else 51.
RunError CurrentRunError();

}  // namespace core
