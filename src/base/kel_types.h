// Basic value types shared by the module and the host layer.
//
// The host's string type is a byte string holding UTF-8 text. Host lists are
// plain vectors: the module's algorithms speak of positions 1..n, the code
// uses 0-based indices and keeps the same order.
#pragma once

#include <string>
#include <vector>

using KelUnicodeString = std::string;  // every name, text and SQL statement
using KelString = std::string;         // 8-bit text, used for resource keys

using KelListValKelUnicodeString = std::vector<KelUnicodeString>;
using KelRawCollint = std::vector<int>;
using KelRawColldouble = std::vector<double>;
