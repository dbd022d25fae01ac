#include "link/command_buffer.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

namespace korvan {

void CommandBuffer::formatCommand(const char* format, ...) {
    buffer_.fill(0);
    std::va_list arguments;
    va_start(arguments, format);
    const int wanted =
        std::vsnprintf(reinterpret_cast<char*>(buffer_.data()), kCapacity, format, arguments);
    va_end(arguments);
    length_ = wanted < 0 ? 0 : std::min<std::size_t>(static_cast<std::size_t>(wanted), kMaxLength);
    formattedLength_ = length_;
}

void CommandBuffer::appendCommandBytes(std::span<const std::uint8_t> bytes) {
    for (std::uint8_t byte : bytes) {
        if (length_ >= kMaxLength) {
            return;
        }
        buffer_[length_++] = byte;
    }
}

void CommandBuffer::appendCommandBytes(std::string_view text) {
    appendCommandBytes(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

}  // namespace korvan
