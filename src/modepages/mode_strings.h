#pragma once

// String-table entries of the mode page editor: the field exchange's
// messages under their resource ids, and the caption of its message box.

inline constexpr const char* kModeMessageCaption = "Kestrion";

inline constexpr int kIdsNibbleRange = 57682;
inline constexpr int kIdsByteRange = 61448;
inline constexpr int kIdsWordRange = 61447;
inline constexpr int kIdsTripleRange = 57684;
inline constexpr int kIdsDwordRange = 57685;
inline constexpr int kIdsQwordRange = 61449;

// The text of one of the ids above; empty for any other id.
const char* LoadModeString(int id);

// The decimal fields' messages (a number that is not one, one out of range).
inline constexpr const char* kMsgParseUnsigned = "Please enter a positive integer.";
// "%u" minimum, "%u" maximum.
inline constexpr const char* kMsgUnsignedRange = "Please enter an integer between %u and %u.";

// A field whose new value would change bits the drive cannot change: its
// label, the value and the changeable bits, in the field's hexadecimal.
inline constexpr const char* kMsgFixedBits =
    "\"%s\" cannot be set to %s on this drive: it can change only the bits %s";
