#include "ui/FileFilter.h"

namespace ui {

std::string FilterBuffer(const std::string& filter)
{
    std::string buffer = filter;
    for (char& c : buffer)
        if (c == '|')
            c = '\0';
    buffer.push_back('\0');
    buffer.push_back('\0');
    return buffer;
}

FilterList ParseFilterBuffer(const std::string& buffer)
{
    FilterList result;
    std::size_t pos = 0;
    auto next = [&]() -> std::string {
        if (pos >= buffer.size())
            return {};
        const std::size_t end = buffer.find('\0', pos);
        std::string item = buffer.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
        pos = end == std::string::npos ? buffer.size() : end + 1;
        return item;
    };
    for (;;) {
        std::string description = next();
        if (description.empty())
            break;
        std::string pattern = next();
        if (pattern.empty())
            break;
        result.emplace_back(std::move(description), std::move(pattern));
    }
    return result;
}

}  // namespace ui
