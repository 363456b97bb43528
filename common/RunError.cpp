#include "common/RunError.h"

#include <exception>
#include <filesystem>
#include <new>

#include "common/Messages.h"
#include "common/engine/Error.h"

namespace core {

RunError CurrentRunError()
{
    try {
        throw;
    } catch (const Error& e) {
        return {e.Number(), e.Description()};
    } catch (const std::bad_alloc&) {
        return {7, msg::kOutOfMemory};
    } catch (const std::filesystem::filesystem_error& e) {
        return {75, std::string(msg::kPathAccess) + e.what()};
    } catch (const std::exception& e) {
        return {51, std::string(msg::kInternalError) + e.what()};
    } catch (...) {
        return {51, std::string(msg::kInternalError) + "eccezione sconosciuta."};
    }
}

}  // namespace core
