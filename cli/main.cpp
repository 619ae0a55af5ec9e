// rv58ctl: the command-line companion of the RV58LED settings tool.
#include "commands.h"
#include "console.h"

#include "portnames.h"
#include "prefspath.h"

#include <iostream>
#include <string>
#include <string_view>
#include <vector>

namespace rv58::cli {

void PrintUsage(std::ostream& out) {
  out << "Használat: rv58ctl [--ini FÁJL] PARANCS [...]\n"
         "\n"
         "Parancsok:\n"
         "  message [FÁJL]                          a konfigurációs üzenet kiírása (FÁJL \"RV5\" "
         "szakaszából,\n"
         "                                          fájl nélkül az alapbeállításokból)\n"
         "  defaults FÁJL                           az alapbeállítások mentése FÁJL-ba (port: COM1)\n"
         "  ports [-v]                              a soros portok listája (-v: leírással)\n"
         "  test --port PORT [--old]                kijelzőteszt küldése (--old: 2400 baud)\n"
         "  upload FÁJL [--port PORT] [--dtr-pulse] a beállítások feltöltése a kijelzőre\n"
         "  monitor --port PORT [FÁJL] [--count N] [--seconds S]\n"
         "                                          a mérleg kereteinek és a kijelző előnézetének kiírása\n"
         "  detect --port PORT [--seconds S] [--save FÁJL]\n"
         "                                          a mérleg vonalának és kereteinek felismerése\n"
         "\n"
         "Kapcsolók:\n"
         "  --ini FÁJL   a beállításfájl (rv58led.ini) helye\n"
         "  --help       ez a súgó\n";
}

int UsageError() {
  PrintUsage(std::cerr);
  return kExitUsage;
}

} // namespace rv58::cli

int main(int argc, char** argv) {
  using namespace rv58::cli;
  std::vector<std::string> arguments = PrepareConsole(argc, argv);
  std::vector<char*> argvUtf8;
  for (auto& a : arguments)
    argvUtf8.push_back(a.data());
  argc = static_cast<int>(argvUtf8.size());
  argv = argvUtf8.data();
  CliContext ctx;
  bool iniGiven = false;
  std::string command;
  Args args;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--ini") {
      if (i + 1 >= argc)
        return UsageError();
      ctx.iniPath = argv[++i];
      iniGiven = true;
    } else if (arg == "--help" || arg == "-h") {
      return UsageError();
    } else if (command.empty()) {
      command = arg;
    } else {
      args.emplace_back(arg);
    }
  }
  if (!iniGiven)
    ctx.iniPath = rv58::PreferencesFilePath(rv58::CurrentPreferencesEnvironment());
  // Port names of every command ("COM7" in test --port) go through the "Ports" section.
  ctx.portNames = rv58::LoadPortNames(ctx.iniPath);

  if (command == "message")
    return CmdMessage(ctx, args);
  if (command == "defaults")
    return CmdDefaults(ctx, args);
  if (command == "ports")
    return CmdPorts(ctx, args);
  if (command == "test")
    return CmdTest(ctx, args);
  if (command == "upload")
    return CmdUpload(ctx, args);
  if (command == "monitor")
    return CmdMonitor(ctx, args);
  if (command == "detect")
    return CmdDetect(ctx, args);
  return UsageError();
}
