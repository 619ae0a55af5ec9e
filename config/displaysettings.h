#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace rv58 {

// All texts below are Windows-1250 byte strings; accented letters are written as escaped bytes,
// with the readable text in a comment.

// Names of the character codes 0 to 32, as the character choice list shows them.
inline constexpr std::array<std::string_view, 33> ControlCharacterNames = {
    "NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL", "BS",  "TAB", "LF",
    "VT",  "FF",  "CR",  "SO",  "SI",  "DLE", "DC1", "DC2", "DC3", "DC4", "NAK",
    "SYN", "ETB", "CAN", "EM",  "SUB", "ESC", "FS",  "GS",  "RS",  "US",  "SPACE"};

// The 127 items of the character choice list (terminator `tm`, required character `kr`, error
// character `hk`); the index is the character code: "#0 (NUL)" ... "#32 (SPACE)", then "!" ... "~".
const std::vector<std::string>& CharacterChoiceList();

// The value lists of the drop-down lists and radio groups, item by item.
const std::vector<std::string>& BdItems();          // 11 baud rates, "300" ... "57600"
const std::vector<std::string>& PrItems();          // 24 character formats, "5N1" ... "8O2"
const std::vector<std::string>& LevagasItems();     // `le` and `lh`: "0 (nincs levágás)", "1" ... "20"
const std::vector<std::string>& BtItems();          // 3 fonts
const std::vector<std::string>& FeItems();          // 7 brightness levels
const std::vector<std::string>& TpItems();          // 5 decimal point positions
const std::vector<std::string>& OraItems();         // 4 clock display choices (radio group)
const std::vector<std::string>& VerziogroupItems(); // 2 display versions (radio group)

// Index of the character format with the given data bits (5-8), parity (0 N, 1 E, 2 O) and
// stop bits (1-2): (data bits - 5) + 4 * (stop bits - 1) + 8 * parity.
constexpr std::int32_t PrIndex(int dataBits, int parity, int stopBits) {
  return (dataBits - 5) + 4 * (stopBits - 1) + 8 * parity;
}

// The error text holds at most this many characters: its box cuts what the program puts there
// as well, so the window and rv58ctl send the same text for the same file.
inline constexpr std::size_t kHtMaxLength = 6;

// Characters the error text cannot carry: the comma separates the message's fields, "<" and ">"
// open and end the display's frame.
inline constexpr std::string_view kHtRefusedCharacters = ",<>";

// The error text filter for typing: a refused character is swallowed, every other key passes.
constexpr bool HtKeyAccepted(char typed) {
  return kHtRefusedCharacters.find(typed) == std::string_view::npos;
}

// One snapshot of the main window's settings controls, one field per control, named after it.
// Setters behave like the controls: a drop-down list set to an index outside its list chooses
// nothing (-1); a radio group clamps (below -1 gives -1, past the last button gives the last).
class DisplaySettings {
public:
  // The values the window's controls hold when it is created: no character chosen, no port.
  static DisplaySettings Initial();

  // The defaults command ("Alapértelmezett beállítások betöltése", `alapbuttonClick`): every
  // field set to its default, `Comport_up` unchanged.
  void ApplyDefaults();

  // Texts.
  const std::string& merlegnev() const { return merlegnev_; }
  void SetMerlegnev(std::string text) { merlegnev_ = std::move(text); }
  // The description as the text of all its lines, each followed by CR LF ("" when empty).
  const std::string& leiras() const { return leiras_; }
  // Accepts CR LF, LF or CR line breaks; a final line break ends the last line.
  void SetLeiras(std::string_view text);
  // The description's lines (without line breaks).
  std::vector<std::string> LeirasLines() const;
  const std::string& ht() const { return ht_; }
  // Cut to kHtMaxLength as the box cuts it; not filtered otherwise: only typing is.
  void SetHt(std::string text) {
    if (text.size() > kHtMaxLength)
      text.resize(kHtMaxLength);
    ht_ = std::move(text);
  }

  // Drop-down lists: index in their list, or -1.
  std::int32_t bd() const { return bd_; }
  void SetBd(std::int32_t index);
  std::string BdText() const; // the chosen baud rate's text, "" when nothing is chosen
  std::int32_t pr() const { return pr_; }
  void SetPr(std::int32_t index);
  std::int32_t tm() const { return tm_; }
  void SetTm(std::int32_t index);
  std::int32_t kr() const { return kr_; }
  void SetKr(std::int32_t index);
  std::int32_t le() const { return le_; }
  void SetLe(std::int32_t index);
  std::int32_t lh() const { return lh_; }
  void SetLh(std::int32_t index);
  std::int32_t bt() const { return bt_; }
  void SetBt(std::int32_t index);
  std::int32_t fe() const { return fe_; }
  void SetFe(std::int32_t index);
  std::int32_t tp() const { return tp_; }
  void SetTp(std::int32_t index);
  std::int32_t hk() const { return hk_; }
  void SetHk(std::int32_t index);
  // Texts of the chosen characters ("" when nothing is chosen).
  std::string TmText() const;
  std::string KrText() const;
  std::string HkText() const;

  // Radio groups: clamped to -1 ... last.
  std::int32_t ora() const { return ora_; }
  void SetOra(std::int32_t index);
  std::int32_t verziogroup() const { return verziogroup_; }
  void SetVerziogroup(std::int32_t index);

  // Check boxes.
  bool nm() const { return nm_; }
  void SetNm(bool on) { nm_ = on; }
  bool au() const { return au_; }
  void SetAu(bool on) { au_ = on; }

  // The chosen upload port's name ("COM3"), "" when none is chosen.
  const std::string& Comport_up() const { return comportUp_; }
  void SetComport_up(std::string portName) { comportUp_ = std::move(portName); }

  // The ">" button (`Button1Click`): the required character takes the terminator's index.
  void CopyTmToKr() { kr_ = tm_; }

  bool operator==(const DisplaySettings&) const = default;

private:
  std::string merlegnev_;
  std::string leiras_;
  std::int32_t bd_ = -1;
  std::int32_t pr_ = -1;
  std::int32_t tm_ = -1;
  std::int32_t kr_ = -1;
  std::int32_t le_ = -1;
  std::int32_t lh_ = -1;
  bool nm_ = false;
  std::int32_t bt_ = -1;
  std::int32_t fe_ = -1;
  std::int32_t tp_ = -1;
  bool au_ = false;
  std::int32_t hk_ = -1;
  std::string ht_;
  std::int32_t ora_ = -1;
  std::int32_t verziogroup_ = -1;
  std::string comportUp_;
};

} // namespace rv58
