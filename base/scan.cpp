#include "base/scan.h"

#include <cctype>
#include <climits>
#include <cstdint>

namespace korvan {
namespace {

bool isBlank(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

std::vector<int> scanNumbers(std::string_view text, std::string_view format) {
    std::vector<int> numbers;
    std::size_t at = 0;
    auto skipBlanks = [&] {
        while (at < text.size() && isBlank(text[at])) {
            ++at;
        }
    };
    for (std::size_t f = 0; f < format.size(); ++f) {
        const char wanted = format[f];
        if (isBlank(wanted)) {
            skipBlanks();
            continue;
        }
        if (wanted == '%' && f + 1 < format.size() && format[f + 1] == 'd') {
            ++f;
            skipBlanks();
            bool negative = false;
            if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
                negative = text[at] == '-';
                ++at;
            }
            if (at >= text.size() || !isDigit(text[at])) {
                return numbers;
            }
            std::int64_t value = 0;
            while (at < text.size() && isDigit(text[at])) {
                value = value * 10 + (text[at] - '0');
                if (value > static_cast<std::int64_t>(INT_MAX) + 1) {
                    value = static_cast<std::int64_t>(INT_MAX) + 1;
                }
                ++at;
            }
            value = negative ? -value : value;
            value = value > INT_MAX ? INT_MAX : value;
            numbers.push_back(static_cast<int>(value));
            continue;
        }
        if (wanted == '%' && f + 1 < format.size() && format[f + 1] == '%') {
            ++f;
        }
        if (at >= text.size() || text[at] != wanted) {
            return numbers;
        }
        ++at;
    }
    return numbers;
}

std::optional<int> leadingInteger(std::string_view text) {
    const auto numbers = scanNumbers(text, "%d");
    return numbers.empty() ? std::nullopt : std::optional<int>(numbers.front());
}

}  // namespace korvan
