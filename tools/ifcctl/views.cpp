// ifcctl views: the terminal pictures of `histo` and `watch`.
//
// `histo` turns the selection reply ("1 tw 2 tw") and a histogram reply
// (five summary values and 46 bins) into a bar chart; `watch` lays out one
// poll of a reply with the changed items marked. Pure text in, text out:
// cli.cpp does the fetching and the printing.
#include <algorithm>
#include <cstdlib>

#include "ifcctl.h"
#include "text_table.h"

namespace ifcctl {

namespace {

constexpr const char* BLOCK = "\u2588";   // full block
constexpr const char* RESET = "\x1b[0m";
constexpr const char* BOLD = "\x1b[1m";

// ANSI foreground colour of a machine colour index: 1 red, 2 green,
// 3 yellow, 4 blue, 5 magenta, 6 cyan; anything else the default.
std::string ansi_colour(int colour) {
    if (colour < 1 || colour > 6) return "\x1b[39m";
    return strprintf("\x1b[%dm", 30 + colour);
}

bool parse_long(std::string_view text, long& value) {
    if (text.empty()) return false;
    const std::string copy(text);
    char* end = nullptr;
    value = std::strtol(copy.c_str(), &end, 10);
    return end != nullptr && *end == '\0';
}

bool is_number(std::string_view text) {
    const std::string json = json_value(text);
    return !json.empty() && json[0] != '"';
}

// Cells of a bar for `value` on a scale where `peak` fills `size` cells.
int bar_cells(long value, long peak, int size) {
    if (value <= 0 || peak <= 0) return 0;
    const long cells = (value * size + peak / 2) / peak;
    return static_cast<int>(std::clamp(cells, 1L, static_cast<long>(size)));
}

std::string repeat(const char* piece, int times) {
    std::string text;
    for (int i = 0; i < times; ++i) text += piece;
    return text;
}

}  // namespace

bool parse_histogram(std::string_view selection, std::string_view data, int side, histogram& h) {
    const auto select = split_reply(selection);
    const auto values = split_reply(data);
    if (select.size() != 4 || values.size() != 5 + HISTOGRAM_BINS) return false;
    for (const auto& item : select) {
        if (item.keyed) return false;
    }
    long colour = 0;
    if (!parse_long(select[side == 0 ? 0 : 2].value, colour)) return false;
    h.colour = static_cast<int>(colour);
    h.item = select[side == 0 ? 1 : 3].value;
    for (int i = 0; i < 5; ++i) {
        if (values[i].keyed || !is_number(values[i].value)) return false;
        h.summary[i] = values[i].value;
    }
    for (int i = 0; i < HISTOGRAM_BINS; ++i) {
        if (values[5 + i].keyed || !parse_long(values[5 + i].value, h.bins[i])) return false;
    }
    return true;
}

std::string histogram_chart(const histogram& h, const char* side_name,
                            const chart_options& options) {
    const char* cell = options.ascii ? "#" : BLOCK;
    const std::string on = options.colour ? ansi_colour(h.colour) : "";
    const std::string off = options.colour ? RESET : "";
    const int size = std::max(options.size, 1);

    long peak = 0;
    int peak_bin = 0;
    long total = 0;
    for (int i = 0; i < HISTOGRAM_BINS; ++i) {
        total += h.bins[i];
        if (h.bins[i] > peak) {
            peak = h.bins[i];
            peak_bin = i;
        }
    }

    std::string text = strprintf("%s histogram: %scolour %d%s, item %s\n", side_name, on.c_str(),
                                 h.colour, off.c_str(), h.item.c_str());
    text += strprintf("summary: %s %s %s %s %s\n", h.summary[0].c_str(), h.summary[1].c_str(),
                      h.summary[2].c_str(), h.summary[3].c_str(), h.summary[4].c_str());

    if (!options.vertical) {
        for (int i = 0; i < HISTOGRAM_BINS; ++i) {
            const int cells = bar_cells(h.bins[i], peak, size);
            text += strprintf("%3d %6ld |", i, h.bins[i]);
            if (cells > 0) text += on + repeat(cell, cells) + off;
            text += "\n";
        }
    } else {
        int cells[HISTOGRAM_BINS];
        for (int i = 0; i < HISTOGRAM_BINS; ++i) cells[i] = bar_cells(h.bins[i], peak, size);
        for (int level = size; level >= 1; --level) {
            // The scale on the left: the peak on the top row, blank elsewhere.
            std::string line = level == size ? strprintf("%6ld |", peak) : "       |";
            std::string row;
            for (int i = 0; i < HISTOGRAM_BINS; ++i) row += cells[i] >= level ? cell : " ";
            while (!row.empty() && row.back() == ' ') row.pop_back();
            if (!row.empty()) line += on + row + off;
            text += line + "\n";
        }
        std::string axis = "     0 +";
        std::string labels = "        ";
        for (int i = 0; i < HISTOGRAM_BINS; ++i) axis += (i > 0 && i % 5 == 0) ? "+" : "-";
        for (int i = 0; i < HISTOGRAM_BINS; i += 10) {
            const std::string label = std::to_string(i);
            labels.resize(8 + static_cast<std::size_t>(i), ' ');
            labels += label;
        }
        text += axis + "\n" + labels + "  (bin)\n";
    }
    text += strprintf("total %ld in %d bins; peak %ld at bin %d\n", total, HISTOGRAM_BINS, peak,
                      peak_bin);
    return text;
}

std::string watch_frame(const std::vector<reply_item>& current,
                        const std::vector<reply_item>* previous, bool colour) {
    text_table table;
    std::vector<bool> changed;
    for (std::size_t i = 0; i < current.size(); ++i) {
        const reply_item& item = current[i];
        const reply_item* before = nullptr;
        if (previous != nullptr) {
            for (std::size_t j = 0; j < previous->size() && before == nullptr; ++j) {
                const reply_item& old = (*previous)[j];
                if (item.keyed ? (old.keyed && old.key == item.key) : (j == i && !old.keyed)) {
                    before = &old;
                }
            }
        }
        const bool is_new = previous != nullptr && before == nullptr;
        const bool differs = is_new || (before != nullptr && before->value != item.value);
        changed.push_back(differs);
        const std::string label = item.keyed ? item.key : strprintf("[%zu]", i);
        std::string was;
        if (is_new) was = "(new)";
        if (before != nullptr && differs) was = "(was " + before->value + ")";
        table.add({differs ? "*" : " ", label, item.value, was});
    }
    const std::string rendered = table.render({false, false, true, false});
    if (!colour) return rendered;
    // Changed lines in bold: the marks stay, the colour only helps the eye.
    std::string text;
    std::size_t pos = 0;
    for (std::size_t i = 0; i < changed.size(); ++i) {
        const std::size_t end = rendered.find('\n', pos);
        const std::string line = rendered.substr(pos, end - pos);
        text += changed[i] ? std::string(BOLD) + line + RESET + "\n" : line + "\n";
        pos = end + 1;
    }
    return text;
}

}  // namespace ifcctl
