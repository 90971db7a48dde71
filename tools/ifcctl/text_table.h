// ifcctl text helpers: printf into a std::string, and aligned text columns.
//
// Private to the tool's sources (settings_file.cpp, command_docs.cpp,
// views.cpp, cli.cpp).
#pragma once

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

namespace ifcctl {

// printf into a new string, any length.
std::string strprintf(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Rows of cells printed in columns two spaces apart; widths follow the
// widest cell of each column.
class text_table {
public:
    void add(std::vector<std::string> row) { rows_.push_back(std::move(row)); }

    // right[i]: column i is right-aligned (numbers).
    std::string render(const std::vector<bool>& right) const {
        std::vector<std::size_t> width;
        for (const auto& row : rows_) {
            width.resize(std::max(width.size(), row.size()));
            for (std::size_t i = 0; i < row.size(); ++i) {
                width[i] = std::max(width[i], row[i].size());
            }
        }
        std::string text;
        for (const auto& row : rows_) {
            std::string line;
            for (std::size_t i = 0; i < row.size(); ++i) {
                const std::string pad(width[i] - row[i].size(), ' ');
                if (i > 0) line += "  ";
                const bool r = i < right.size() && right[i];
                line += r ? pad + row[i] : row[i] + pad;
            }
            while (!line.empty() && line.back() == ' ') line.pop_back();
            text += line + "\n";
        }
        return text;
    }

private:
    std::vector<std::vector<std::string>> rows_;
};

}  // namespace ifcctl
