// The five built-in colour schemes a tab can take. A template holds only a tab's colours (its
// 168-byte appearance block), not fonts or visibility flags. A new tab starts with template 0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "common/settings_record.h"

namespace quillet {

constexpr size_t kTemplateCount = 5;
constexpr size_t kTemplateNameCapacity = 50;  // characters, terminator included

inline size_t TemplateCount() { return kTemplateCount; }
// Name of template k as listed on the appearance page; empty for k out of range.
std::u16string_view TemplateName(size_t k);
// The 168-byte appearance block of template k, in the tab record's layout; nullptr for k out of range.
const uint8_t* TemplateBlock(size_t k);
// Template k's colours decoded; all zero for k out of range.
TabAppearance TemplateColors(size_t k);
// Copies template k's block over the appearance of valid tab `tab`; nothing else changes. False when
// k or tab is out of range.
bool ApplyTemplate(SettingsView s, size_t tab, size_t k);

}  // namespace quillet
