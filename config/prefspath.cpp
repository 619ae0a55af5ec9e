#include "prefspath.h"

#include "fileio.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace rv58 {

namespace fs = std::filesystem;

using fileio::IsWritableFolder;

namespace {

// Paths are UTF-8 strings on every platform; a narrow std::filesystem string would be the ANSI
// code page on Windows.
std::string Utf8(const fs::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

} // namespace

std::string ExecutableDir() {
  const std::string& exe = fileio::ExecutablePath();
  if (exe.empty()) {
    std::error_code ec;
    return Utf8(fs::current_path(ec));
  }
  return Utf8(fs::path(std::u8string(exe.begin(), exe.end())).parent_path());
}

PreferencesEnvironment CurrentPreferencesEnvironment() {
  PreferencesEnvironment env;
  env.executableDir = ExecutableDir();
  if (const char* h = std::getenv("HOME"))
    env.home = h;
  if (const char* x = std::getenv("XDG_CONFIG_HOME"))
    env.xdgConfigHome = x;
  return env;
}

bool IsSystemFolder(const std::string& folder) {
  static const char* const roots[] = {"/usr", "/bin", "/sbin", "/lib", "/opt", "/etc"};
  for (const char* root : roots) {
    const std::string r(root);
    if (folder == r || folder.starts_with(r + "/"))
      return true;
  }
  return false;
}

std::string PreferencesFilePath(const PreferencesEnvironment& env) {
  const std::string beside = env.executableDir + "/" + kPreferencesFileName;
  if (fileio::Inspect(beside).kind == fileio::Kind::File)
    return beside;
  if (IsWritableFolder(env.executableDir) && !IsSystemFolder(env.executableDir))
    return beside;
  const std::string folder = fileio::ConfigHome(env.xdgConfigHome, env.home) + "/rv58led";
  (void)fileio::CreateFolders(folder);
  return folder + "/" + kPreferencesFileName;
}

std::string DefaultDialogFolder(const PreferencesEnvironment& env) {
  if (IsWritableFolder(env.executableDir) && !IsSystemFolder(env.executableDir))
    return env.executableDir;
  return env.home.empty() ? env.executableDir : env.home;
}

} // namespace rv58
