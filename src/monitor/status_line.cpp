#include "monitor/status_line.h"

#include <cctype>
#include <charconv>
#include <vector>

namespace dbk {

namespace {

std::vector<std::string_view> words(std::string_view line) {
    std::vector<std::string_view> out;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i])))
            ++i;
        // A colon ends a word even when no blank follows it ("Threads:3").
        const size_t start = i;
        while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i])) && line[i] != ':')
            ++i;
        if (i < line.size() && line[i] == ':')
            ++i;
        if (i > start)
            out.push_back(line.substr(start, i - start));
    }
    return out;
}

std::optional<uint64_t> counter(std::string_view line, std::string_view label) {
    const std::optional<std::string> text = statusLineValue(line, label);
    if (!text)
        return std::nullopt;
    uint64_t value = 0;
    const char* end = text->data() + text->size();
    const auto [ptr, error] = std::from_chars(text->data(), end, value);
    if (error != std::errc() || ptr != end)
        return std::nullopt;
    return value;
}

}  // namespace

std::optional<std::string> statusLineValue(std::string_view line, std::string_view wanted) {
    const std::vector<std::string_view> all = words(line);
    std::string label;
    for (size_t i = 0; i < all.size(); ++i) {
        std::string_view word = all[i];
        if (!word.ends_with(':')) {
            if (!label.empty())
                label += ' ';
            label += word;
            continue;
        }
        word.remove_suffix(1);
        if (!word.empty()) {
            if (!label.empty())
                label += ' ';
            label += word;
        }
        // A label followed by another label has no value.
        const bool hasValue = i + 1 < all.size() && !all[i + 1].ends_with(':');
        if (label == wanted)
            return hasValue ? std::string(all[i + 1]) : std::string();
        label.clear();
        if (hasValue)
            ++i;
    }
    return std::nullopt;
}

StatusCounters parseStatusLine(std::string_view line) {
    StatusCounters c;
    c.uptime = counter(line, "Uptime");
    c.threads = counter(line, "Threads");
    c.questions = counter(line, "Questions");
    c.slowQueries = counter(line, "Slow queries");
    c.opens = counter(line, "Opens");
    c.flushTables = counter(line, "Flush tables");
    c.openTables = counter(line, "Open tables");
    return c;
}

}  // namespace dbk
