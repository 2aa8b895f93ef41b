// Texts that links and objects show: resource texts and colour numbers.
#pragma once

#include "base/kel_types.h"

class KelLnkGraphWindow;

// A resource text: through the window's cache, or from the catalogue for a
// windowless link or object.
KelUnicodeString KelLnkResourceText(KelLnkGraphWindow* window, const KelString& key,
                                    const KelUnicodeString& defaultText);

// A colour number: the text read with "%d", 0 when it is not a number.
int KelLnkColourNumber(const KelUnicodeString& text);
