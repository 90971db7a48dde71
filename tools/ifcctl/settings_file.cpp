// ifcctl settings_file: decodes "ifc_set.set" and "valve_fp.set" offline.
//
// A settings file is the raw image of a table of 80-byte little-endian
// records; the table ends at the first record of type 0. This decoder never
// refuses an image: it shows what the server would see and states every
// fault (short, long, no end record, unterminated name) in plain words.
// Called by `ifcctl file` (cli.cpp) and by the tests.
#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstring>

#include "ifcctl.h"
#include "ifc_net.h"
#include "text_table.h"
#include "vfp_ifc.h"

namespace ifcctl {

// The record layout is the file layout (checked in lib_data2.h); decoding
// by memcpy relies on it.

const table_kind& interface_table() {
    static const table_kind kind{IFC_SET_FILE, "interface settings",
                                 static_cast<std::size_t>(IFC_TABLE_RECORDS)};
    return kind;
}

const table_kind& valve_table() {
    static const table_kind kind{VFP_SET_FILE, "valve settings",
                                 static_cast<std::size_t>(VFP_TABLE_RECORDS)};
    return kind;
}

namespace {

std::string_view base_name(std::string_view path) {
    const auto slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// Text of a fixed field up to its first NUL; unprintable bytes as \xNN.
std::string printable_field(const char* field, std::size_t size, bool* unterminated) {
    std::string text;
    std::size_t i = 0;
    for (; i < size && field[i] != '\0'; ++i) {
        const auto byte = static_cast<unsigned char>(field[i]);
        if (byte >= 0x20 && byte < 0x7f && byte != '\\') {
            text += static_cast<char>(byte);
        } else {
            text += strprintf("\\x%02x", byte);
        }
    }
    if (unterminated != nullptr) *unterminated = (i == size);
    return text;
}

// Picks the table: --table first, then the file's base name, then its size.
const table_kind* choose_table(std::size_t size, std::string_view hint, const table_kind* forced,
                               std::string& how) {
    if (forced != nullptr) {
        how = "chosen with --table";
        return forced;
    }
    const std::string_view base = base_name(hint);
    for (const table_kind* kind : {&interface_table(), &valve_table()}) {
        if (base == kind->file_name) {
            how = "told by its file name";
            return kind;
        }
    }
    const table_kind& ifc = interface_table();
    const table_kind& vfp = valve_table();
    if (size == ifc.bytes() || size == vfp.bytes()) {
        how = "told by its size";
        return size == ifc.bytes() ? &ifc : &vfp;
    }
    if (size < ifc.bytes()) {
        how = "assumed from its size: shorter than either table (--table valve reads it as valve_fp.set)";
        return &ifc;
    }
    if (size > vfp.bytes()) {
        how = "assumed from its size: longer than either table (--table ifc reads it as ifc_set.set)";
        return &vfp;
    }
    how = "assumed from its size: between the two table sizes (--table ifc reads it as a "
          "long ifc_set.set)";
    return &vfp;
}

}  // namespace

settings_report decode_settings(std::string_view image, std::string_view name_hint,
                                const table_kind* forced) {
    settings_report report{};
    report.file_size = image.size();
    report.kind = choose_table(image.size(), name_hint, forced, report.how_chosen);
    const table_kind& kind = *report.kind;
    const std::size_t table_bytes = kind.bytes();

    if (image.size() < table_bytes) {
        report.problems.push_back(strprintf(
            "short: %zu bytes where the table needs %zu; the server would replace this file "
            "with its built-in defaults at the next access, and its content would be lost",
            image.size(), table_bytes));
        if (image.size() % RECORD_SIZE != 0) {
            report.problems.push_back(strprintf(
                "the last %zu bytes are part of a record and are not shown",
                image.size() % RECORD_SIZE));
        }
    } else if (image.size() > table_bytes) {
        report.problems.push_back(strprintf(
            "long: %zu bytes, %zu more than the table's %zu; only the first %zu bytes are "
            "used and the rest is ignored (the server's next write cuts the file to %zu bytes)",
            image.size(), image.size() - table_bytes, table_bytes, table_bytes, table_bytes));
    }

    const std::size_t present = std::min(image.size(), table_bytes) / RECORD_SIZE;
    for (std::size_t i = 0; i < present; ++i) {
        i4_entry entry;
        std::memcpy(&entry, image.data() + i * RECORD_SIZE, RECORD_SIZE);
        if (report.end_index) {
            const auto* raw = reinterpret_cast<const unsigned char*>(image.data() + i * RECORD_SIZE);
            bool zero = true;
            for (std::size_t b = 0; b < RECORD_SIZE; ++b) zero = zero && raw[b] == 0;
            if (!zero) ++report.records_behind_end;
            continue;
        }
        if (entry.type == 0) {
            report.end_index = i;
            continue;
        }
        decoded_record record{};
        record.index = i;
        record.entry = entry;
        record.name = printable_field(entry.name, sizeof entry.name, &record.name_unterminated);
        // The server's test: one unsigned comparison of type - 1 against 4.
        record.type_refused = static_cast<uint32_t>(entry.type) - 1u > 4u;
        for (int c = 0; c < 6; ++c) {
            record.out_of_bounds[c] = entry.value[c] < entry.min || entry.value[c] > entry.max;
        }
        if (record.name_unterminated) {
            report.problems.push_back(strprintf(
                "record %zu: its name field holds no NUL (32 bytes of text); the server "
                "compares no further than the field", i));
        }
        report.records.push_back(record);
    }
    if (!report.end_index) {
        if (image.size() < table_bytes) {
            report.problems.push_back(strprintf(
                "no end record: none of the %zu whole records in the file has type 0", present));
        } else {
            report.problems.push_back(strprintf(
                "no end record: none of the %zu records has type 0, so the server searches "
                "all of them", present));
        }
    }
    if (report.records_behind_end > 0) {
        report.notes.push_back(strprintf(
            "%zu non-zero record%s behind the end record %s never looked at",
            report.records_behind_end, report.records_behind_end == 1 ? "" : "s",
            report.records_behind_end == 1 ? "is" : "are"));
    }
    std::size_t refused = 0;
    std::size_t outside = 0;
    for (const auto& record : report.records) {
        refused += record.type_refused ? 1 : 0;
        for (bool out : record.out_of_bounds) outside += out ? 1 : 0;
    }
    if (refused > 0) {
        report.notes.push_back(strprintf(
            "%zu record%s of a type the server refuses (not 1 to 5), marked !: reads and "
            "writes of %s fail", refused, refused == 1 ? "" : "s", refused == 1 ? "it" : "them"));
    }
    if (outside > 0) {
        report.notes.push_back(strprintf(
            "%zu value%s outside %s bounds, marked *: the server stores and reports %s",
            outside, outside == 1 ? "" : "s", outside == 1 ? "its" : "their",
            outside == 1 ? "it as it is" : "them as they are"));
    }
    return report;
}

std::string settings_text(const settings_report& report, std::string_view path) {
    const table_kind& kind = *report.kind;
    std::string text = strprintf("%.*s: %zu bytes, read as %s (%s: %zu records of %zu bytes = "
                                 "%zu bytes), %s\n",
                                 static_cast<int>(path.size()), path.data(), report.file_size,
                                 kind.file_name, kind.title, kind.records, RECORD_SIZE,
                                 kind.bytes(), report.how_chosen.c_str());
    text_table table;
    table.add({"index", "name", "type", "c1", "c2", "c3", "c4", "c5", "c6", "min", "max",
               "group"});
    for (const auto& record : report.records) {
        const i4_entry& e = record.entry;
        std::vector<std::string> row{
            std::to_string(record.index),
            record.name + (record.name_unterminated ? " (no NUL)" : ""),
            std::to_string(e.type) + (record.type_refused ? "!" : ""),
        };
        for (int c = 0; c < 6; ++c) {
            row.push_back(std::to_string(e.value[c]) + (record.out_of_bounds[c] ? "*" : ""));
        }
        row.push_back(std::to_string(e.min));
        row.push_back(std::to_string(e.max));
        row.push_back(printable_field(e.group, sizeof e.group, nullptr));
        table.add(row);
    }
    text += table.render({true, false, true, true, true, true, true, true, true, true, true,
                          false});
    if (report.end_index) {
        text += strprintf("end record at index %zu\n", *report.end_index);
    }
    for (const auto& note : report.notes) text += "note: " + note + "\n";
    for (const auto& problem : report.problems) text += "problem: " + problem + "\n";
    if (report.problems.empty()) text += "no problems found\n";
    return text;
}

std::string settings_json(const settings_report& report, std::string_view path) {
    const table_kind& kind = *report.kind;
    std::string json = "{\"file\":" + json_string(path);
    json += ",\"table\":" + json_string(kind.file_name);
    json += ",\"chosen\":" + json_string(report.how_chosen);
    json += strprintf(",\"size\":%zu,\"table_size\":%zu,\"records\":[", report.file_size,
                      kind.bytes());
    bool first = true;
    for (const auto& record : report.records) {
        const i4_entry& e = record.entry;
        json += first ? "" : ",";
        first = false;
        json += strprintf("{\"index\":%zu,\"name\":", record.index) + json_string(record.name);
        json += strprintf(",\"name_terminated\":%s,\"type\":%d,\"type_refused\":%s,\"values\":[",
                          record.name_unterminated ? "false" : "true", e.type,
                          record.type_refused ? "true" : "false");
        for (int c = 0; c < 6; ++c) json += strprintf("%s%d", c ? "," : "", e.value[c]);
        json += "],\"out_of_bounds\":[";
        for (int c = 0; c < 6; ++c) {
            json += strprintf("%s%s", c ? "," : "", record.out_of_bounds[c] ? "true" : "false");
        }
        json += strprintf("],\"min\":%d,\"max\":%d,\"group\":", e.min, e.max);
        json += json_string(printable_field(e.group, sizeof e.group, nullptr)) + "}";
    }
    json += "],\"end_record\":";
    json += report.end_index ? std::to_string(*report.end_index) : "null";
    json += strprintf(",\"records_behind_end\":%zu,\"problems\":[", report.records_behind_end);
    for (std::size_t i = 0; i < report.problems.size(); ++i) {
        json += (i ? "," : "") + json_string(report.problems[i]);
    }
    json += "],\"notes\":[";
    for (std::size_t i = 0; i < report.notes.size(); ++i) {
        json += (i ? "," : "") + json_string(report.notes[i]);
    }
    json += "]}\n";
    return json;
}

}  // namespace ifcctl
