// The key-file editor on its own: which lines a change touches and which it must leave alone.
#include "keyfile.h"

#include <gtest/gtest.h>

#include <functional>

using rv58::KeyFileEditor;

namespace {

struct EditCase {
  const char* what;
  const char* before;
  std::function<void(KeyFileEditor&)> edit;
  const char* after;
};

const auto kSetDefault = [](KeyFileEditor& f) { f.SetValue("G", "k", "new", true); };
const auto kSetExisting = [](KeyFileEditor& f) { f.SetValue("G", "k", "new", false); };
const auto kAddItem = [](KeyFileEditor& f) { f.AddToList("G", "k", "me"); };

TEST(KeyFileEdit, TouchesOnlyTheLinesTheChangeNeeds) {
  const EditCase cases[] = {
      {"every line of a repeated key is set", "[G]\nk=a\nx=1\nk=b\n", kSetDefault,
       "[G]\nk=new\nx=1\nk=new\n"},
      {"a line that holds the value already keeps its spelling", "[G]\n k = new \n", kSetDefault,
       "[G]\n k = new \n"},
      {"a comment that looks like the key is not the key", "[G]\na=1\n#k=old\n", kSetDefault,
       "[G]\na=1\nk=new\n#k=old\n"},
      {"only the first group of the name is edited", "[G]\nk=a\n[G]\nk=b\n", kSetDefault,
       "[G]\nk=new\n[G]\nk=b\n"},
      {"a header with blanks around it is found", "  [G]  \r\nk=a\r\n", kSetDefault, "  [G]  \r\nk=new\r\n"},
      {"a lone carriage return inside a line is kept", "[O]\nv=a\rb\n[G]\nk=a\n", kSetDefault,
       "[O]\nv=a\rb\n[G]\nk=new\n"},
      {"without adding, a missing group stays missing", "[O]\nk=a\n", kSetExisting, "[O]\nk=a\n"},
      {"without adding, a missing key stays missing", "[G]\nx=1\n", kSetExisting, "[G]\nx=1\n"},
      {"an empty file gets the group", "", kSetDefault, "[G]\nk=new\n"},
      {"a listed item with blanks around it counts", "[G]\nk=a; me ;\n", kAddItem, "[G]\nk=a; me ;\n"},
      {"a list without a final separator gets one", "[G]\nk=a;b\n", kAddItem, "[G]\nk=me;a;b;\n"},
      {"an item that only starts like ours is another item", "[G]\nk=me2;\n", kAddItem, "[G]\nk=me;me2;\n"},
      {"a group without the key gets it after its last key", "[G]\nx=1\n\n[H]\n", kAddItem,
       "[G]\nx=1\nk=me;\n\n[H]\n"},
  };
  for (const auto& c : cases) {
    KeyFileEditor file(c.before);
    c.edit(file);
    EXPECT_EQ(file.Text(), c.after) << c.what;
  }
}

TEST(KeyFileEdit, UnchangedTextRoundTripsByteForByte) {
  for (const char* text : {"", "no line end", "a\r\n\r\nb\n", "\n\n", "[G]\r\nk=v\rw\r\n#c", "x\r"})
    EXPECT_EQ(KeyFileEditor(text).Text(), text);
}

} // namespace
