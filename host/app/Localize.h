#pragma once
// The host's localisation of user-visible texts. A text may end in a key
// suffix "[[key]]" (as in "Custom[[0801]]"): the suffix is removed, and the
// text shown is the catalogue's entry for the key, else for the numeric id,
// else for the text without suffix, else that text itself. Only a suffix
// at the very end with a non-empty key free of brackets counts; any other
// bracket text is left as it is.

#include <string_view>
#include <vector>

#include "host/platform/Menu.h"
#include "host/toolkit/String.h"

// The text with its "[[key]]" suffix removed; key receives the key (empty
// when there is no well-formed suffix).
std::wstring_view KvSplitLocalizeKey(std::wstring_view text, std::wstring_view* key = nullptr);

TK_wString KvLocalizeString(const wchar_t* text, int id = 0);

// Command option names and values are single words: after localising,
// every character other than a letter, digit or underscore is dropped; a
// translation left empty by that falls back to the untranslated word.
TK_wString KvLocalizeCommandOptionName(const wchar_t* text, int id = 0);
TK_wString KvLocalizeCommandOptionValue(const wchar_t* text, int id = 0);

// Localises every text of the menu and its popups in place; flags are
// reserved (pass 0). Answers the number of texts changed.
int KvLocalizeMenus(KvMenuItem& menu, unsigned flags);
