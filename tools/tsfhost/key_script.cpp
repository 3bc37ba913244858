#include "tools/tsfhost/key_script.h"

#include <cstdlib>

#include "common/utf16.h"

namespace quillet::tsfhost {
namespace {

struct Named {
  std::u16string_view name;
  uint8_t key;
};

constexpr Named kNamedKeys[] = {{u"Enter", vk::kReturn}, {u"Tab", vk::kTab},      {u"Esc", vk::kEscape},
                                {u"Back", vk::kBack},    {u"Del", vk::kDelete},   {u"Left", vk::kLeft},
                                {u"Right", vk::kRight},  {u"Up", vk::kUp},        {u"Down", vk::kDown},
                                {u"PgUp", vk::kPrior},   {u"PgDn", vk::kNext},    {u"Home", vk::kHome},
                                {u"End", vk::kEnd},      {u"Caps", vk::kCapital}, {u"Space", vk::kSpace}};

// Shifted and plain characters on the keys of the US layout's punctuation.
struct Punct {
  char16_t plain;
  char16_t shifted;
  uint8_t key;
};
constexpr Punct kPunctuation[] = {{u';', u':', 0xBA},  {u'=', u'+', 0xBB}, {u',', u'<', 0xBC}, {u'-', u'_', 0xBD},
                                  {u'.', u'>', 0xBE},  {u'/', u'?', 0xBF}, {u'`', u'~', 0xC0}, {u'[', u'{', 0xDB},
                                  {u'\\', u'|', 0xDC}, {u']', u'}', 0xDD}, {u'\'', u'"', 0xDE}};
constexpr std::u16string_view kShiftedDigits = u")!@#$%^&*(";

// A whole non-negative decimal number, nothing else.
std::optional<int32_t> ParseNumber(std::u16string_view text) {
  if (text.empty() || text.size() > 6) return std::nullopt;
  int32_t value = 0;
  for (char16_t c : text) {
    if (c < u'0' || c > u'9') return std::nullopt;
    value = value * 10 + (c - u'0');
  }
  return value;
}

std::optional<KeyToken> ParseNamed(std::u16string_view body) {
  KeyToken token;
  // {Shift+Name}: a named key with Shift held (Shift+Space, Shift+Tab, ...).
  if (body.size() > 6 && body.substr(0, 6) == u"Shift+") {
    std::optional<KeyToken> shifted = ParseNamed(body.substr(6));
    if (!shifted || shifted->kind != KeyToken::Kind::kKey || shifted->ctrl || shifted->shift) return std::nullopt;
    shifted->shift = true;
    return shifted;
  }
  for (const Named& named : kNamedKeys) {
    if (body == named.name) {
      token.key = named.key;
      return token;
    }
  }
  if (body == u"Shift") {
    token.kind = KeyToken::Kind::kShiftTap;
    token.key = vk::kShift;
    return token;
  }
  if (body.size() == 4 && body.substr(0, 3) == u"Num" && body[3] >= u'0' && body[3] <= u'9') {
    token.key = static_cast<uint8_t>(vk::kNumpad0 + (body[3] - u'0'));
    return token;
  }
  if (body.size() == 6 && body.substr(0, 5) == u"Ctrl+") {
    const char16_t letter = body[5];
    if ((letter >= u'A' && letter <= u'Z') || (letter >= u'a' && letter <= u'z')) {
      token.key = static_cast<uint8_t>(letter & ~0x20);
      token.ctrl = true;
      return token;
    }
    return std::nullopt;
  }
  // {Ctrl+Name}: a named key with Ctrl held (Ctrl+Space).
  if (body.size() > 5 && body.substr(0, 5) == u"Ctrl+") {
    std::optional<KeyToken> held = ParseNamed(body.substr(5));
    if (!held || held->kind != KeyToken::Kind::kKey || held->ctrl || held->shift) return std::nullopt;
    held->ctrl = true;
    return held;
  }
  const struct {
    std::u16string_view name;
    KeyToken::Kind kind;
    int numbers;
  } kActions[] = {{u"Click", KeyToken::Kind::kClick, 1},    {u"ClickTab", KeyToken::Kind::kClickTab, 1},
                  {u"Blur", KeyToken::Kind::kBlur, 0},      {u"Focus", KeyToken::Kind::kFocus, 0},
                  {u"Caret", KeyToken::Kind::kCaret, 1},    {u"Terminate", KeyToken::Kind::kTerminate, 0},
                  {u"Item", KeyToken::Kind::kItem, 1},      {u"Menu", KeyToken::Kind::kMenu, 2},
                  {u"Open", KeyToken::Kind::kOpenClose, 0}, {u"Close", KeyToken::Kind::kOpenClose, 0}};
  const size_t space = body.find(u' ');
  const std::u16string_view name = body.substr(0, space);
  if (name == u"Wait" || name == u"Busy") {
    const std::u16string_view event = space == std::u16string_view::npos ? u"" : body.substr(space + 1);
    if (event.empty() || event.find(u' ') != std::u16string_view::npos) return std::nullopt;
    token.kind = name == u"Wait" ? KeyToken::Kind::kWait : KeyToken::Kind::kBusy;
    token.name = std::u16string(event);
    return token;
  }
  for (const auto& action : kActions) {
    if (name != action.name) continue;
    token.kind = action.kind;
    if (action.kind == KeyToken::Kind::kOpenClose) token.number = name == u"Open" ? 1 : 0;
    std::u16string_view rest = space == std::u16string_view::npos ? u"" : body.substr(space + 1);
    for (int i = 0; i < action.numbers; ++i) {
      const size_t end = rest.find(u' ');
      const auto number = ParseNumber(rest.substr(0, end));
      if (!number) return std::nullopt;
      (i == 0 ? token.number : token.second) = *number;
      rest = end == std::u16string_view::npos ? u"" : rest.substr(end + 1);
    }
    if (!rest.empty() || (action.numbers == 0 && space != std::u16string_view::npos)) {
      return std::nullopt;
    }
    return token;
  }
  return std::nullopt;
}

}  // namespace

std::optional<UsKey> UsKeyFor(char16_t c) {
  if (c >= u'a' && c <= u'z') return UsKey{static_cast<uint8_t>(c - u'a' + 'A'), false};
  if (c >= u'A' && c <= u'Z') return UsKey{static_cast<uint8_t>(c), true};
  if (c >= u'0' && c <= u'9') return UsKey{static_cast<uint8_t>(c), false};
  if (c == u' ') return UsKey{vk::kSpace, false};
  if (const size_t digit = kShiftedDigits.find(c); digit != std::u16string_view::npos) {
    return UsKey{static_cast<uint8_t>('0' + digit), true};
  }
  for (const Punct& p : kPunctuation) {
    if (c == p.plain) return UsKey{p.key, false};
    if (c == p.shifted) return UsKey{p.key, true};
  }
  return std::nullopt;
}

std::optional<std::vector<KeyToken>> ParseKeyScript(std::u16string_view script, std::string* error) {
  std::vector<KeyToken> tokens;
  size_t i = 0;
  while (i < script.size()) {
    const char16_t c = script[i];
    if (c == u'{' && i + 1 < script.size() && script[i + 1] == u'{') {
      KeyToken token;
      const UsKey brace = *UsKeyFor(u'{');
      token.key = brace.key;
      token.shift = brace.shift;
      token.label = u"{{";
      tokens.push_back(std::move(token));
      i += 2;
      continue;
    }
    if (c == u'{') {
      const size_t close = script.find(u'}', i);
      if (close == std::u16string_view::npos) {
        *error = "unclosed '{' at position " + std::to_string(i);
        return std::nullopt;
      }
      const std::u16string_view body = script.substr(i + 1, close - i - 1);
      std::optional<KeyToken> token = ParseNamed(body);
      if (!token) {
        *error = "unknown token {" + ToUtf8(body) + "} at position " + std::to_string(i);
        return std::nullopt;
      }
      token->label = std::u16string(script.substr(i, close - i + 1));
      tokens.push_back(std::move(*token));
      i = close + 1;
      continue;
    }
    const std::optional<UsKey> key = UsKeyFor(c);
    if (!key) {
      *error = "no US-layout key types '" + ToUtf8(std::u16string_view(&c, 1)) + "' at position " + std::to_string(i);
      return std::nullopt;
    }
    KeyToken token;
    token.key = key->key;
    token.shift = key->shift;
    token.label = std::u16string(1, c);
    tokens.push_back(std::move(token));
    ++i;
  }
  return tokens;
}

}  // namespace quillet::tsfhost
