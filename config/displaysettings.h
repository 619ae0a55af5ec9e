#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
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
  // Every field at its default (the defaults command "Alapértelmezett beállítások betöltése"),
  // no port chosen.
  static DisplaySettings Defaults();
  // The values the window's controls hold when it is created: the defaults, but no character
  // chosen in the three character lists.
  static DisplaySettings Initial();

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

// How a settings file holds a field.
enum class TKeyKind : std::uint8_t {
  kkINDEX,  // a list index, written in decimal
  kkSWITCH, // "1" on, "0" off
  kkTEXT,   // one line of text
  kkLINES,  // the description: its line breaks kept inside one value
  kkPORT,   // the chosen port's name, matched against the port list when read
};

// One key of the settings file: the field it holds and the field's default. An index or a switch
// goes through `number`/`setNumber` (a switch as 0 or 1), a text through `text`/`setText`.
struct TSettingsKey {
  std::string_view key;
  TKeyKind kind;
  std::int32_t defaultNumber = 0;
  std::string_view defaultText = {};
  std::int32_t (*number)(const DisplaySettings&) = nullptr;
  void (*setNumber)(DisplaySettings&, std::int32_t) = nullptr;
  std::string (*text)(const DisplaySettings&) = nullptr;
  void (*setText)(DisplaySettings&, std::string_view) = nullptr;
};

// The keys of the settings file in the order they are written, with every field's default: the
// one place the defaults are written. The port's default is the one a file without it names.
inline constexpr std::array<TSettingsKey, 18> kSettingsKeys = {{
    {.key = "bd",
     .kind = TKeyKind::kkINDEX,
     .defaultNumber = 5,
     .number = [](const DisplaySettings& s) { return s.bd(); },
     .setNumber = [](DisplaySettings& s, std::int32_t v) { s.SetBd(v); }},
    {.key = "pr",
     .kind = TKeyKind::kkINDEX,
     .defaultNumber = 3,
     .number = [](const DisplaySettings& s) { return s.pr(); },
     .setNumber = [](DisplaySettings& s, std::int32_t v) { s.SetPr(v); }},
    {.key = "tm",
     .kind = TKeyKind::kkINDEX,
     .defaultNumber = 13, // CR
     .number = [](const DisplaySettings& s) { return s.tm(); },
     .setNumber = [](DisplaySettings& s, std::int32_t v) { s.SetTm(v); }},
    {.key = "kr",
     .kind = TKeyKind::kkINDEX,
     .defaultNumber = 13, // CR
     .number = [](const DisplaySettings& s) { return s.kr(); },
     .setNumber = [](DisplaySettings& s, std::int32_t v) { s.SetKr(v); }},
    {.key = "le",
     .kind = TKeyKind::kkINDEX,
     .defaultNumber = 0,
     .number = [](const DisplaySettings& s) { return s.le(); },
     .setNumber = [](DisplaySettings& s, std::int32_t v) { s.SetLe(v); }},
    {.key = "lh",
     .kind = TKeyKind::kkINDEX,
     .defaultNumber = 0,
     .number = [](const DisplaySettings& s) { return s.lh(); },
     .setNumber = [](DisplaySettings& s, std::int32_t v) { s.SetLh(v); }},
    {.key = "fe",
     .kind = TKeyKind::kkINDEX,
     .defaultNumber = 0,
     .number = [](const DisplaySettings& s) { return s.fe(); },
     .setNumber = [](DisplaySettings& s, std::int32_t v) { s.SetFe(v); }},
    {.key = "tp",
     .kind = TKeyKind::kkINDEX,
     .defaultNumber = 0,
     .number = [](const DisplaySettings& s) { return s.tp(); },
     .setNumber = [](DisplaySettings& s, std::int32_t v) { s.SetTp(v); }},
    {.key = "bt",
     .kind = TKeyKind::kkINDEX,
     .defaultNumber = 0,
     .number = [](const DisplaySettings& s) { return s.bt(); },
     .setNumber = [](DisplaySettings& s, std::int32_t v) { s.SetBt(v); }},
    {.key = "hk",
     .kind = TKeyKind::kkINDEX,
     .defaultNumber = 114, // "r"
     .number = [](const DisplaySettings& s) { return s.hk(); },
     .setNumber = [](DisplaySettings& s, std::int32_t v) { s.SetHk(v); }},
    {.key = "or",
     .kind = TKeyKind::kkINDEX,
     .defaultNumber = 0,
     .number = [](const DisplaySettings& s) { return s.ora(); },
     .setNumber = [](DisplaySettings& s, std::int32_t v) { s.SetOra(v); }},
    {.key = "ht",
     .kind = TKeyKind::kkTEXT,
     .defaultText = "ERROR",
     .text = [](const DisplaySettings& s) { return s.ht(); },
     .setText = [](DisplaySettings& s, std::string_view v) { s.SetHt(std::string(v)); }},
    {.key = "nev",
     .kind = TKeyKind::kkTEXT,
     .defaultText = "M\xE9rleg", // Mérleg
     .text = [](const DisplaySettings& s) { return s.merlegnev(); },
     .setText = [](DisplaySettings& s, std::string_view v) { s.SetMerlegnev(std::string(v)); }},
    {.key = "au",
     .kind = TKeyKind::kkSWITCH,
     .defaultNumber = 1,
     .number = [](const DisplaySettings& s) -> std::int32_t { return s.au() ? 1 : 0; },
     .setNumber = [](DisplaySettings& s, std::int32_t v) { s.SetAu(v != 0); }},
    {.key = "ve",
     .kind = TKeyKind::kkINDEX,
     .defaultNumber = 1,
     .number = [](const DisplaySettings& s) { return s.verziogroup(); },
     .setNumber = [](DisplaySettings& s, std::int32_t v) { s.SetVerziogroup(v); }},
    {.key = "comment",
     .kind = TKeyKind::kkLINES,
     .text = [](const DisplaySettings& s) { return s.leiras(); },
     .setText = [](DisplaySettings& s, std::string_view v) { s.SetLeiras(v); }},
    {.key = "port",
     .kind = TKeyKind::kkPORT,
     .defaultText = "COM1",
     .text = [](const DisplaySettings& s) { return s.Comport_up(); },
     .setText = [](DisplaySettings& s, std::string_view v) { s.SetComport_up(std::string(v)); }},
    {.key = "nm",
     .kind = TKeyKind::kkSWITCH,
     .defaultNumber = 0,
     .number = [](const DisplaySettings& s) -> std::int32_t { return s.nm() ? 1 : 0; },
     .setNumber = [](DisplaySettings& s, std::int32_t v) { s.SetNm(v != 0); }},
}};

// The row of a key; a key that is not in the table does not compile where it is looked up at
// compile time.
constexpr const TSettingsKey& SettingsKey(std::string_view key) {
  for (const TSettingsKey& row : kSettingsKeys)
    if (row.key == key)
      return row;
  throw std::out_of_range("no such settings key");
}

} // namespace rv58
