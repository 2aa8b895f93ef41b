// Small text helpers shared by the module and the host layer.
#pragma once

#include <string_view>

#include "base/kel_types.h"

// The text without its leading and trailing blanks (" " only).
KelUnicodeString StripBlanks(const KelUnicodeString& text);
// The text without its trailing blanks.
KelUnicodeString RightTrimBlanks(const KelUnicodeString& text);
// The same as a view into `text`.
std::string_view RightTrimmedBlanks(std::string_view text);
// A timestamp as links and objects compare them: its last six characters
// (the fraction of "YYYY-MM-DD HH:MM:SS.ffffff") replaced by "000000". A text
// shorter than six characters is kept whole; an empty one stays empty.
KelUnicodeString ZeroTimestampFraction(const KelUnicodeString& text);
// The same, in place.
void ZeroTimestampFractionOf(KelUnicodeString& text);
// Appends the bytes as upper-case hexadecimal digits, two per byte.
void AppendHexDigits(std::string_view bytes, std::string& out);
