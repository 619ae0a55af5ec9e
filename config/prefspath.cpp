#include "prefspath.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace rv58 {

namespace fs = std::filesystem;

namespace {

bool IsWritableFolder(const std::string& folder) {
  return !folder.empty() && ::access(folder.c_str(), W_OK | X_OK) == 0;
}

std::string ConfigHome(const PreferencesEnvironment& env) {
  if (!env.xdgConfigHome.empty() && env.xdgConfigHome.front() == '/')
    return env.xdgConfigHome;
  return (env.home.empty() ? std::string("/tmp") : env.home) + "/.config";
}

} // namespace

std::string ExecutableDir() {
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec)
    return fs::current_path(ec).string();
  return exe.parent_path().string();
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
  std::error_code ec;
  if (fs::is_regular_file(beside, ec))
    return beside;
  if (IsWritableFolder(env.executableDir) && !IsSystemFolder(env.executableDir))
    return beside;
  const std::string folder = ConfigHome(env) + "/rv58led";
  fs::create_directories(folder, ec);
  return folder + "/" + kPreferencesFileName;
}

std::string DefaultDialogFolder(const PreferencesEnvironment& env) {
  if (IsWritableFolder(env.executableDir) && !IsSystemFolder(env.executableDir))
    return env.executableDir;
  return env.home.empty() ? env.executableDir : env.home;
}

} // namespace rv58
