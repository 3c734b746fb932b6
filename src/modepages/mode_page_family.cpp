// The field tables of the twelve pages: where each field lies in its page
// (SPC-4 and SBC-3 layouts, with the older names some drives still use),
// and the control that shows it in each column.
#include "modepages/mode_page_family.h"

namespace {

using Ids = std::array<int, kColumnCount>;

constexpr ModeField Number(const char* label, FieldKind kind, uint8_t byte, Ids ids)
{
    return {label, kind, byte, 0, ids};
}
constexpr ModeField Bit(const char* label, uint8_t byte, uint8_t bit, Ids ids)
{
    return {label, FieldKind::Bit, byte, bit, ids};
}
constexpr ModeField Nibble(const char* label, uint8_t byte, uint8_t shift, Ids ids)
{
    return {label, FieldKind::Nibble, byte, shift, ids};
}
constexpr ModeField Decimal(const char* label, uint8_t byte, uint8_t maximum, Ids ids)
{
    return {label, FieldKind::Decimal, byte, 0, ids, maximum};
}

constexpr FieldKind kByte = FieldKind::Byte;
constexpr FieldKind kWord = FieldKind::Word;
constexpr FieldKind kTriple = FieldKind::Triple;
constexpr FieldKind kDword = FieldKind::Dword;
constexpr FieldKind kQword = FieldKind::Qword;

constexpr ModeField kUnitAttentionFields[] = {
    Number("See Product Manual", kByte, 3, {1086, 1087, 1119}),
    Bit("Synchronous Select Mode (SSM)", 2, 6, {1153, 1159, 1165}),
    Bit("Inquiry Length (IL)", 2, 5, {1154, 1160, 1166}),
    Bit("Unit Attention", 2, 4, {1155, 1161, 1167}),
    Bit("Round", 2, 2, {1156, 1162, 1168}),
    Bit("Strict", 2, 1, {1157, 1163, 1169}),
    Bit("SCSI-2 (S2)", 2, 0, {1158, 1164, 1170}),
};

constexpr ModeField kErrorRecoveryFields[] = {
    Number("Read Retry Count", kByte, 3, {1086, 1092, 1098}),
    Number("Correction Span (bits)", kByte, 4, {1087, 1093, 1099}),
    Number("Head Offset Count", kByte, 5, {1119, 1094, 1100}),
    Number("Data Strobe Offset Count", kByte, 6, {1088, 1095, 1101}),
    Number("Read Write Count", kByte, 8, {1089, 1096, 1102}),
    Number("Recovery Time Limit", kWord, 10, {1090, 1097, 1103}),
    Bit("AWRE", 2, 7, {1147, 1148, 1149}),
    Bit("ARRE", 2, 6, {1150, 1151, 1152}),
    Bit("TB", 2, 5, {1153, 1154, 1155}),
    Bit("RC", 2, 4, {1156, 1157, 1158}),
    Bit("EER", 2, 3, {1159, 1160, 1161}),
    Bit("PER", 2, 2, {1162, 1163, 1164}),
    Bit("DTE", 2, 1, {1165, 1166, 1167}),
    Bit("DCR", 2, 0, {1168, 1169, 1170}),
};

constexpr ModeField kDiscReconnectFields[] = {
    Number("Buffer Full Ratio", kByte, 2, {1086, 1096, 1106}),
    Number("Buffer Empty Ratio", kByte, 3, {1087, 1097, 1107}),
    Number("Bus Inactivity Limit", kWord, 4, {1119, 1098, 1123}),
    Number("Disconnect Time Limit", kWord, 6, {1088, 1099, 1108}),
    Number("Connect Time Limit", kWord, 8, {1089, 1100, 1109}),
    Number("Maximum Burst SIze", kWord, 10, {1090, 1101, 1110}),
    Bit("EMDP", 12, 7, {1156, 1157, 1158}),
    Bit("Dlmm", 12, 3, {1153, 1154, 1155}),
    Decimal("DTDC", 12, 7, {1091, 1092, 1093}),
};

constexpr ModeField kFormatFields[] = {
    Number("Tracks per Zone", kWord, 2, {1086, 1097, 1107}),
    Number("Alternate Sectors per Zone", kWord, 4, {1087, 1098, 1108}),
    Number("Alternate Tracks per Zone", kWord, 6, {1088, 1099, 1109}),
    Number("Alternate Tracks per Volume", kWord, 8, {1089, 1100, 1110}),
    Number("Sectors per Track", kWord, 10, {1090, 1101, 1111}),
    Number("Data Bytes per Physical Sector", kWord, 12, {1091, 1102, 1112}),
    Number("Interleave", kWord, 14, {1092, 1103, 1113}),
    Number("Track Skew Factor", kWord, 16, {1093, 1104, 1114}),
    Number("Cylinder Skew Factor", kWord, 18, {1094, 1105, 1115}),
    Bit("SSEC", 20, 7, {1153, 1157, 1161}),
    Bit("HSEC", 20, 6, {1154, 1158, 1162}),
    Bit("RMB", 20, 5, {1155, 1159, 1163}),
    Bit("SURF", 20, 4, {1156, 1160, 1164}),
};

// RPL (rotational position locking, page byte 17 bits 1-0) is shown and
// written like the other fields.
constexpr ModeField kGeometryFields[] = {
    Number("Number of Cylinders", kTriple, 2, {1086, 1093, 1100}),
    Number("Number of Heads", kByte, 5, {1087, 1094, 1101}),
    Number("Starting Cylinder - Write Precomp", kTriple, 6, {1119, 1120, 1121}),
    Number("Starting Cylinder-Reduced Write Current", kTriple, 9, {1088, 1095, 1102}),
    Number("Drive Step Rate", kWord, 12, {1089, 1096, 1103}),
    Number("Landing Zone Cylinder", kTriple, 14, {1090, 1097, 1104}),
    Number("Rotational Offset", kByte, 18, {1091, 1098, 1105}),
    Number("Medium Rotation Rate", kWord, 20, {1092, 1099, 1106}),
    Decimal("RPL", 17, 3, {1107, 1123, 1108}),
};

constexpr ModeField kVerifyFields[] = {
    Number("Verify Retry Count", kByte, 3, {1086, 1088, 1090}),
    // Obsolete since SBC-2: shown as the drive reports it, always sent as zero.
    {"Verify Correction Span (Bits)", kByte, 4, 0, {1087, 1089, 1091}, 0, true},
    Number("Verify Recovery Time Limit", kWord, 10, {1119, 1120, 1121}),
    Bit("EER", 2, 3, {1153, 1157, 1161}),
    Bit("PER", 2, 2, {1154, 1158, 1162}),
    Bit("DTE", 2, 1, {1155, 1159, 1163}),
    Bit("DCR", 2, 0, {1156, 1160, 1164}),
};

constexpr ModeField kCachingFields[] = {
    Nibble("Demand Read Retention Priority", 3, 4, {1086, 1095, 1104}),
    Nibble("Write Retention Priority", 3, 0, {1087, 1096, 1105}),
    Number("Disable Pre-fetch Transfer Length", kWord, 4, {1088, 1097, 1106}),
    Number("Minimum Pre-fetch", kWord, 6, {1089, 1098, 1107}),
    Number("Maximum Pre-fetch", kWord, 8, {1090, 1099, 1108}),
    Number("Maximum Pre-fetch Ceiling", kWord, 10, {1091, 1100, 1109}),
    Number("Number of Cache Segments", kByte, 13, {1092, 1101, 1110}),
    Number("Cache Segment Size", kWord, 14, {1093, 1102, 1111}),
    Number("Non-Cache Segment Size", kTriple, 17, {1094, 1103, 1112}),
    Bit("IC", 2, 7, {1153, 1164, 1177}),
    Bit("ABPF", 2, 6, {1154, 1165, 1178}),
    Bit("CAP", 2, 5, {1155, 1166, 1179}),
    Bit("DISC", 2, 4, {1156, 1167, 1147}),
    Bit("SIZE", 2, 3, {1157, 1168, 1148}),
    Bit("WCE", 2, 2, {1158, 1169, 1149}),
    Bit("MF", 2, 1, {1159, 1170, 1150}),
    Bit("RCD", 2, 0, {1160, 1171, 1151}),
    Bit("FSW", 12, 7, {1161, 1172, 1152}),
    Bit("LBCSS", 12, 6, {1162, 1175, 1186}),
    Bit("DRA", 12, 5, {1163, 1176, 1187}),
};

constexpr ModeField kControlFields[] = {
    Nibble("Queue Algorithm Modifier", 3, 4, {1086, 1088, 1090}),
    Number("Busy Timeout Period", kWord, 8, {1087, 1089, 1091}),
    Bit("GLTSD", 2, 1, {1153, 1165, 1171}),
    Bit("RLEC", 2, 0, {1154, 1166, 1172}),
    Bit("QErr", 3, 1, {1155, 1167, 1174}),
    Bit("DQue", 3, 0, {1156, 1168, 1175}),
    Bit("EECA", 4, 7, {1157, 1169, 1176}),
    Bit("RAC", 4, 6, {1158, 1170, 1177}),
};

constexpr ModeField kNotchFields[] = {
    Number("Maximum Number of Notches", kWord, 4, {1086, 1090, 1094}),
    Number("Active Notch", kWord, 6, {1087, 1091, 1095}),
    Number("Starting Boundary", kDword, 8, {1119, 1120, 1121}),
    Number("Ending Boundary", kDword, 12, {1088, 1092, 1096}),
    Number("Pages Notched", kQword, 16, {1089, 1093, 1097}),
    Bit("ND", 2, 7, {1153, 1155, 1157}),
    Bit("LPN", 2, 6, {1154, 1156, 1158}),
};

constexpr ModeField kPowerConditionFields[] = {
    Number("Idle Condition Timer", kDword, 4, {1086, 1088, 1090}),
    Number("Standby Condition Timer", kDword, 8, {1087, 1089, 1091}),
    Bit("Idle", 3, 1, {1153, 1155, 1157}),
    Bit("Standby", 3, 0, {1154, 1156, 1158}),
};

constexpr ModeField kXorControlFields[] = {
    Number("Maximum xor write size", kDword, 4, {1086, 1089, 1092}),
    Number("Maximum regenerate size", kDword, 12, {1087, 1090, 1093}),
    Number("Maximum rebuild read size", kDword, 16, {1119, 1120, 1121}),
    Number("Rebuild delay", kWord, 22, {1088, 1091, 1094}),
    Bit("XorDis", 2, 1, {1153, 1154, 1155}),
};

constexpr ModeField kInformationalExceptionsFields[] = {
    Nibble("MRIE", 3, 0, {1086, 1088, 1090}),
    Number("Interval timer", kDword, 4, {1087, 1089, 1091}),
    Number("Report count", kDword, 8, {1119, 1120, 1121}),
    Bit("Perf", 2, 7, {1153, 1157, 1161}),
    Bit("DExcpt", 2, 3, {1154, 1158, 1162}),
    Bit("Test", 2, 2, {1155, 1159, 1163}),
    Bit("LogErr", 2, 0, {1156, 1160, 1164}),
};

constexpr std::array<int, 3> kButtons1147{1146, 1147, 1173};
constexpr std::array<int, 3> kButtons1173{1146, 1173, 1174};

const ModePageTable kUnitAttentionPage{0x00, 0x00, 167, "Unit Attention Page 0", "CUnitAttention",
                                       kButtons1147, false, false, kUnitAttentionFields};
const ModePageTable kErrorRecoveryPage{0x01, 0x01, 159, "Error Recovery Page  1", "CErrorRecovery",
                                       kButtons1173, true, true, kErrorRecoveryFields};
const ModePageTable kDiscReconnectPage{0x02, 0x02, 160, "Disconnect/Reconnect Control Page 2", "CDiscReconnect",
                                       kButtons1173, true, false, kDiscReconnectFields};
const ModePageTable kFormatPage{0x03, 0x03, 161, "Format Parameters Page 3", "CFormatParmPage",
                                {1146, 1147, 1148}, false, false, kFormatFields};
const ModePageTable kGeometryPage{0x04, 0x04, 163, "Drive Geometry Page 4", "CDriveGeometry",
                                  kButtons1147, false, false, kGeometryFields};
const ModePageTable kVerifyPage{0x07, 0x07, 164, "Verify Error Recovery Page 7", "CVerifyErrRecovParms",
                                kButtons1147, false, false, kVerifyFields};
const ModePageTable kCachingPage{0x08, 0x08, 165, "Caching Page 8", "CCachingParms",
                                 kButtons1173, false, false, kCachingFields};
const ModePageTable kControlPage{0x0A, 0x0A, 166, "Control Mode Page A", "CControlMode",
                                 kButtons1147, false, false, kControlFields};
const ModePageTable kNotchPage{0x0C, 0x0C, 170, "Notch Page C", "CNotch", kButtons1147, false, false, kNotchFields};
const ModePageTable kPowerConditionPage{0x1A, 0x0D, 168, "Power Condition Page D/1A", "CPowerCondition",
                                        kButtons1147, false, false, kPowerConditionFields};
const ModePageTable kXorControlPage{0x10, 0x10, 171, "Xor Control Mode Page 10h", "CXorControlMode",
                                    kButtons1147, false, false, kXorControlFields};
const ModePageTable kInformationalExceptionsPage{0x1C, 0x1C, 169, "Informational Exceptions Control Page 1C",
                                                 "CInformExcepControl", kButtons1147, false, false,
                                                 kInformationalExceptionsFields};

}  // namespace

CUnitAttention::CUnitAttention() : CModePage(kUnitAttentionPage) {}
CErrorRecovery::CErrorRecovery() : CModePage(kErrorRecoveryPage) {}
CDiscReconnect::CDiscReconnect() : CModePage(kDiscReconnectPage) {}
CFormatParmPage::CFormatParmPage() : CModePage(kFormatPage) {}
CDriveGeometry::CDriveGeometry() : CModePage(kGeometryPage) {}
CVerifyErrRecovParms::CVerifyErrRecovParms() : CModePage(kVerifyPage) {}
CCachingParms::CCachingParms() : CModePage(kCachingPage) {}
CControlMode::CControlMode() : CModePage(kControlPage) {}
CNotch::CNotch() : CModePage(kNotchPage) {}
CPowerCondition::CPowerCondition() : CModePage(kPowerConditionPage) {}
CXorControlMode::CXorControlMode() : CModePage(kXorControlPage) {}
CInformExcepControl::CInformExcepControl() : CModePage(kInformationalExceptionsPage) {}
