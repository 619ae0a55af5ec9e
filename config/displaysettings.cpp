#include "displaysettings.h"

#include <algorithm>

namespace rv58 {

namespace {

std::vector<std::string> MakeCharacterChoiceList() {
  std::vector<std::string> items;
  items.reserve(127);
  for (int code = 0; code <= 32; ++code)
    items.push_back("#" + std::to_string(code) + " (" +
                    std::string(ControlCharacterNames[static_cast<std::size_t>(code)]) + ")");
  for (int code = 33; code <= 126; ++code)
    items.emplace_back(1, static_cast<char>(code));
  return items;
}

std::int32_t ListIndex(std::int32_t index, std::size_t count) {
  return index >= 0 && static_cast<std::size_t>(index) < count ? index : -1;
}

std::int32_t RadioIndex(std::int32_t index, std::size_t count) {
  return std::clamp(index, -1, static_cast<std::int32_t>(count) - 1);
}

std::string ItemText(const std::vector<std::string>& items, std::int32_t index) {
  return index >= 0 && static_cast<std::size_t>(index) < items.size() ? items[static_cast<std::size_t>(index)]
                                                                      : std::string();
}

} // namespace

const std::vector<std::string>& CharacterChoiceList() {
  static const std::vector<std::string> items = MakeCharacterChoiceList();
  return items;
}

const std::vector<std::string>& BdItems() {
  static const std::vector<std::string> items = {"300",   "600",   "1200",  "2400",  "4800", "9600",
                                                 "14400", "19200", "28800", "38400", "57600"};
  return items;
}

const std::vector<std::string>& PrItems() {
  static const std::vector<std::string> items = {"5N1", "6N1", "7N1", "8N1", "5N2", "6N2", "7N2", "8N2",
                                                 "5E1", "6E1", "7E1", "8E1", "5E2", "6E2", "7E2", "8E2",
                                                 "5O1", "6O1", "7O1", "8O1", "5O2", "6O2", "7O2", "8O2"};
  return items;
}

const std::vector<std::string>& LevagasItems() {
  static const std::vector<std::string> items = [] {
    std::vector<std::string> v{"0 (nincs lev\xE1g\xE1s)"}; // 0 (nincs levágás)
    for (int n = 1; n <= 20; ++n)
      v.push_back(std::to_string(n));
    return v;
  }();
  return items;
}

const std::vector<std::string>& BtItems() {
  static const std::vector<std::string> items = {
      "Sz\xE9les (5 karakter)", // Széles (5 karakter)
      "V\xE9kony (5 karakter)", // Vékony (5 karakter)
      "Keskeny (6 karakter)",
  };
  return items;
}

const std::vector<std::string>& FeItems() {
  static const std::vector<std::string> items = {
      "Automatikus (s\xF6t\xE9t)", // Automatikus (sötét)
      "Automatikus (k\xF6zepes)",  // Automatikus (közepes)
      "Automatikus (vil\xE1gos)",  // Automatikus (világos)
      "25%",
      "50%",
      "75%",
      "100%",
  };
  return items;
}

const std::vector<std::string>& TpItems() {
  static const std::vector<std::string> items = {"0 - Nincs", "0.0", "0.00", "0.000", "0.0000"};
  return items;
}

const std::vector<std::string>& OraItems() {
  static const std::vector<std::string> items = {
      "Ne jelen\xEDtse meg az \xF3r\xE1t",                   // Ne jelenítse meg az órát
      "Megjelen\xEDt\xE9s, ha a m\xE9rt t\xF6meg 0",         // Megjelenítés, ha a mért tömeg 0
      "Megjelen\xEDt\xE9s, ha a m\xE9rleg ki van kapcsolva", // Megjelenítés, ha a mérleg ki van kapcsolva
      // Megjelenítés 0 tömegnél, és kikapcsolt állapotban is
      "Megjelen\xEDt\xE9s 0 t\xF6megn\xE9l, \xE9s kikapcsolt \xE1llapotban is",
  };
  return items;
}

const std::vector<std::string>& VerziogroupItems() {
  static const std::vector<std::string> items = {
      "1. r\xE9gi verzi\xF3 (~2020-2024)", // 1. régi verzió (~2020-2024)
      "2. \xFAj verzi\xF3 (~2024-) \xE9s az \xF6sszes r\xE1"
      "di\xF3s", // 2. új verzió (~2024-) és az összes rádiós
  };
  return items;
}

DisplaySettings DisplaySettings::Defaults() {
  DisplaySettings s;
  for (const TSettingsKey& row : kSettingsKeys) {
    switch (row.kind) {
    case TKeyKind::kkINDEX:
    case TKeyKind::kkSWITCH:
      row.setNumber(s, row.defaultNumber);
      break;
    case TKeyKind::kkTEXT:
    case TKeyKind::kkLINES:
      row.setText(s, row.defaultText);
      break;
    case TKeyKind::kkPORT:
      break; // the defaults choose no port
    }
  }
  return s;
}

DisplaySettings DisplaySettings::Initial() {
  DisplaySettings s = Defaults();
  s.SetTm(-1);
  s.SetKr(-1);
  s.SetHk(-1);
  return s;
}

void DisplaySettings::SetLeiras(std::string_view text) {
  // A multi-line text box keeps lines; its text is every line followed by CR LF.
  std::string out;
  out.reserve(text.size() + 2);
  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t j = i;
    while (j < text.size() && text[j] != '\r' && text[j] != '\n')
      ++j;
    out.append(text.substr(i, j - i)).append("\r\n");
    if (j < text.size() && text[j] == '\r' && j + 1 < text.size() && text[j + 1] == '\n')
      j += 2;
    else if (j < text.size())
      j += 1;
    i = j;
  }
  leiras_ = std::move(out);
}

