// ifcctl reply: splits GET reply text into items and turns it into JSON.
//
// Replies are items separated by spaces: "key:value " for most commands,
// plain values ("1 tw 2 tw") for the histogram ones. Used by `get --json`,
// `watch` and `histo` (cli.cpp, views.cpp).
#include <cctype>

#include "ifcctl.h"
#include "text_table.h"

namespace ifcctl {

std::string strprintf(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int needed = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string text(needed > 0 ? static_cast<std::size_t>(needed) : 0, '\0');
    if (needed > 0) std::vsnprintf(text.data(), text.size() + 1, format, args);
    va_end(args);
    return text;
}

std::string json_string(std::string_view text) {
    std::string json = "\"";
    for (const char ch : text) {
        const auto byte = static_cast<unsigned char>(ch);
        switch (ch) {
            case '"': json += "\\\""; break;
            case '\\': json += "\\\\"; break;
            case '\n': json += "\\n"; break;
            case '\r': json += "\\r"; break;
            case '\t': json += "\\t"; break;
            default:
                // Control bytes and bytes above ASCII (replies are ASCII; a
                // stray byte must not make the output invalid UTF-8).
                if (byte < 0x20 || byte >= 0x7f) {
                    json += strprintf("\\u%04x", byte);
                } else {
                    json += ch;
                }
        }
    }
    return json + "\"";
}

std::string json_value(std::string_view token) {
    // A decimal number: optional minus, digits, optionally '.' and digits.
    std::size_t i = (!token.empty() && token[0] == '-') ? 1 : 0;
    const std::size_t int_start = i;
    while (i < token.size() && std::isdigit(static_cast<unsigned char>(token[i]))) ++i;
    const std::size_t int_end = i;
    bool number = int_end > int_start;
    if (number && i < token.size() && token[i] == '.') {
        ++i;
        const std::size_t frac_start = i;
        while (i < token.size() && std::isdigit(static_cast<unsigned char>(token[i]))) ++i;
        number = i > frac_start;
    }
    if (!number || i != token.size()) return json_string(token);
    // JSON forbids leading zeros: "007" is written 7.
    std::size_t first = int_start;
    while (first + 1 < int_end && token[first] == '0') ++first;
    return std::string(token.substr(0, int_start)) + std::string(token.substr(first));
}

std::vector<reply_item> split_reply(std::string_view reply) {
    std::vector<reply_item> items;
    std::size_t pos = 0;
    while (pos < reply.size()) {
        if (reply[pos] == ' ') {
            ++pos;
            continue;
        }
        std::size_t end = reply.find(' ', pos);
        if (end == std::string_view::npos) end = reply.size();
        const std::string_view token = reply.substr(pos, end - pos);
        const std::size_t colon = token.find(':');
        if (colon != std::string_view::npos && colon > 0) {
            items.push_back({std::string(token.substr(0, colon)),
                             std::string(token.substr(colon + 1)), true});
        } else {
            items.push_back({"", std::string(token), false});
        }
        pos = end;
    }
    return items;
}

std::string reply_json(std::string_view reply) {
    const auto items = split_reply(reply);
    bool all_keyed = !items.empty();
    for (const auto& item : items) all_keyed = all_keyed && item.keyed;
    std::string json = all_keyed ? "{" : "[";
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0) json += ",";
        if (all_keyed) {
            json += json_string(items[i].key) + ":" + json_value(items[i].value);
        } else {
            const auto& item = items[i];
            json += json_value(item.keyed ? item.key + ":" + item.value : item.value);
        }
    }
    return json + (all_keyed ? "}" : "]");
}

}  // namespace ifcctl
