// Feeds arbitrary bytes to the label as its UTF-8 caption, with layout settings taken from
// the first bytes, and checks that every laid-out item stays consistent.
#include "labelcore.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

class TFuzzMeasurer : public rv58::ITextMeasurer {
public:
  TExtent TextExtent(const rv58::TLabelFont& font, std::u16string_view text) override {
    // Width grows with the text (some characters are wider), height with the size.
    int width = 0;
    for (char16_t c : text) {
      width += 4 + (c % 7);
    }
    return TExtent{width, 2 + font.PointSize() % 200};
  }
  int Descent(const rv58::TLabelFont& font) override { return font.PointSize() % 200 / 4; }
};

void Check(bool ok) {
  if (!ok) {
    std::abort();
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) {
    return 0;
  }
  TFuzzMeasurer measurer;
  rv58::TMDLabelCore core(measurer);
  core.AutoSizeWidth = (data[0] & 1) != 0;
  core.CompressSpaces = (data[0] & 2) != 0;
  core.TextAlignment = static_cast<rv58::TAlignment>((data[0] >> 2) % 3);
  core.MaxWidth = (data[0] & 16) ? data[1] * 2 : 0;
  core.Width = data[2] * 3;
  core.TabWidth = data[3] % 12;
  const std::string bytes(reinterpret_cast<const char*>(data + 4), size - 4);
  const auto decoded = rv58::DecodeUtf8Strict(bytes);
  core.Caption = decoded ? *decoded : u"invalid UTF8";
  if (decoded) {
    Check(rv58::DecodeUtf8Strict(rv58::EncodeUtf8(*decoded)) == decoded);
  }
  core.Rebuild();
  for (int i = 0; i < 3 && core.RelayoutPending; ++i) {
    core.RelayoutPending = false;
    core.LayoutLines();
  }
  int y = 0;
  for (const auto& line : core.Lines()) {
    for (const rv58::TWordInfo* item : line->Items) {
      Check(item->Rect.Top >= y && item->Rect.Bottom <= y + line->Height);
      Check(item->Rect.Right - item->Rect.Left == item->Width);
    }
    y += line->Height;
  }
  Check(core.Height == y);
  Check(core.LinkRects().size() <= core.Tokens().size());
  // Pointer traffic over the laid-out links.
  core.PaintItems(nullptr);
  std::size_t budget = 64; // each step lays out again
  for (const auto& r : core.LinkRects()) {
    if (budget-- == 0) {
      break;
    }
    core.MouseMove(r.Rect.Left, r.Rect.Top + 1);
    core.LayoutLines();
    core.MouseDown(true, r.Rect.Left, r.Rect.Top);
    core.MouseUp(true, r.Rect.Left, r.Rect.Top);
  }
  core.MouseLeave();
  return 0;
}
