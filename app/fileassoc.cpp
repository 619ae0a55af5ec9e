#include "fileassoc.h"

#include "fileio.h"
#include "toolrunner.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>
#include <vector>

namespace rv58 {

namespace {

constexpr std::string_view kIconSvg =
    R"svg(<?xml version="1.0" encoding="UTF-8"?>
<svg xmlns="http://www.w3.org/2000/svg" xmlns:xlink="http://www.w3.org/1999/xlink" width="64" height="64" viewBox="0 0 64 64">
  <defs>
    <g id="digit" fill="#ff3b24">
      <rect x="1.5" y="0" width="9" height="3" rx="1"/>
      <rect x="1.5" y="9.5" width="9" height="3" rx="1"/>
      <rect x="1.5" y="19" width="9" height="3" rx="1"/>
      <rect x="0" y="1.5" width="3" height="8.5" rx="1"/>
      <rect x="9" y="1.5" width="3" height="8.5" rx="1"/>
      <rect x="0" y="12" width="3" height="8.5" rx="1"/>
      <rect x="9" y="12" width="3" height="8.5" rx="1"/>
    </g>
  </defs>
  <rect x="2" y="10" width="60" height="44" rx="6" fill="#2e3338"/>
  <rect x="5" y="13" width="54" height="38" rx="3" fill="#0c0d0e"/>
  <use xlink:href="#digit" x="9" y="21"/>
  <use xlink:href="#digit" x="24" y="21"/>
  <circle cx="39.5" cy="41.3" r="1.7" fill="#ff3b24"/>
  <use xlink:href="#digit" x="43" y="21"/>
</svg>
)svg";

bool IsAbsolute(const std::string& p) {
  return !p.empty() && p.front() == '/';
}

std::string_view TrimView(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
    s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n'))
    s.remove_suffix(1);
  return s;
}

// mkdir -p; folders we create get 0700, as the base-directory rules ask.
bool MakeFolders(const std::string& folder) {
  if (folder.empty())
    return false;
  struct stat st {};
  if (::stat(folder.c_str(), &st) == 0)
    return S_ISDIR(st.st_mode);
  const auto slash = folder.find_last_of('/');
  if (slash != std::string::npos && slash > 0 && !MakeFolders(folder.substr(0, slash)))
    return false;
  if (::mkdir(folder.c_str(), 0700) == 0)
    return true;
  return errno == EEXIST && ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Reads a regular file whole; anything else (a folder, a device) counts as unreadable.
bool ReadFile(const std::string& path, std::string& out) {
  return fileio::ReadWholeFile(path, out) == fileio::ReadStatus::Ok;
}

// Writes a whole file through a temporary file in the same folder and a rename, so a reader
// never sees half a file. A file that already holds exactly this text is left alone.
bool WriteFileAtomically(const std::string& linkOrPath, std::string_view contents) {
  // A file kept elsewhere through a symbolic link (a dotfiles folder) is updated where it lives,
  // and the link stays.
  std::string path = linkOrPath;
  if (char* real = ::realpath(linkOrPath.c_str(), nullptr)) {
    path = real;
    std::free(real);
  }
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos)
    return false;
  const std::string folder = path.substr(0, slash);
  if (!MakeFolders(folder))
    return false;
  std::string old;
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) {
    if (!S_ISREG(st.st_mode))
      return false;
    if (ReadFile(path, old) && old == contents)
      return true;
  }
  return fileio::ReplaceFile(path, contents);
}

bool RefreshWith(const std::string& toolName, const std::string& folder, const AssociationEnvironment& env) {
  struct stat st {};
  if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
    return false;
  const std::string tool = FindTool(toolName, env.path);
  if (tool.empty())
    return false;
  return RunTool(tool, {folder}, env.toolTimeout);
}

// One line of a key file, with its own line end kept so untouched lines stay byte for byte.
struct KeyFileLine {
  std::string text; // without the line end
  std::string end;  // "\n", "\r\n" or "" (last line without one)
};

