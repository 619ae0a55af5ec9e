#include "fileassoc.h"

#include "appicon_svg.h"
#include "fileio.h"
#include "keyfile.h"
#include "toolrunner.h"

#include <cctype>
#include <sstream>

namespace rv58 {

namespace {

bool IsAbsolute(const std::string& p) {
  return !p.empty() && p.front() == '/';
}

// Reads a regular file whole; anything else (a folder, a device) counts as unreadable.
bool ReadFile(const std::string& path, std::string& out) {
  return fileio::ReadWholeFile(path, out) == fileio::ReadStatus::Ok;
}

// Writes a whole file through a temporary file in the same folder and a rename, so a reader
// never sees half a file. A file that already holds exactly this text is left alone. A file kept
// elsewhere through a symbolic link (a dotfiles folder) is updated where it lives, and the link
// stays. Folders we create are the user's own, as the base-directory rules ask.
bool WriteFileAtomically(const std::string& path, std::string_view contents) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos || !fileio::CreateUserFolders(path.substr(0, slash)))
    return false;
  const fileio::Kind kind = fileio::Inspect(path).kind;
  if (kind != fileio::Kind::Missing) {
    if (kind != fileio::Kind::File)
      return false;
    std::string old;
    if (ReadFile(path, old) && old == contents)
      return true;
  }
  return fileio::ReplaceFile(path, contents);
}

bool RefreshWith(const std::string& toolName, const std::string& folder, const AssociationEnvironment& env) {
  if (fileio::Inspect(folder).kind != fileio::Kind::Folder)
    return false;
  const std::string tool = FindTool(toolName, env.path);
  if (tool.empty())
    return false;
  return RunTool(tool, {folder}, env.toolTimeout);
}

std::string Lower(std::string s) {
  for (auto& c : s)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

} // namespace

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
  return kAppIconSvg;
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
  KeyFileEditor file(contents);
  file.SetValue("Default Applications", mimeType, desktopId, true);
  file.AddToList("Added Associations", mimeType, desktopId);
  return file.Text();
}

std::string UpdateDesktopMimeAppsList(std::string_view contents, std::string_view mimeType,
                                      std::string_view desktopId) {
  KeyFileEditor file(contents);
  file.SetValue("Default Applications", mimeType, desktopId, false);
  return file.Text();
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
    return WriteFileAtomically(data + "/icons/hicolor/scalable/apps/" + kAppIconName + ".svg", kAppIconSvg);
  });
  result.mimeIcon = step([&] {
    return WriteFileAtomically(data + "/icons/hicolor/scalable/mimetypes/" + kMimeIconName + ".svg",
                               kAppIconSvg);
  });

  result.defaults = step([&] {
    const std::string listPath = config + "/mimeapps.list";
    std::string list;
    if (fileio::Inspect(listPath).kind != fileio::Kind::Missing && !ReadFile(listPath, list))
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

} // namespace rv58
