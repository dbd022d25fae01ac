#include "settings/profile_file.h"

#include <charconv>
#include <cstdint>

#include "base/cp1251.h"
#include "settings/utf16.h"

namespace korvan {
namespace {

// A CR never stands inside a line: it ends one, alone or before a line feed.
constexpr std::string_view kBlanks = " \t";

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeMark = "\xFF\xFE";
constexpr std::string_view kUtf16BeMark = "\xFE\xFF";

std::string_view trim(std::string_view text) {
    const auto first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(kBlanks);
    return text.substr(first, last - first + 1);
}

bool isQuote(char c) {
    return c == '"' || c == '\'';
}

bool enclosedInQuotes(std::string_view value) {
    return value.size() >= 2 && isQuote(value.front()) && value.front() == value.back();
}

// A value as stored, without the pair of quotes that may enclose it.
std::string_view unquoted(std::string_view value) {
    return enclosedInQuotes(value) ? value.substr(1, value.size() - 2) : value;
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

namespace {

// Each line of `text` with its own end ("\r\n", "\n", "\r", or nothing for a last line without
// one), in order. A line ends at a CR LF, a line feed or a CR alone: a file may use any of them,
// and a CR kept inside a value could not be saved in its line, so that another reader would
// take it for a line end.
template <typename Visit>
void forEachLine(std::string_view text, Visit visit) {
    std::size_t start = 0;
    while (start < text.size()) {
        const auto end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            visit(text.substr(start), std::string_view());
            return;
        }
        const bool crlf = text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n';
        const auto ending = text.substr(end, crlf ? 2 : 1);
        visit(text.substr(start, end - start), ending);
        start = end + ending.size();
    }
}

}  // namespace

ProfileFile ProfileFile::parse(std::string_view bytes) {
    ProfileFile file;
    std::string decoded;
    const std::string_view text = file.decode(bytes, decoded);
    // Built rather than assigned from a literal, which GCC 12 at -O3 takes for an overlapping
    // copy.
    const auto firstBreak = text.find('\n');
    if (firstBreak != std::string_view::npos && (firstBreak == 0 || text[firstBreak - 1] != '\r')) {
        file.lineEnding_ = std::string(1, '\n');
    } else if (firstBreak == std::string_view::npos && text.find('\r') != std::string_view::npos) {
        file.lineEnding_ = std::string(1, '\r');
    }
    // Each line keeps its own end, so that a file with mixed or stray line ends is written
    // back as it was.
    forEachLine(text, [&file](std::string_view line, std::string_view ending) {
        file.lines_.push_back({std::string(line), std::string(ending)});
    });
    return file;
}

std::string_view ProfileFile::decode(std::string_view bytes, std::string& decoded) {
    std::string_view text = bytes;
    if (bytes.starts_with(kUtf8Mark)) {
        encoding_ = Encoding::Utf8;
        text.remove_prefix(kUtf8Mark.size());
    } else if (bytes.starts_with(kUtf16LeMark) || bytes.starts_with(kUtf16BeMark)) {
        const bool bigEndian = bytes.starts_with(kUtf16BeMark);
        encoding_ = bigEndian ? Encoding::Utf16Be : Encoding::Utf16Le;
        const auto units = bytes.substr(kUtf16LeMark.size());
        if (units.size() % 2 != 0) {
            oddByte_ = units.back();
        }
        decoded = utf16::toUtf8(units, bigEndian);
        text = decoded;
    }
    return text;
}

std::vector<ProfileLine> ProfileFile::outlineOf(std::string_view bytes) {
    ProfileFile reader;
    std::string decoded;
    const std::string_view text = reader.decode(bytes, decoded);
    std::vector<ProfileLine> said;
    int number = 0;
    forEachLine(text, [&](std::string_view line, std::string_view) {
        ProfileLine seen = reader.classify(line);
        seen.number = ++number;
        if (seen.kind != ProfileLine::Kind::Blank && seen.kind != ProfileLine::Kind::Comment) {
            said.push_back(std::move(seen));
        }
    });
    return said;
}

std::optional<std::string> ProfileFile::storedValue(std::string_view section,
                                                    std::string_view key) const {
    bool inSection = false;
    bool sectionSeen = false;
    for (const auto& line : lines_) {
        if (auto name = sectionOf(line.text)) {
            if (inSection) {
                return std::nullopt;  // only the first section of that name counts
            }
            inSection = !sectionSeen && sameProfileName(*name, section);
            sectionSeen = sectionSeen || inSection;
            continue;
        }
        if (!inSection) {
            continue;
        }
        auto entry = keyOf(line.text);
        if (!entry || !sameProfileName(entry->key, key)) {
            continue;
        }
        return std::string(unquoted(entry->value));
    }
    return std::nullopt;
}

ProfileLine ProfileFile::classify(std::string_view line) const {
    ProfileLine seen;
    const auto text = trim(line);
    if (text.empty()) {
        seen.kind = ProfileLine::Kind::Blank;
    } else if (text.front() == ';') {
        seen.kind = ProfileLine::Kind::Comment;
    } else if (auto section = sectionOf(text)) {
        seen.kind = ProfileLine::Kind::Section;
        seen.name = *section;
    } else if (auto entry = keyOf(text)) {
        seen.kind = ProfileLine::Kind::Key;
        seen.name = entry->key;
        seen.value = unquoted(entry->value);
        if (encoding_ != Encoding::Ansi) {
            seen.value = cp1251::fromUtf8(seen.value);
        }
    } else {
        seen.kind = ProfileLine::Kind::Other;
    }
    return seen;
}

std::optional<std::string> ProfileFile::read(std::string_view section, std::string_view key) const {
    auto value = storedValue(section, key);
    if (value && encoding_ != Encoding::Ansi) {
        value = cp1251::fromUtf8(*value);
    }
    if (value && value->size() > kValueLimit) {
        value->resize(kValueLimit);
    }
    return value;
}

std::optional<std::string> ProfileFile::readUtf8(std::string_view section,
                                                 std::string_view key) const {
    return storedValue(section, key);
}

void ProfileFile::write(std::string_view section, std::string_view key, std::string_view value) {
    store(section, key, encoding_ == Encoding::Ansi ? std::string(value) : cp1251::toUtf8(value));
}

void ProfileFile::writeUtf8(std::string_view section, std::string_view key,
                            std::string_view value) {
    store(section, key, value);
}

void ProfileFile::store(std::string_view section, std::string_view key, std::string_view text) {
    const std::string stored = storedForm(text);
    std::optional<std::size_t> sectionLine;
    std::size_t insertAt = lines_.size();
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (auto name = sectionOf(lines_[i].text)) {
            if (sectionLine) {
                break;
            }
            if (sameProfileName(*name, section)) {
                sectionLine = i;
                insertAt = i + 1;
            }
            continue;
        }
        if (!sectionLine) {
            continue;
        }
        if (auto entry = keyOf(lines_[i].text); entry && sameProfileName(entry->key, key)) {
            lines_[i].text = std::string(entry->key) + '=' + stored;
            return;
        }
        if (!trim(lines_[i].text).empty()) {
            insertAt = i + 1;  // new keys go after the section's last line, before blank ones
        }
    }
    std::string keyLine = std::string(key) + '=' + stored;
    if (sectionLine && insertAt < lines_.size()) {
        lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insertAt),
                      Line{std::move(keyLine), lineEnding_});
        return;
    }
    if (!sectionLine) {
        if (!lines_.empty() && !trim(lines_.back().text).empty()) {
            appendLine({});
        }
        appendLine('[' + std::string(section) + ']');
    }
    appendLine(std::move(keyLine));
}

void ProfileFile::appendLine(std::string text) {
    if (!lines_.empty() && lines_.back().ending.empty()) {
        lines_.back().ending = lineEnding_;
    }
    lines_.push_back(Line{std::move(text), lineEnding_});
}

std::string ProfileFile::serialize() const {
    std::string text;
    for (const auto& line : lines_) {
        text += line.text;
        text += line.ending;
    }
    switch (encoding_) {
        case Encoding::Ansi:
            return text;
        case Encoding::Utf8:
            return std::string(kUtf8Mark) + text;
        case Encoding::Utf16Le:
        case Encoding::Utf16Be:
            break;
    }
    const bool bigEndian = encoding_ == Encoding::Utf16Be;
    return std::string(bigEndian ? kUtf16BeMark : kUtf16LeMark) + utf16::fromUtf8(text, bigEndian) +
           oddByte_;
}

bool sameProfileName(std::string_view a, std::string_view b) {
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