std::vector<KeyFileLine> SplitLines(std::string_view contents) {
  std::vector<KeyFileLine> lines;
  std::size_t pos = 0;
  while (pos < contents.size()) {
    const auto nl = contents.find('\n', pos);
    if (nl == std::string_view::npos) {
      lines.push_back({std::string(contents.substr(pos)), ""});
      break;
    }
    std::size_t textEnd = nl;
    if (textEnd > pos && contents[textEnd - 1] == '\r')
      --textEnd;
    lines.push_back({std::string(contents.substr(pos, textEnd - pos)),
                     std::string(contents.substr(textEnd, nl + 1 - textEnd))});
    pos = nl + 1;
  }
  return lines;
}

std::string JoinLines(const std::vector<KeyFileLine>& lines) {
  std::string out;
  for (const auto& l : lines)
    out += l.text + l.end;
  return out;
}

bool IsGroupHeader(std::string_view line) {
  const auto t = TrimView(line);
  return t.size() >= 2 && t.front() == '[' && t.back() == ']';
}

std::string_view KeyOf(std::string_view line) {
  const auto t = TrimView(line);
  if (t.empty() || t.front() == '#' || t.front() == '[')
    return {};
  const auto eq = t.find('=');
  if (eq == std::string_view::npos)
    return {};
  return TrimView(t.substr(0, eq));
}

std::string_view ValueOf(std::string_view line) {
  const auto eq = line.find('=');
  return eq == std::string_view::npos ? std::string_view{} : TrimView(line.substr(eq + 1));
}

struct GroupRange {
  std::size_t header = 0;  // index of the header line
  std::size_t end = 0;     // one past the group's last line
  std::size_t lastKey = 0; // index after which a new key goes
  bool found = false;
};

GroupRange FindGroup(const std::vector<KeyFileLine>& lines, std::string_view name) {
  GroupRange g;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (!IsGroupHeader(lines[i].text))
      continue;
    const auto t = TrimView(lines[i].text);
    if (t.substr(1, t.size() - 2) != name)
      continue;
    g.found = true;
    g.header = i;
    g.lastKey = i;
    g.end = i + 1;
    while (g.end < lines.size() && !IsGroupHeader(lines[g.end].text)) {
      if (!KeyOf(lines[g.end].text).empty())
        g.lastKey = g.end;
      ++g.end;
    }
    return g;
  }
  return g;
}

// The line end new lines get: the file's own, LF for a new file.
std::string LineEndOf(const std::vector<KeyFileLine>& lines) {
  for (const auto& l : lines)
    if (!l.end.empty())
      return l.end;
  return "\n";
}

void InsertKey(std::vector<KeyFileLine>& lines, const GroupRange& g, std::string text) {
  const std::string eol = LineEndOf(lines);
  auto& before = lines[g.lastKey];
  if (before.end.empty())
    before.end = eol;
  lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(g.lastKey + 1), KeyFileLine{std::move(text), eol});
}

void AppendGroup(std::vector<KeyFileLine>& lines, std::string_view name, std::string keyLine) {
  const std::string eol = LineEndOf(lines);
  if (!lines.empty()) {
    if (lines.back().end.empty())
      lines.back().end = eol;
    if (!TrimView(lines.back().text).empty())
      lines.push_back({"", eol});
  }
  lines.push_back({"[" + std::string(name) + "]", eol});
  lines.push_back({std::move(keyLine), eol});
}

// Sets `key=value` in a group: every existing line of the key is replaced; none, one is added.
void SetKey(std::vector<KeyFileLine>& lines, std::string_view group, std::string_view key,
            const std::string& value, bool addWhenMissing) {
  const std::string wanted = std::string(key) + "=" + value;
  const GroupRange g = FindGroup(lines, group);
  if (!g.found) {
    if (addWhenMissing)
      AppendGroup(lines, group, wanted);
    return;
  }
  bool had = false;
  for (std::size_t i = g.header + 1; i < g.end; ++i) {
    if (KeyOf(lines[i].text) != key)
      continue;
    had = true;
    if (ValueOf(lines[i].text) != value)
      lines[i].text = wanted;
  }
  if (!had && addWhenMissing)
    InsertKey(lines, g, wanted);
}

