#include "keyfile.h"

namespace rv58 {

namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
    s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n'))
    s.remove_suffix(1);
  return s;
}

bool IsGroupHeader(std::string_view line) {
  const auto t = Trim(line);
  return t.size() >= 2 && t.front() == '[' && t.back() == ']';
}

// The key of a "key=value" line; empty for comments, headers and other lines.
std::string_view KeyOf(std::string_view line) {
  const auto t = Trim(line);
  if (t.empty() || t.front() == '#' || t.front() == '[')
    return {};
  const auto eq = t.find('=');
  if (eq == std::string_view::npos)
    return {};
  return Trim(t.substr(0, eq));
}

std::string_view ValueOf(std::string_view line) {
  const auto eq = line.find('=');
  return eq == std::string_view::npos ? std::string_view{} : Trim(line.substr(eq + 1));
}

bool ListHolds(std::string_view list, std::string_view item) {
  std::size_t start = 0;
  while (start <= list.size()) {
    const auto semi = list.find(';', start);
    const auto entry =
        Trim(list.substr(start, semi == std::string_view::npos ? std::string_view::npos : semi - start));
    if (entry == item)
      return true;
    if (semi == std::string_view::npos)
      break;
    start = semi + 1;
  }
  return false;
}

} // namespace

KeyFileEditor::KeyFileEditor(std::string_view contents) {
  std::size_t pos = 0;
  while (pos < contents.size()) {
    const auto nl = contents.find('\n', pos);
    if (nl == std::string_view::npos) {
      lines_.push_back({std::string(contents.substr(pos)), ""});
      break;
    }
    std::size_t textEnd = nl;
    if (textEnd > pos && contents[textEnd - 1] == '\r')
      --textEnd;
    lines_.push_back({std::string(contents.substr(pos, textEnd - pos)),
                      std::string(contents.substr(textEnd, nl + 1 - textEnd))});
    pos = nl + 1;
  }
}

std::string KeyFileEditor::Text() const {
  std::string out;
  for (const auto& l : lines_)
    out += l.text + l.end;
  return out;
}

KeyFileEditor::Group KeyFileEditor::Find(std::string_view name) const {
  Group g;
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    if (!IsGroupHeader(lines_[i].text))
      continue;
    const auto t = Trim(lines_[i].text);
    if (t.substr(1, t.size() - 2) != name)
      continue;
    g.found = true;
    g.header = i;
    g.lastKey = i;
    g.end = i + 1;
    while (g.end < lines_.size() && !IsGroupHeader(lines_[g.end].text)) {
      if (!KeyOf(lines_[g.end].text).empty())
        g.lastKey = g.end;
      ++g.end;
    }
    return g;
  }
  return g;
}

// The line end new lines get: the file's own, LF for a new file.
std::string KeyFileEditor::LineEnd() const {
  for (const auto& l : lines_)
    if (!l.end.empty())
      return l.end;
  return "\n";
}

void KeyFileEditor::InsertAfterLastKey(const Group& g, std::string text) {
  const std::string eol = LineEnd();
  auto& before = lines_[g.lastKey];
  if (before.end.empty())
    before.end = eol;
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(g.lastKey + 1), Line{std::move(text), eol});
}

void KeyFileEditor::AppendGroup(std::string_view name, std::string keyLine) {
  const std::string eol = LineEnd();
  if (!lines_.empty()) {
    if (lines_.back().end.empty())
      lines_.back().end = eol;
    if (!Trim(lines_.back().text).empty())
      lines_.push_back({"", eol});
  }
  lines_.push_back({"[" + std::string(name) + "]", eol});
  lines_.push_back({std::move(keyLine), eol});
}

void KeyFileEditor::SetValue(std::string_view group, std::string_view key, std::string_view value,
                             bool addWhenMissing) {
  const std::string wanted = std::string(key) + "=" + std::string(value);
  const Group g = Find(group);
  if (!g.found) {
    if (addWhenMissing)
      AppendGroup(group, wanted);
    return;
  }
  bool had = false;
  for (std::size_t i = g.header + 1; i < g.end; ++i) {
    if (KeyOf(lines_[i].text) != key)
      continue;
    had = true;
    if (ValueOf(lines_[i].text) != value)
      lines_[i].text = wanted;
  }
  if (!had && addWhenMissing)
    InsertAfterLastKey(g, wanted);
}

void KeyFileEditor::AddToList(std::string_view group, std::string_view key, std::string_view item) {
  const std::string fresh = std::string(key) + "=" + std::string(item) + ";";
  const Group g = Find(group);
  if (!g.found) {
    AppendGroup(group, fresh);
    return;
  }
  for (std::size_t i = g.header + 1; i < g.end; ++i) {
    if (KeyOf(lines_[i].text) != key)
      continue;
    const std::string_view value = ValueOf(lines_[i].text);
    if (ListHolds(value, item))
      return;
    std::string list = std::string(item) + ";" + std::string(value);
    if (list.back() != ';')
      list += ';';
    lines_[i].text = std::string(key) + "=" + list;
    return;
  }
  InsertAfterLastKey(g, fresh);
}

} // namespace rv58
