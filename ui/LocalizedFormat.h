#pragma once
// Formatting of localised texts that carry integer conversions, as in
// "Rendering...(%d%%)". A translation is a format string from a file, so it
// is checked before use: only "%%" and integer conversions, as many as the
// values given.

#include <initializer_list>

#include "host/toolkit/String.h"

// The localised text formatted with the values. A translation whose
// conversions do not fit the values falls back to the untranslated text; an
// untranslated text that does not fit either comes back unformatted.
TK_wString FormatLocalized(const wchar_t* text, std::initializer_list<int> values);

// The number of integer conversions ("%d", "%i" with flags, a width and a
// precision of at most three digits each) in format, or -1 when it holds any
// other conversion.
int CountIntegerConversions(const TK_wString& format);