// Puts `id` first into a ";" list of a group's key unless it is already in the list.
void AddToList(std::vector<KeyFileLine>& lines, std::string_view group, std::string_view key,
               std::string_view id) {
  const std::string fresh = std::string(key) + "=" + std::string(id) + ";";
  const GroupRange g = FindGroup(lines, group);
  if (!g.found) {
    AppendGroup(lines, group, fresh);
    return;
  }
  for (std::size_t i = g.header + 1; i < g.end; ++i) {
    if (KeyOf(lines[i].text) != key)
      continue;
    const std::string_view value = ValueOf(lines[i].text);
    std::size_t start = 0;
    while (start <= value.size()) {
      const auto semi = value.find(';', start);
      const auto item = TrimView(
          value.substr(start, semi == std::string_view::npos ? std::string_view::npos : semi - start));
      if (item == id)
        return;
      if (semi == std::string_view::npos)
        break;
      start = semi + 1;
    }
    std::string list = std::string(id) + ";" + std::string(value);
    if (!list.empty() && list.back() != ';')
      list += ';';
    lines[i].text = std::string(key) + "=" + list;
    return;
  }
  InsertKey(lines, g, fresh);
}

std::string Lower(std::string s) {
  for (auto& c : s)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

} // namespace

AssociationEnvironment CurrentAssociationEnvironment() {
  AssociationEnvironment env;
  const auto get = [](const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
  };
  env.home = get("HOME");
  if (env.home.empty()) {
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir)
      env.home = pw->pw_dir;
  }
  env.xdgDataHome = get("XDG_DATA_HOME");
  env.xdgConfigHome = get("XDG_CONFIG_HOME");
  env.currentDesktop = get("XDG_CURRENT_DESKTOP");
  env.path = get("PATH");
  env.executable = fileio::ExecutablePath();
  return env;
}

std::string DataHome(const AssociationEnvironment& env) {
  if (IsAbsolute(env.xdgDataHome))
    return env.xdgDataHome;
  return IsAbsolute(env.home) ? env.home + "/.local/share" : std::string();
}

std::string ConfigHome(const AssociationEnvironment& env) {
  if (IsAbsolute(env.xdgConfigHome))
    return env.xdgConfigHome;
  return IsAbsolute(env.home) ? env.home + "/.config" : std::string();
}

std::string MimePackageXml() {
  return std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                     "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
                     "  <mime-type type=\"") +
         kSettingsMimeType +
         "\">\n"
         "    <comment>" +
         kSettingsMimeComment +
         "</comment>\n"
         "    <sub-class-of type=\"text/plain\"/>\n"
         "    <glob pattern=\"*.rv5\"/>\n"
         "  </mime-type>\n"
         "</mime-info>\n";
}

std::string DesktopEntryText(std::string_view execProgram) {
  return std::string("[Desktop Entry]\n"
                     "Type=Application\n"
                     "Version=1.0\n"
                     "Name=RV58LED\n"
                     "GenericName=RV58LED beállítások\n"
                     "Comment=Az RV58LED kijelző beállítása és feltöltése\n"
                     "Exec=") +
         std::string(execProgram) +
         " %f\n"
         "Icon=" +
         kAppIconName +
         "\n"
         "Terminal=false\n"
         "Categories=Utility;\n"
         "MimeType=" +
         kSettingsMimeType +
         ";\n"
         "Actions=monitor;\n"
         "\n"
         "[Desktop Action monitor]\n"
         "Name=Mérlegfigyelő\n"
         "Exec=" +
         std::string(execProgram) + " --monitor\n";
}

std::string_view AppIconSvg() {
  return kIconSvg;
}

