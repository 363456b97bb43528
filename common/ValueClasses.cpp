#include "common/ValueClasses.h"

#include "common/engine/Error.h"

namespace core {

void cFile::SetFilterIndex(std::int64_t index) {
    if (index < -32768 || index > 32767)
        throw Error(err::Overflow, "Overflow: indice del tipo di file " + std::to_string(index) +
                                       " fuori dell'intervallo da -32768 a 32767.",
                    "cFile.FilterIndex");
    filterIndex_ = static_cast<std::int16_t>(index);
}

}  // namespace core