std::vector<std::string> DisplaySettings::LeirasLines() const {
  std::vector<std::string> lines;
  std::size_t i = 0;
  while (i < leiras_.size()) {
    const std::size_t j = leiras_.find("\r\n", i);
    lines.push_back(leiras_.substr(i, j - i));
    i = j + 2;
  }
  return lines;
}

void DisplaySettings::SetBd(std::int32_t index) {
  bd_ = ListIndex(index, BdItems().size());
}
void DisplaySettings::SetPr(std::int32_t index) {
  pr_ = ListIndex(index, PrItems().size());
}
void DisplaySettings::SetTm(std::int32_t index) {
  tm_ = ListIndex(index, CharacterChoiceList().size());
}
void DisplaySettings::SetKr(std::int32_t index) {
  kr_ = ListIndex(index, CharacterChoiceList().size());
}
void DisplaySettings::SetLe(std::int32_t index) {
  le_ = ListIndex(index, LevagasItems().size());
}
void DisplaySettings::SetLh(std::int32_t index) {
  lh_ = ListIndex(index, LevagasItems().size());
}
void DisplaySettings::SetBt(std::int32_t index) {
  bt_ = ListIndex(index, BtItems().size());
}
void DisplaySettings::SetFe(std::int32_t index) {
  fe_ = ListIndex(index, FeItems().size());
}
void DisplaySettings::SetTp(std::int32_t index) {
  tp_ = ListIndex(index, TpItems().size());
}
void DisplaySettings::SetHk(std::int32_t index) {
  hk_ = ListIndex(index, CharacterChoiceList().size());
}
void DisplaySettings::SetOra(std::int32_t index) {
  ora_ = RadioIndex(index, OraItems().size());
}
void DisplaySettings::SetVerziogroup(std::int32_t index) {
  verziogroup_ = RadioIndex(index, VerziogroupItems().size());
}

std::string DisplaySettings::BdText() const {
  return ItemText(BdItems(), bd_);
}
std::string DisplaySettings::TmText() const {
  return ItemText(CharacterChoiceList(), tm_);
}
std::string DisplaySettings::KrText() const {
  return ItemText(CharacterChoiceList(), kr_);
}
std::string DisplaySettings::HkText() const {
  return ItemText(CharacterChoiceList(), hk_);
}

} // namespace rv58
