#pragma once

// UTF-8, one codec for the program: the code-page conversion (cp1250.h) and the rich label's
// persisted caption both read and write it through here.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace rv58 {

// One UTF-8 sequence at the start of `bytes`.
struct Utf8Sequence {
  char32_t codePoint = 0;
  std::size_t length = 0; // bytes taken
};

// The sequence at the start of `bytes` (not empty), or nothing when it is malformed: a stray or
// cut-short sequence, an overlong form, a surrogate, a value past U+10FFFF.
std::optional<Utf8Sequence> DecodeUtf8Sequence(std::string_view bytes);

// Appends the code point's UTF-8 form.
void AppendUtf8(std::string& out, char32_t codePoint);

// Strict UTF-8: any malformed sequence fails the whole text.
std::optional<std::u16string> DecodeUtf8Strict(std::string_view bytes);
// Lone surrogates become U+FFFD.
std::string EncodeUtf8(std::u16string_view text);

} // namespace rv58
