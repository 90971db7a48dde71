// ifcctl command_docs: what every server command takes and answers.
//
// The command names come from the server's own tables (get_commands and
// put_commands of ether_parse), so `ifcctl list` shows exactly what the
// server dispatches; this file only adds the words. A test fails when a
// server command has no description here, or a description no command.
#include "ether_parse.h"
#include "ifcctl.h"
#include "text_table.h"

namespace ifcctl {

namespace {

// Keyed by command name; "_#" stands for the colour digits 1 to 6.
constexpr command_doc COMMAND_DOCS[] = {
    // ---- GET: the reply text ----
    {"IFC_get_select_item",
     "pin:N abs:N main:N tandem:N stretch:N sub1:N ... sub20:N  (25 items)",
     "pin:0 abs:0 main:0 tandem:0 stretch:0 sub1:0 sub2:0 ... sub20:0 ",
     "the on/off selection switches of the valves"},
    {"IFC_get_stat", "color:C mode:M totw_sw:T", "color:1 mode:0 totw_sw:0 ",
     "the status triple"},
    {"IFC_get_Tot_Twt_#", "to:A tw:B", "to:90 tw:240 ",
     "the targets to and tw of colour #"},
    {"IFC_get_To_Tw_#", "to:A tw:B", "to:92 tw:242   (colour 2: to:92 tw:252)",
     "the measured to and tw of colour # (simulated)"},
    {"IFC_get_histo_ave_#", "to:N tb1:N ... tb8:N tbw:N tw:N  (11 items)",
     "to:92 tb1:128 tb2:164 tb3:190 tb4:0 tb5:0 tb6:0 tb7:0 tb8:0 tbw:224 tw:242   (colour 1)",
     "the measured averages of colour # (simulated; tbw of colours 3-6 is random)"},
    {"IFC_get_hst_select", "LCOLOUR LITEM RCOLOUR RITEM  (plain values)", "1 tw 2 tw",
     "colour and item key shown by the left and the right histogram"},
    {"IFC_get_hist_cntdatL", "S1 S2 S3 S4 S5 B0 ... B45  (5 summary values, 46 bins)",
     "234 500 4.65 190 500 0 0 ... 10 30 50 120 ... 0",
     "the left histogram (simulated); `ifcctl histo left` draws it"},
    {"IFC_get_hist_cntdatR", "S1 S2 S3 S4 S5 B0 ... B45  (5 summary values, 46 bins)",
     "234 500 4.52 190 500 0 0 ... 10 30 50 120 ... 0",
     "the right histogram (simulated); `ifcctl histo right` draws it"},
    {"IFC_get_on_off_#",
     "ATC_TO_DELAY:0 pin_on:N abs_on:N abs_off:N main_on:N ... sub18_off:N  (46 items)",
     "ATC_TO_DELAY:0 pin_on:70 abs_on:215 abs_off:255 main_on:90 main_off:160 ...",
     "the valve on/off timings of colour #"},
    // ---- PUT: the payload text ----
    {"MLETOFF_set_btnstat", "any text", "1",
     "the let-off button state; the server prints the text on its console"},
    {"IFC_set_select_item", "ITEM:N  (ITEM: pin abs main tandem stretch sub1 ... sub20, or all)",
     "sub10:1", "sets one selection switch; all:0 clears every switch"},
    {"IFC_set_stat", "color:C mode:M totw_sw:T", "color:2 mode:1 totw_sw:0",
     "sets the status triple (all three colons are needed)"},
    {"IFC_set_to_tw_#", "to:A tw:B", "to:100 tw:250", "sets the targets of colour #"},
    {"IFC_set_on_off_#", "KEY:N KEY:N ...  (keys of IFC_get_on_off_# but ATC_TO_DELAY)",
     "main_on:120 main_off:200",
     "sets valve timings of colour #; items separated by spaces, unknown keys ignored"},
    {"IFC_hst_select_item", "LEFT|RIGHT COLOUR ITEM  (at most 15 bytes)", "LEFT 3 tb2",
     "selects what a histogram shows; ITEM: to tb1 ... tb8 tbw tw tw_tbw"},
    {"IFC_hst_clear", "COLOUR ITEM  (at most 10 bytes)", "2 tbw",
     "clears a histogram; the server prints a line"},
    {"IFC_hst_set", "LC LITEM LT RC RITEM RT SAMP  (at most 32 bytes)", "1 tb1 5 2 tw 6 100",
     "sets up both histograms; the server prints a line"},
};

// The per-colour family key of a name ending in _1 to _6.
std::string family_key(std::string_view name) {
    const std::size_t n = name.size();
    if (n >= 2 && name[n - 2] == '_' && name[n - 1] >= '1' && name[n - 1] <= '6') {
        return std::string(name.substr(0, n - 1)) + "#";
    }
    return std::string(name);
}

std::string trim_padding(const char* padded) {
    std::string name(padded);
    while (!name.empty() && name.back() == ' ') name.pop_back();
    return name;
}

}  // namespace

const command_doc* find_command_doc(std::string_view name) {
    const std::string family = family_key(name);
    for (const auto& doc : COMMAND_DOCS) {
        if (doc.key == name || doc.key == family) return &doc;
    }
    return nullptr;
}

std::vector<const command_doc*> all_command_docs() {
    std::vector<const command_doc*> docs;
    for (const auto& doc : COMMAND_DOCS) docs.push_back(&doc);
    return docs;
}

std::vector<std::string> server_get_names() {
    std::vector<std::string> names;
    for (const auto* row = get_commands; row->name != nullptr; ++row) {
        names.push_back(trim_padding(row->name));
    }
    return names;
}

std::vector<std::string> server_put_names() {
    std::vector<std::string> names;
    for (const auto* row = put_commands; row->name != nullptr; ++row) names.push_back(row->name);
    return names;
}

bool is_get_command(std::string_view name) {
    for (const auto& known : server_get_names()) {
        if (known == name) return true;
    }
    return false;
}

bool is_put_command(std::string_view name) {
    for (const auto& known : server_put_names()) {
        if (known == name) return true;
    }
    return false;
}

namespace {

// The colour digit of a per-colour name put into the family's text.
std::string with_colour(std::string_view text, std::string_view name) {
    std::string out(text);
    if (family_key(name) == name) return out;
    const char digit = name.back();
    for (auto& ch : out) {
        if (ch == '#') ch = digit;
    }
    return out;
}

void list_section(std::string& text, const char* verb, const std::vector<std::string>& names) {
    text += strprintf("%s commands (%zu):\n", verb, names.size());
    const bool get = verb[0] == 'G';
    for (const auto& name : names) {
        const command_doc* doc = find_command_doc(name);
        text += "\n  " + name + "\n";
        if (doc == nullptr) {
            text += "    (no description)\n";
            continue;
        }
        text += "    " + with_colour(doc->about, name) + "\n";
        text += strprintf("    %s %s\n", get ? "reply:  " : "payload:",
                          with_colour(doc->form, name).c_str());
        if (get) {
            text += "    e.g.     ifcctl get " + name + "\n";
            text += "             -> " + with_colour(doc->example, name) + "\n";
        } else {
            text += "    e.g.     ifcctl put " + name + " '" + std::string(doc->example) + "'\n";
        }
    }
}

void list_json_section(std::string& json, const char* verb, const std::vector<std::string>& names,
                       bool& first) {
    for (const auto& name : names) {
        const command_doc* doc = find_command_doc(name);
        json += first ? "" : ",";
        first = false;
        json += "{\"verb\":" + json_string(verb) + ",\"name\":" + json_string(name);
        if (doc != nullptr) {
            json += std::string(",\"") + (verb[0] == 'G' ? "reply" : "payload") +
                    "\":" + json_string(with_colour(doc->form, name));
            json += ",\"example\":" + json_string(with_colour(doc->example, name));
            json += ",\"about\":" + json_string(with_colour(doc->about, name));
        }
        json += "}";
    }
}

}  // namespace

std::string list_text() {
    std::string text;
    list_section(text, "GET", server_get_names());
    text += "\n";
    list_section(text, "PUT", server_put_names());
    return text;
}

std::string list_json() {
    std::string json = "[";
    bool first = true;
    list_json_section(json, "GET", server_get_names(), first);
    list_json_section(json, "PUT", server_put_names(), first);
    return json + "]\n";
}

}  // namespace ifcctl