std::string QuoteExecProgram(std::string_view path) {
  if (path.empty() || path.front() != '/')
    return {};
  // Inside the quotes '"', '`', '$' and '\' take a backslash; then the value itself escapes
  // '\' once more, and '%' is doubled because it starts field codes.
  std::string out = "\"";
  for (const char c : path) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
      return {};
    switch (c) {
    case '"':
    case '`':
    case '$':
      out += '\\';
      out += c;
      break;
    case '\\':
      out += "\\\\\\\\";
      break;
    case '%':
      out += "%%";
      break;
    default:
      out += c;
    }
  }
  out += '"';
  return out;
}

std::string UpdateMimeAppsList(std::string_view contents, std::string_view mimeType,
                               std::string_view desktopId) {
  auto lines = SplitLines(contents);
  SetKey(lines, "Default Applications", mimeType, std::string(desktopId), true);
  AddToList(lines, "Added Associations", mimeType, desktopId);
  return JoinLines(lines);
}

std::string UpdateDesktopMimeAppsList(std::string_view contents, std::string_view mimeType,
                                      std::string_view desktopId) {
  auto lines = SplitLines(contents);
  SetKey(lines, "Default Applications", mimeType, std::string(desktopId), false);
  return JoinLines(lines);
}

AssociationResult AssociateFileType(const AssociationEnvironment& env) {
  AssociationResult result;
  const std::string data = DataHome(env);
  const std::string config = ConfigHome(env);
  if (data.empty() || config.empty())
    return result;
  // A step that throws (out of memory, a library surprise) fails alone, like any other failure.
  const auto step = [](auto&& work) {
    try {
      return work();
    } catch (...) {
      return false;
    }
  };

  // The order follows what the desktop caches need: type, then its handler, then the choice.
  result.mimePackage = step(
      [&] { return WriteFileAtomically(data + "/mime/packages/" + kMimePackageFileName, MimePackageXml()); });
  result.mimeDatabaseRefreshed =
      step([&] { return RefreshWith("update-mime-database", data + "/mime", env); });

  result.desktopEntry = step([&] {
    const std::string program = QuoteExecProgram(env.executable);
    return !program.empty() &&
           WriteFileAtomically(data + "/applications/" + kDesktopFileId, DesktopEntryText(program));
  });
  result.desktopDatabaseRefreshed =
      step([&] { return RefreshWith("update-desktop-database", data + "/applications", env); });

  result.appIcon = step([&] {
    return WriteFileAtomically(data + "/icons/hicolor/scalable/apps/" + kAppIconName + ".svg", kIconSvg);
  });
  result.mimeIcon = step([&] {
    return WriteFileAtomically(data + "/icons/hicolor/scalable/mimetypes/" + kMimeIconName + ".svg",
                               kIconSvg);
  });

  result.defaults = step([&] {
    const std::string listPath = config + "/mimeapps.list";
    std::string list;
    if (::access(listPath.c_str(), F_OK) == 0 && !ReadFile(listPath, list))
      return false;
    return WriteFileAtomically(listPath, UpdateMimeAppsList(list, kSettingsMimeType, kDesktopFileId));
  });

  // A desktop's own list wins over the plain one; only a default already named there is changed.
  step([&] {
    std::stringstream desktops(env.currentDesktop);
    std::string name;
    while (std::getline(desktops, name, ':')) {
      if (name.empty() || name.find('/') != std::string::npos)
        continue;
      const std::string path = config + "/" + Lower(name) + "-mimeapps.list";
      std::string own;
      if (ReadFile(path, own)) {
        const std::string updated = UpdateDesktopMimeAppsList(own, kSettingsMimeType, kDesktopFileId);
        if (updated != own)
          WriteFileAtomically(path, updated);
      }
    }
    return true;
  });
  return result;
}

void AssociateFileType() {
  AssociateFileType(CurrentAssociationEnvironment());
}

} // namespace rv58
