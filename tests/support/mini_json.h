// A small strict JSON reader for tests that parse a tool's output back.
//
// parse_json() accepts exactly one JSON value (RFC 8259 grammar, surrounding
// white space allowed) and returns std::nullopt for anything else, so a test
// that gets a value knows the output was valid JSON. Objects keep their
// members in order; numbers keep their literal text as well as their value.
#pragma once

#include <cctype>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct json_value {
    enum kind_t { null, boolean, number, string, array, object } kind = null;
    bool flag = false;
    double number_value = 0;
    std::string text;   // the string, or the number's literal
    std::vector<json_value> items;    // array elements
    std::vector<std::string> keys;    // object members, in order: keys[i] names values[i]
    std::vector<json_value> values;

    // The member named `key`, or nullptr.
    const json_value* get(std::string_view key) const {
        for (std::size_t i = 0; i < keys.size(); ++i) {
            if (keys[i] == key) return &values[i];
        }
        return nullptr;
    }
};

namespace mini_json_detail {

class reader {
public:
    explicit reader(std::string_view text) : s_(text) {}

    std::optional<json_value> document() {
        auto v = value();
        skip();
        if (!v || pos_ != s_.size()) return std::nullopt;
        return v;
    }

private:
    void skip() {
        while (pos_ < s_.size() && (s_[pos_] == ' ' || s_[pos_] == '\n' || s_[pos_] == '\r' ||
                                    s_[pos_] == '\t')) {
            ++pos_;
        }
    }
    bool eat(char c) {
        skip();
        if (pos_ < s_.size() && s_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }
    bool literal(std::string_view word) {
        if (s_.substr(pos_, word.size()) != word) return false;
        pos_ += word.size();
        return true;
    }
    bool digits() {
        const std::size_t start = pos_;
        while (pos_ < s_.size() && std::isdigit(static_cast<unsigned char>(s_[pos_]))) ++pos_;
        return pos_ > start;
    }

    std::optional<std::string> string_body() {
        std::string out;
        while (pos_ < s_.size()) {
            const char c = s_[pos_++];
            if (c == '"') return out;
            if (static_cast<unsigned char>(c) < 0x20) return std::nullopt;
            if (c != '\\') {
                out += c;
                continue;
            }
            if (pos_ >= s_.size()) return std::nullopt;
            const char e = s_[pos_++];
            switch (e) {
                case '"': out += '"'; break;
                case '\\': out += '\\'; break;
                case '/': out += '/'; break;
                case 'b': out += '\b'; break;
                case 'f': out += '\f'; break;
                case 'n': out += '\n'; break;
                case 'r': out += '\r'; break;
                case 't': out += '\t'; break;
                case 'u': {
                    if (pos_ + 4 > s_.size()) return std::nullopt;
                    const std::string hex(s_.substr(pos_, 4));
                    for (char h : hex) {
                        if (!std::isxdigit(static_cast<unsigned char>(h))) return std::nullopt;
                    }
                    pos_ += 4;
                    const long code = std::strtol(hex.c_str(), nullptr, 16);
                    if (code > 0xff) return std::nullopt;   // enough for these tests
                    out += static_cast<char>(code);
                    break;
                }
                default: return std::nullopt;
            }
        }
        return std::nullopt;
    }

    std::optional<json_value> value() {
        skip();
        if (pos_ >= s_.size()) return std::nullopt;
        json_value v;
        const char c = s_[pos_];
        if (c == '{') {
            ++pos_;
            v.kind = json_value::object;
            if (eat('}')) return v;
            do {
                if (!eat('"')) return std::nullopt;
                auto key = string_body();
                if (!key || !eat(':')) return std::nullopt;
                auto member = value();
                if (!member) return std::nullopt;
                v.keys.push_back(std::move(*key));
                v.values.push_back(std::move(*member));
            } while (eat(','));
            if (!eat('}')) return std::nullopt;
            return v;
        }
        if (c == '[') {
            ++pos_;
            v.kind = json_value::array;
            if (eat(']')) return v;
            do {
                auto item = value();
                if (!item) return std::nullopt;
                v.items.push_back(std::move(*item));
            } while (eat(','));
            if (!eat(']')) return std::nullopt;
            return v;
        }
        if (c == '"') {
            ++pos_;
            auto text = string_body();
            if (!text) return std::nullopt;
            v.kind = json_value::string;
            v.text = std::move(*text);
            return v;
        }
        if (literal("true") || literal("false")) {
            v.kind = json_value::boolean;
            v.flag = s_[pos_ - 1] == 'e' && s_[pos_ - 2] == 'u';
            return v;
        }
        if (literal("null")) return v;
        // Number: -?(0|[1-9][0-9]*)(\.[0-9]+)?([eE][+-]?[0-9]+)?
        const std::size_t start = pos_;
        if (s_[pos_] == '-') ++pos_;
        if (pos_ < s_.size() && s_[pos_] == '0') {
            ++pos_;
        } else if (!digits()) {
            return std::nullopt;
        }
        if (pos_ < s_.size() && s_[pos_] == '.') {
            ++pos_;
            if (!digits()) return std::nullopt;
        }
        if (pos_ < s_.size() && (s_[pos_] == 'e' || s_[pos_] == 'E')) {
            ++pos_;
            if (pos_ < s_.size() && (s_[pos_] == '+' || s_[pos_] == '-')) ++pos_;
            if (!digits()) return std::nullopt;
        }
        v.kind = json_value::number;
        v.text = std::string(s_.substr(start, pos_ - start));
        v.number_value = std::strtod(v.text.c_str(), nullptr);
        return v;
    }

    std::string_view s_;
    std::size_t pos_ = 0;
};

}  // namespace mini_json_detail

inline std::optional<json_value> parse_json(std::string_view text) {
    return mini_json_detail::reader(text).document();
}
