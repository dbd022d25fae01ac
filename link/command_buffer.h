#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace korvan {

#if defined(__GNUC__)
#define KORVAN_PRINTF_FORMAT(formatIndex, firstArgument) \
    __attribute__((format(printf, formatIndex, firstArgument)))
#else
#define KORVAN_PRINTF_FORMAT(formatIndex, firstArgument)
#endif

// The one command buffer of a link: what the next sendCommand writes. Text commands are
// formatted into it whole; the two commands that carry a record get the record's bytes, zero
// bytes included, appended after their text.
class CommandBuffer {
  public:
    static constexpr std::size_t kCapacity = 256;
    static constexpr std::size_t kMaxLength = kCapacity - 1;

    // Clears the buffer and formats printf-style into it; a longer result is cut at 255 bytes.
    void formatCommand(const char* format, ...) KORVAN_PRINTF_FORMAT(2, 3);
    // Appends bytes one at a time, stopping once the command holds 255 bytes.
    void appendCommandBytes(std::span<const std::uint8_t> bytes);
    void appendCommandBytes(std::string_view text);

    std::span<const std::uint8_t> bytes() const { return {buffer_.data(), length_}; }
    std::string_view text() const {
        return {reinterpret_cast<const char*>(buffer_.data()), length_};
    }
    std::size_t length() const { return length_; }
    // What formatCommand put in, without the record bytes appended after it.
    std::string_view formatted() const { return text().substr(0, formattedLength_); }

  private:
    std::array<std::uint8_t, kCapacity> buffer_{};
    std::size_t length_ = 0;
    std::size_t formattedLength_ = 0;
};

}  // namespace korvan
