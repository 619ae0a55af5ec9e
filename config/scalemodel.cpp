#include "scalemodel.h"

#include <algorithm>
#include <cctype>

namespace rv58 {

namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

bool IsPoint(char c) {
  return c == '.' || c == ',';
}

bool Contains(std::string_view frame, std::int32_t code) {
  return frame.find(static_cast<char>(code)) != std::string_view::npos;
}

} // namespace

FrameSettings FrameSettings::From(const DisplaySettings& s) {
  FrameSettings f;
  f.tm = s.tm();
  f.kr = s.kr();
  f.le = s.le();
  f.lh = s.lh();
  f.nm = s.nm();
  f.tp = s.tp();
  f.bt = s.bt();
  f.au = s.au();
  f.hk = s.hk();
  f.ht = s.ht();
  return f;
}

int DisplayWidth(std::int32_t bt) {
  return bt == 2 ? 6 : 5;
}

std::string DropLeadingZeros(std::string_view text) {
  std::size_t at = 0;
  while (at < text.size() && text[at] == ' ')
    ++at;
  if (at < text.size() && (text[at] == '+' || text[at] == '-'))
    ++at;
  std::size_t end = at;
  while (end < text.size() && text[end] == '0' && end + 1 < text.size() && IsDigit(text[end + 1]))
    ++end;
  std::string out(text.substr(0, at));
  out += text.substr(end);
  return out;
}

std::string PlaceDecimalPoint(std::string_view text, int decimals) {
  if (decimals <= 0 || std::any_of(text.begin(), text.end(), IsPoint))
    return std::string(text);
  const std::size_t last = text.find_last_of("0123456789");
  if (last == std::string_view::npos)
    return std::string(text);
  std::size_t first = last;
  while (first > 0 && IsDigit(text[first - 1]))
    --first;
  std::string digits(text.substr(first, last + 1 - first));
  const auto needed = static_cast<std::size_t>(decimals) + 1;
  if (digits.size() < needed)
    digits.insert(0, needed - digits.size(), '0');
  digits.insert(digits.size() - static_cast<std::size_t>(decimals), 1, '.');
  std::string out(text.substr(0, first));
  out += digits;
  out += text.substr(last + 1);
  return out;
}

std::size_t DisplayCells(std::string_view text) {
  std::size_t cells = 0;
  for (std::size_t i = 0; i < text.size(); ++i)
    if (!(text[i] == '.' && i > 0 && text[i - 1] != '.'))
      ++cells;
  return cells;
}

DisplayFrame EvaluateFrame(const FrameSettings& s, std::string_view frame) {
  DisplayFrame out;
  out.bytes = std::string(frame);
  if (s.kr >= 0 && !Contains(frame, s.kr))
    return out; // invalid
  if (s.hk >= 0 && Contains(frame, s.hk)) {
    out.kind = FrameKind::fkERROR;
    out.text = s.ht;
  } else {
    out.kind = FrameKind::fkOK;
    std::string_view body = frame;
    if (s.tm >= 0 && !body.empty() && body.back() == static_cast<char>(s.tm)) {
      out.terminator = 1;
      body.remove_suffix(1);
    }
    out.cutFront = std::min<std::size_t>(body.size(), static_cast<std::size_t>(std::max(0, s.le)));
    body.remove_prefix(out.cutFront);
    out.cutBack = std::min<std::size_t>(body.size(), static_cast<std::size_t>(std::max(0, s.lh)));
    body.remove_suffix(out.cutBack);
    std::string text(body);
    if (s.nm)
      text = DropLeadingZeros(text);
    out.text = PlaceDecimalPoint(text, s.tp);
  }
  out.fits = DisplayCells(out.text) <= static_cast<std::size_t>(DisplayWidth(s.bt));
  return out;
}

std::vector<std::string> TFrameSplitter::Feed(std::string_view bytes) {
  std::vector<std::string> frames;
  if (tm_ < 0) {
    pending_ += bytes;
  } else {
    const char term = static_cast<char>(tm_);
    for (;;) {
      const std::size_t at = bytes.find(term);
      if (at == std::string_view::npos) {
        pending_ += bytes;
        break;
      }
      pending_ += bytes.substr(0, at + 1);
      frames.push_back(std::move(pending_));
      pending_.clear();
      bytes.remove_prefix(at + 1);
    }
  }
  if (pending_.size() > limit_)
    pending_.erase(0, pending_.size() - limit_);
  return frames;
}

void TDisplayPreview::Show(const DisplayFrame& frame, double now) {
  if (frame.kind == FrameKind::fkINVALID)
    return;
  lastValid_ = now;
  text_ = frame.text;
}

bool TDisplayPreview::Blank(const FrameSettings& settings, double now) const {
  if (!lastValid_)
    return true;
  return settings.au && now - *lastValid_ >= kBlankAfterSeconds;
}

std::string TDisplayPreview::Text(const FrameSettings& settings, double now) const {
  return Blank(settings, now) ? std::string() : text_;
}

std::string FrameForHuman(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() + 8);
  for (const char c : bytes) {
    const auto code = static_cast<unsigned char>(c);
    if (code < 32) {
      out += '<';
      out += ControlCharacterNames[code];
      out += '>';
    } else if (code == 127) {
      out += "<DEL>";
    } else {
      out += c;
    }
  }
  return out;
}

std::uint8_t SevenSegments(char c) {
  // a=1 b=2 c=4 d=8 e=16 f=32 g=64
  switch (std::toupper(static_cast<unsigned char>(c))) {
  case '0':
  case 'O':
    return 0x3F;
  case 'D':
    return 0x5E;
  case '1':
  case 'I':
    return 0x06;
  case '2':
  case 'Z':
    return 0x5B;
  case '3':
    return 0x4F;
  case '4':
    return 0x66;
  case '5':
  case 'S':
    return 0x6D;
  case '6':
    return 0x7D;
  case '7':
    return 0x07;
  case '8':
    return 0x7F;
  case 'B':
    return 0x7C;
  case '9':
    return 0x6F;
  case 'G':
    return 0x3D;
  case 'A':
    return 0x77;
  case 'C':
    return 0x39;
  case 'E':
    return 0x79;
  case 'F':
    return 0x71;
  case 'H':
  case 'X':
  case 'K':
    return 0x76;
  case 'J':
    return 0x1E;
  case 'L':
    return 0x38;
  case 'N':
    return 0x54;
  case 'P':
    return 0x73;
  case 'R':
    return 0x50;
  case 'T':
    return 0x78;
  case 'U':
  case 'V':
  case 'W':
    return 0x3E;
  case 'Y':
    return 0x6E;
  case '-':
    return 0x40;
  case '_':
    return 0x08;
  case '=':
    return 0x48;
  default:
    return 0;
  }
}

} // namespace rv58
