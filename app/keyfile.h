#pragma once

// Editing a freedesktop key file (mimeapps.list and its kin) the way a person would: only the
// lines a change needs are touched, every other byte stays as it was, and new lines take the
// file's own line ends. No Qt, no file access: text in, text out.

#include <string>
#include <string_view>
#include <vector>

namespace rv58 {

class KeyFileEditor {
public:
  explicit KeyFileEditor(std::string_view contents);

  // Sets `key` to `value` in the first group named `group`: every line of the key there gets
  // the value (a line that already holds it stays as written); a group without the key gets a
  // line after its last key. A missing group is appended only when `addWhenMissing`; a missing
  // key is added only then too.
  void SetValue(std::string_view group, std::string_view key, std::string_view value, bool addWhenMissing);

  // Puts `item` first into the ";"-separated list of `key` in `group` unless the list holds it
  // already; a missing key or group is added with the one item.
  void AddToList(std::string_view group, std::string_view key, std::string_view item);

  std::string Text() const;

private:
  struct Line {
    std::string text; // without the line end
    std::string end;  // "\n", "\r\n" or "" (a last line without one)
  };
  struct Group {
    std::size_t header = 0;  // index of the header line
    std::size_t end = 0;     // one past the group's last line
    std::size_t lastKey = 0; // index after which a new key goes
    bool found = false;
  };

  Group Find(std::string_view name) const;
  std::string LineEnd() const;
  void InsertAfterLastKey(const Group& g, std::string text);
  void AppendGroup(std::string_view name, std::string keyLine);

  std::vector<Line> lines_;
};

} // namespace rv58
