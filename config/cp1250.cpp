#include "cp1250.h"

#include "utf8.h"

#include <array>

namespace rv58 {

namespace {

constexpr std::array<char16_t, 128> kUpperHalf = {
    0x20AC, 0x0081, 0x201A, 0x0083, 0x201E, 0x2026, 0x2020, 0x2021, 0x0088, 0x2030, 0x0160, 0x2039, 0x015A,
    0x0164, 0x017D, 0x0179, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x0098, 0x2122,
    0x0161, 0x203A, 0x015B, 0x0165, 0x017E, 0x017A, 0x00A0, 0x02C7, 0x02D8, 0x0141, 0x00A4, 0x0104, 0x00A6,
    0x00A7, 0x00A8, 0x00A9, 0x015E, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x017B, 0x00B0, 0x00B1, 0x02DB, 0x0142,
    0x00B4, 0x00B5, 0x00B6, 0x00B7, 0x00B8, 0x0105, 0x015F, 0x00BB, 0x013D, 0x02DD, 0x013E, 0x017C, 0x0154,
    0x00C1, 0x00C2, 0x0102, 0x00C4, 0x0139, 0x0106, 0x00C7, 0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A, 0x00CD,
    0x00CE, 0x010E, 0x0110, 0x0143, 0x0147, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x00D7, 0x0158, 0x016E, 0x00DA,
    0x0170, 0x00DC, 0x00DD, 0x0162, 0x00DF, 0x0155, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7,
    0x010D, 0x00E9, 0x0119, 0x00EB, 0x011B, 0x00ED, 0x00EE, 0x010F, 0x0111, 0x0144, 0x0148, 0x00F3, 0x00F4,
    0x0151, 0x00F6, 0x00F7, 0x0159, 0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD, 0x0163, 0x02D9,
};

} // namespace

char16_t Cp1250ToUnicode(unsigned char byte) {
  return byte < 0x80 ? byte : kUpperHalf[byte - 0x80u];
}

char Cp1250FromUnicode(char32_t codePoint) {
  if (codePoint < 0x80)
    return static_cast<char>(codePoint);
  for (std::size_t i = 0; i < kUpperHalf.size(); ++i)
    if (kUpperHalf[i] == codePoint)
      return static_cast<char>(0x80 + i);
  return '?';
}

std::string Cp1250ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 4);
  for (char c : text)
    AppendUtf8(out, Cp1250ToUnicode(static_cast<unsigned char>(c)));
  return out;
}

std::string Utf8ToCp1250(std::string_view text) {
  const auto isContinuation = [&](std::size_t k) {
    return k < text.size() && (static_cast<unsigned char>(text[k]) & 0xC0) == 0x80;
  };
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const auto seq = DecodeUtf8Sequence(text.substr(i));
    const char byte = seq ? Cp1250FromUnicode(seq->codePoint) : '?';
    out.push_back(byte);
    i += seq ? seq->length : 1;
    if (!seq || (byte == '?' && seq->codePoint != '?')) {
      // One mark for the whole sequence, with any stray continuation bytes after it.
      while (isContinuation(i))
        ++i;
    }
  }
  return out;
}

std::u16string Cp1250ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (char c : text)
    out.push_back(Cp1250ToUnicode(static_cast<unsigned char>(c)));
  return out;
}

std::string Utf16ToCp1250(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000)
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    out.push_back(Cp1250FromUnicode(c));
  }
  return out;
}

std::string SingleLine(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (static_cast<unsigned char>(c) < ' ' || c == '\x7f')
      c = ' ';
  return out;
}

unsigned char Cp1250UpperCase(unsigned char c) {
  if (c >= 'a' && c <= 'z')
    return static_cast<unsigned char>(c - 32);
  if (c >= 0xE0 && c != 0xF7 && c != 0xFF)
    return static_cast<unsigned char>(c - 32);
  switch (c) {
  case 0x9A: // š
  case 0x9C: // ś
  case 0x9D: // ť
  case 0x9E: // ž
  case 0x9F: // ź
    return static_cast<unsigned char>(c - 0x10);
  case 0xB3: // ł
    return 0xA3;
  case 0xB9: // ą
    return 0xA5;
  case 0xBA: // ş
    return 0xAA;
  case 0xBE: // ľ
    return 0xBC;
  case 0xBF: // ż
    return 0xAF;
  default:
    return c;
  }
}

} // namespace rv58
