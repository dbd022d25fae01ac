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

    // UTF-8 in, UTF-8 out: only quotes, backslashes and control characters are escaped.
    static std::string quoted(std::string_view text) {
        std::string out = "\"";
        for (const char c : text) {
            const auto byte = static_cast<unsigned char>(c);
            if (c == '"' || c == '\\') {
                out += '\\';
                out += c;
            } else if (byte < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
                out += escaped;
            } else {
                out += c;
            }
        }
        return out + "\"";
    }

  private:
    JsonObject& raw(std::string_view name, std::string value) {
        members_.emplace_back(std::string(name), std::move(value));
        return *this;
    }
    std::vector<std::pair<std::string, std::string>> members_;
};

}  // namespace korvan::cli
