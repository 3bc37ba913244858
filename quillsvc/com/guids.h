// The program's own GUIDs: fixed once, never changed. Registration, the class factory, the language
// bar, the function provider and the candidate-list element all use these values.
#pragma once

#include <windows.h>

#include <string>

namespace quillet {

// The text service's class id.
inline constexpr CLSID kClsidTextService = {
    0x81e900f8, 0x0ae9, 0x4137, {0x87, 0x41, 0x5c, 0xeb, 0x21, 0xfe, 0x4f, 0x62}};
// Its language profile.
inline constexpr GUID kGuidProfile = {0x289d7e0d, 0xb7e8, 0x41c3, {0x82, 0x6a, 0x84, 0xa4, 0xe9, 0xc3, 0xc7, 0xa2}};
// The three language-bar items: open/close, tab list, active tab.
inline constexpr GUID kGuidLangBarItemEnable = {
    0xba534cb9, 0x8c6d, 0x4bf4, {0x85, 0xd1, 0x85, 0x4e, 0x8c, 0x31, 0xcb, 0x33}};
inline constexpr GUID kGuidLangBarItemSheetList = {
    0x6f9db9d8, 0xc06c, 0x419e, {0xaf, 0x29, 0xfc, 0x62, 0x99, 0xd3, 0x56, 0x41}};
inline constexpr GUID kGuidLangBarItemCurrSheet = {
    0x2fe210e5, 0xd7ac, 0x4f85, {0x8e, 0x8c, 0x63, 0x0f, 0x75, 0x77, 0xab, 0xaf}};

// The candidate list as the framework's UI element.
inline constexpr GUID kGuidCandidateListElement = {
    0xc6e50918, 0x16d8, 0x49b5, {0x8a, 0xa8, 0x60, 0xfc, 0x89, 0xe2, 0x0a, 0x44}};

// The registry text form of a GUID, "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
std::wstring GuidKeyText(const GUID& guid);

}  // namespace quillet
