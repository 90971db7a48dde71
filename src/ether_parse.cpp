// ether_parse: the command tables and their dispatch.
//
// Two constant tables map command names to handlers, searched in order; the
// first match wins. GET names carry twenty trailing spaces so that a
// strncmp over the 20-byte header field matches only a space-padded name.
// Called by the connection loop of tcp9001 with the transfer buffer.
#include "ether_parse.h"

#include <cstdio>
#include <cstring>

#include "ifc_net.h"
#include "mletoff_net.h"
#include "vfp_ifc.h"

int16_t deb_ether_parse = 1;

// Twenty spaces behind every GET name: the header field is space-padded.
#define GET_KEY(name) #name "                    "

constexpr command_entry<get_handler> get_commands[GET_COMMAND_COUNT + 1] = {
    {GET_KEY(IFC_get_select_item), IFC_get_select_item},
    {GET_KEY(IFC_get_stat), IFC_get_stat},
    {GET_KEY(IFC_get_Tot_Twt_1), IFC_get_Tot_Twt_1},
    {GET_KEY(IFC_get_Tot_Twt_2), IFC_get_Tot_Twt_2},
    {GET_KEY(IFC_get_Tot_Twt_3), IFC_get_Tot_Twt_3},
    {GET_KEY(IFC_get_Tot_Twt_4), IFC_get_Tot_Twt_4},
    {GET_KEY(IFC_get_Tot_Twt_5), IFC_get_Tot_Twt_5},
    {GET_KEY(IFC_get_Tot_Twt_6), IFC_get_Tot_Twt_6},
    {GET_KEY(IFC_get_To_Tw_1), IFC_get_To_Tw_1},
    {GET_KEY(IFC_get_To_Tw_2), IFC_get_To_Tw_2},
    {GET_KEY(IFC_get_To_Tw_3), IFC_get_To_Tw_3},
    {GET_KEY(IFC_get_To_Tw_4), IFC_get_To_Tw_4},
    {GET_KEY(IFC_get_To_Tw_5), IFC_get_To_Tw_5},
    {GET_KEY(IFC_get_To_Tw_6), IFC_get_To_Tw_6},
    {GET_KEY(IFC_get_histo_ave_1), IFC_get_histo_ave_1},
    {GET_KEY(IFC_get_histo_ave_2), IFC_get_histo_ave_2},
    {GET_KEY(IFC_get_histo_ave_3), IFC_get_histo_ave_3},
    {GET_KEY(IFC_get_histo_ave_4), IFC_get_histo_ave_4},
    {GET_KEY(IFC_get_histo_ave_5), IFC_get_histo_ave_5},
    {GET_KEY(IFC_get_histo_ave_6), IFC_get_histo_ave_6},
    {GET_KEY(IFC_get_hst_select), IFC_get_hst_select},
    {GET_KEY(IFC_get_hist_cntdatL), IFC_get_hist_cntdatL},
    {GET_KEY(IFC_get_hist_cntdatR), IFC_get_hist_cntdatR},
    {GET_KEY(IFC_get_on_off_1), IFC_get_on_off_1},
    {GET_KEY(IFC_get_on_off_2), IFC_get_on_off_2},
    {GET_KEY(IFC_get_on_off_3), IFC_get_on_off_3},
    {GET_KEY(IFC_get_on_off_4), IFC_get_on_off_4},
    {GET_KEY(IFC_get_on_off_5), IFC_get_on_off_5},
    {GET_KEY(IFC_get_on_off_6), IFC_get_on_off_6},
    {nullptr, nullptr},
};

#undef GET_KEY

constexpr command_entry<put_handler> put_commands[PUT_COMMAND_COUNT + 1] = {
    {"MLETOFF_set_btnstat", MLETOFF_set_btnstat},
    {"IFC_set_select_item", IFC_set_select_item},
    {"IFC_set_stat", IFC_set_stat},
    {"IFC_set_to_tw_1", IFC_set_to_tw_1},
    {"IFC_set_to_tw_2", IFC_set_to_tw_2},
    {"IFC_set_to_tw_3", IFC_set_to_tw_3},
    {"IFC_set_to_tw_4", IFC_set_to_tw_4},
    {"IFC_set_to_tw_5", IFC_set_to_tw_5},
    {"IFC_set_to_tw_6", IFC_set_to_tw_6},
    {"IFC_set_on_off_1", IFC_set_on_off_1},
    {"IFC_set_on_off_2", IFC_set_on_off_2},
    {"IFC_set_on_off_3", IFC_set_on_off_3},
    {"IFC_set_on_off_4", IFC_set_on_off_4},
    {"IFC_set_on_off_5", IFC_set_on_off_5},
    {"IFC_set_on_off_6", IFC_set_on_off_6},
    {"IFC_hst_select_item", IFC_hst_select_item},
    {"IFC_hst_clear", IFC_hst_clear},
    {"IFC_hst_set", IFC_hst_set},
    {nullptr, nullptr},
};

namespace {

// Both tables compare at most 20 bytes with strncmp rules.
constexpr std::size_t KEY_COMPARE_BYTES = 20;

}  // namespace

int ether_get_data(const char* name, char* out) {
    for (const auto* row = get_commands; row->name != nullptr; ++row) {
        if (std::strncmp(row->name, name, KEY_COMPARE_BYTES) == 0) {
            return row->handler(out);
        }
    }
    return -1;
}

void ether_put_data(char* body, int length) {
    auto* name_end = static_cast<char*>(std::memchr(body, '\0', static_cast<std::size_t>(length)));
    if (name_end == nullptr) {
        if (deb_ether_parse) std::puts("COMMAND END not found");
        return;
    }
    char* payload = name_end + 1;
    const int payload_length = length - static_cast<int>(payload - body);
    for (const auto* row = put_commands; row->name != nullptr; ++row) {
        if (std::strncmp(row->name, body, KEY_COMPARE_BYTES) == 0) {
            row->handler(payload, payload_length);
            return;
        }
    }
    if (deb_ether_parse) std::puts("not found");
}
