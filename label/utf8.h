#pragma once

// The label's UTF-8 codec: its persisted caption is UTF-8, its text UTF-16.

#include <optional>
#include <string>
#include <string_view>

namespace rv58 {

// Strict UTF-8: any malformed sequence (overlong form, surrogate, beyond U+10FFFF, cut short)
// fails the whole text.
std::optional<std::u16string> DecodeUtf8Strict(std::string_view bytes);
// Lone surrogates become U+FFFD.
std::string EncodeUtf8(std::u16string_view text);

} // namespace rv58
