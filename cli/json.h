#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Just enough JSON for korvan-cli's output: one object of named values, written on one line.
namespace korvan::cli {

class JsonObject {
  public:
    JsonObject& text(std::string_view name, std::string_view value) {
        return raw(name, quoted(value));
    }
    JsonObject& number(std::string_view name, double value) {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%.3f", value);
        return raw(name, buffer);
    }
    JsonObject& integer(std::string_view name, long long value) {
        return raw(name, std::to_string(value));
    }
    JsonObject& flag(std::string_view name, bool value) {
        return raw(name, value ? "true" : "false");
    }
    JsonObject& object(std::string_view name, const JsonObject& value) {
        return raw(name, value.str());
    }
    JsonObject& list(std::string_view name, const std::vector<JsonObject>& values) {
        std::string out = "[";
        for (std::size_t i = 0; i < values.size(); ++i) {
            out += (i == 0 ? "" : ",") + values[i].str();
        }
        return raw(name, out + "]");
    }
    std::string str() const {
        std::string out = "{";
        for (std::size_t i = 0; i < members_.size(); ++i) {
            out += (i == 0 ? "" : ",") + quoted(members_[i].first) + ":" + members_[i].second;
        }
        return out + "}";
    }

    // UTF-8 out, whatever comes in: quotes, backslashes and control characters are escaped,
    // and a byte that is not part of valid UTF-8 (a file name in another encoding, say) is
    // written as the text "\xNN" (its backslash escaped), so that every line stays valid JSON.
    static std::string quoted(std::string_view text) {
        std::string out = "\"";
        for (std::size_t i = 0; i < text.size();) {
            const auto byte = static_cast<unsigned char>(text[i]);
            const std::size_t length = validSequence(text.substr(i));
            char escaped[8];
            if (length == 0) {
                // "\\xFF" in the line: a backslash escaped, then "xFF".
                std::snprintf(escaped, sizeof escaped, "\\\\x%02X", byte);
                out += escaped;
                ++i;
                continue;
            }
            if (byte == '"' || byte == '\\') {
                out += '\\';
                out += static_cast<char>(byte);
            } else if (byte < 0x20 || byte == 0x7F) {
                std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
                out += escaped;
            } else {
                out.append(text.substr(i, length));
            }
            i += length;
        }
        return out + "\"";
    }

  private:
    // How many bytes the UTF-8 sequence at the start of `text` has; 0 when it is not valid
    // (a stray or missing continuation byte, an overlong form, a surrogate, beyond U+10FFFF).
    static std::size_t validSequence(std::string_view text) {
        const auto at = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
        const unsigned char lead = at(0);
        if (lead < 0x80) {
            return 1;
        }
        const std::size_t length = lead >= 0xC2 && lead <= 0xDF   ? 2
                                   : lead >= 0xE0 && lead <= 0xEF ? 3
                                   : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                                  : 0;
        if (length == 0 || text.size() < length) {
            return 0;
        }
        for (std::size_t i = 1; i < length; ++i) {
            if ((at(i) & 0xC0) != 0x80) {
                return 0;
            }
        }
        const unsigned char second = at(1);
        if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F) ||
            (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second > 0x8F)) {
            return 0;
        }
        return length;
    }

    JsonObject& raw(std::string_view name, std::string value) {
        members_.emplace_back(std::string(name), std::move(value));
        return *this;
    }
    std::vector<std::pair<std::string, std::string>> members_;
};

}  // namespace korvan::cli
