#include "settings/profile_file.h"

#include <charconv>
#include <cstdint>

#include "base/file_io.h"

namespace korvan {
namespace {

constexpr std::string_view kBlanks = " \t";

std::string_view trim(std::string_view text) {
    const auto first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(kBlanks);
    return text.substr(first, last - first + 1);
}

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

bool isQuote(char c) {
    return c == '"' || c == '\'';
}

bool enclosedInQuotes(std::string_view value) {
    return value.size() >= 2 && isQuote(value.front()) && value.front() == value.back();
}

// The section named on a line such as "[NET]", or nothing.
std::optional<std::string_view> sectionOf(std::string_view line) {
    line = trim(line);
    if (line.empty() || line.front() != '[') {
        return std::nullopt;
    }
    const auto close = line.find(']');
    if (close == std::string_view::npos) {
        return std::nullopt;
    }
    return trim(line.substr(1, close - 1));
}

struct KeyLine {
    std::string_view key;
    std::string_view value;
};

std::optional<KeyLine> keyOf(std::string_view line) {
    const auto equals = line.find('=');
    if (equals == std::string_view::npos) {
        return std::nullopt;
    }
    return KeyLine{trim(line.substr(0, equals)), trim(line.substr(equals + 1))};
}

// The stored form of a value: quoted when the reader would otherwise trim or unquote it. Line
// breaks cannot be stored in a line and would make keys of their own, so they are left out.
std::string storedForm(std::string_view value) {
    std::string clean;
    clean.reserve(value.size());
    for (char c : value) {
        if (c != '\r' && c != '\n') {
            clean += c;
        }
    }
    const bool needsQuotes = !clean.empty() && (kBlanks.find(clean.front()) != std::string::npos ||
                                                kBlanks.find(clean.back()) != std::string::npos ||
                                                enclosedInQuotes(clean));
    return needsQuotes ? '"' + clean + '"' : clean;
}

}  // namespace

ProfileFile ProfileFile::parse(std::string_view bytes) {
    ProfileFile file;
    if (bytes.empty()) {
        return file;
    }
    const auto firstBreak = bytes.find('\n');
    if (firstBreak != std::string_view::npos &&
        (firstBreak == 0 || bytes[firstBreak - 1] != '\r')) {
        file.lineEnding_ = "\n";
    }
    for (auto line : SplitLines(bytes)) {
        file.lines_.emplace_back(line);
    }
    return file;
}

std::optional<std::string> ProfileFile::read(std::string_view section, std::string_view key) const {
    bool inSection = false;
    bool sectionSeen = false;
    for (const auto& line : lines_) {
        if (auto name = sectionOf(line)) {
            if (inSection) {
                return std::nullopt;  // only the first section of that name counts
            }
            inSection = !sectionSeen && sameName(*name, section);
            sectionSeen = sectionSeen || inSection;
            continue;
        }
        if (!inSection) {
            continue;
        }
        auto entry = keyOf(line);
        if (!entry || !sameName(entry->key, key)) {
            continue;
        }
        auto value = entry->value;
        if (enclosedInQuotes(value)) {
            value = value.substr(1, value.size() - 2);
        }
        return std::string(value.substr(0, kValueLimit));
    }
    return std::nullopt;
}

void ProfileFile::write(std::string_view section, std::string_view key, std::string_view value) {
    const std::string stored = storedForm(value);
    std::optional<std::size_t> sectionLine;
    std::size_t insertAt = lines_.size();
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (auto name = sectionOf(lines_[i])) {
            if (sectionLine) {
                break;
            }
            if (sameName(*name, section)) {
                sectionLine = i;
                insertAt = i + 1;
            }
            continue;
        }
        if (!sectionLine) {
            continue;
        }
        if (auto entry = keyOf(lines_[i]); entry && sameName(entry->key, key)) {
            lines_[i] = std::string(entry->key) + '=' + stored;
            return;
        }
        if (!trim(lines_[i]).empty()) {
            insertAt = i + 1;  // new keys go after the section's last line, before blank ones
        }
    }
    const std::string keyLine = std::string(key) + '=' + stored;
    if (sectionLine) {
        lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insertAt), keyLine);
        return;
    }
    if (!lines_.empty() && !trim(lines_.back()).empty()) {
        lines_.emplace_back();
    }
    lines_.push_back('[' + std::string(section) + ']');
    lines_.push_back(keyLine);
}

std::string ProfileFile::serialize() const {
    std::string bytes;
    for (const auto& line : lines_) {
        bytes += line;
        bytes += lineEnding_;
    }
    return bytes;
}

std::optional<int> parseProfileInteger(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    int base = 10;
    if (!text.empty() && text.front() == '$') {
        base = 16;
        text.remove_prefix(1);
    } else if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty() || text.front() == '-' || text.front() == '+') {
        return std::nullopt;
    }
    std::int64_t magnitude = 0;
    const auto [end, error] =
        std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
    if (error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    const std::int64_t value = negative ? -magnitude : magnitude;
    if (value < INT32_MIN || value > INT32_MAX) {
        return std::nullopt;
    }
    return static_cast<int>(value);
}

}  // namespace korvan
