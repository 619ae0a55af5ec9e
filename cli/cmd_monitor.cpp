// rv58ctl monitor and detect: what the scale sends, what the display would show, and the search.
#include "commands.h"

#include "ComPort.h"
#include "cp1250.h"
#include "fileio.h"
#include "inifile.h"
#include "message.h"
#include "scalelisten.h"
#include "settingsfile.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <iostream>

namespace rv58::cli {

namespace {

volatile std::sig_atomic_t gInterrupted = 0;

void OnInterrupt(int) {
  gInterrupted = 1;
}

// Ctrl+C ends the listening in order (the port is closed, the exit code is 0).
struct InterruptScope {
  InterruptScope() {
    gInterrupted = 0;
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
  }
  ~InterruptScope() {
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
  }
};

bool ParseNumber(const std::string& text, double& out) {
  char* end = nullptr;
  out = std::strtod(text.c_str(), &end);
  return !text.empty() && end && *end == '\0' && out >= 0;
}

const char* KindName(FrameKind kind) {
  switch (kind) {
  case FrameKind::fkOK:
    return "ok";
  case FrameKind::fkERROR:
    return "error";
  default:
    return "invalid";
  }
}

// One frame as a line: the frame, its kind and the display's text after it, marked when the text
// is wider than the font can show.
void PrintFrame(const DisplayFrame& frame, const std::string& preview) {
  std::cout << Cp1250ToUtf8(FrameForHuman(frame.bytes)) << '\t' << KindName(frame.kind) << '\t'
            << Cp1250ToUtf8(preview) << (frame.fits ? "" : "\tnem f\u00E9r el") << std::endl;
}

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

} // namespace

int CmdMonitor(const CliContext& ctx, const Args& args) {
  std::string port, file;
  double count = 0, seconds = 0;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--port" && i + 1 < args.size()) {
      port = args[++i];
    } else if (args[i] == "--count" && i + 1 < args.size()) {
      if (!ParseNumber(args[++i], count))
        return UsageError();
    } else if (args[i] == "--seconds" && i + 1 < args.size()) {
      if (!ParseNumber(args[++i], seconds))
        return UsageError();
    } else if (file.empty() && !args[i].empty() && args[i].front() != '-') {
      file = args[i];
    } else {
      return UsageError();
    }
  }
  if (port.empty())
    return UsageError();
  DisplaySettings settings = DisplaySettings::Defaults();
  if (!file.empty()) {
    // Through the file layer: the name is UTF-8 on every platform.
    if (fileio::Inspect(file).kind != fileio::Kind::File) {
      std::cerr << "rv58ctl: a f\u00E1jl nem olvashat\u00F3: " << file << "\n";
      return kExitUsage;
    }
    loadfile(settings, TIniFile(file), {});
  }
  const FrameSettings frameSettings = FrameSettings::From(settings);

  InterruptScope interrupt;
  TComPort comPort(THandOff{});
  comPort.Port = port;
  comPort.PortNames = ctx.portNames;
  comPort.ReceiveMode = rmRAW;
  SetLineFormat(comPort, LineFormatOf(settings));
  TFrameSplitter splitter(frameSettings.tm);
  TDisplayPreview preview;
  const auto start = std::chrono::steady_clock::now();
  std::size_t printed = 0;
  comPort.ReceiveCallBack = [&](const std::string& data) {
    for (const auto& bytes : splitter.Feed(data)) {
      if (count > 0 && static_cast<double>(printed) >= count)
        return;
      const DisplayFrame frame = EvaluateFrame(frameSettings, bytes);
      preview.Show(frame, Seconds(start));
      PrintFrame(frame, preview.Text(frameSettings, Seconds(start)));
      ++printed;
    }
  };
  comPort.Open();
  if (!comPort.Active()) {
    std::cerr << kPortWarning << "\n";
    return kExitFailed;
  }
  const auto done = [&] {
    return gInterrupted || (count > 0 && static_cast<double>(printed) >= count) ||
           (seconds > 0 && Seconds(start) >= seconds);
  };
  while (!done())
    comPort.HandOff().ServeUntil(done, std::chrono::milliseconds(50));
  comPort.ReceiveCallBack = nullptr;
  comPort.Close();
  return kExitOk;
}

int CmdDetect(const CliContext& ctx, const Args& args) {
  std::string port, save;
  double seconds = 60;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--port" && i + 1 < args.size()) {
      port = args[++i];
    } else if (args[i] == "--seconds" && i + 1 < args.size()) {
      if (!ParseNumber(args[++i], seconds))
        return UsageError();
    } else if (args[i] == "--save" && i + 1 < args.size()) {
      save = args[++i];
    } else {
      return UsageError();
    }
  }
  if (port.empty() || (seconds <= 0))
    return UsageError();

  InterruptScope interrupt;
  TComPort comPort(THandOff{});
  comPort.Port = port;
  comPort.PortNames = ctx.portNames;
  DisplaySettings settings = DisplaySettings::Defaults();
  // The file the result goes into holds the current settings (its error character stays when no
  // error frame is heard).
  if (!save.empty() && fileio::Inspect(save).kind == fileio::Kind::File)
    loadfile(settings, TIniFile(save), {});
  TLineSearch search(FrameSettings::From(settings));
  std::cerr << "Felismer\u00E9s...\n";
  {
    TSearchRun run(comPort, search);
    const auto start = std::chrono::steady_clock::now();
    const auto over = [&] { return gInterrupted != 0 || Seconds(start) >= seconds; };
    while (run.Poll()) {
      if (over()) {
        run.Stop();
        break;
      }
      // Short waits, so that the clock and an interruption are looked at while the line is silent.
      comPort.HandOff().ServeUntil([&] { return run.Due() || over(); }, std::chrono::milliseconds(50));
    }
    if (run.PortFailed()) {
      std::cerr << kPortWarning << "\n";
      return kExitFailed;
    }
  }
  const TSearchResult result = search.Result();
  if (result.outcome != TSearchOutcome::soFOUND) {
    std::cerr << "A felismer\u00E9s nem siker\u00FClt: " << OutcomeText(result.outcome) << ".\n";
    return kExitNothing;
  }
  ApplyDetection(result, settings);
  const std::pair<const char*, std::int32_t> values[] = {
      {"bd", settings.bd()}, {"pr", settings.pr()}, {"tm", settings.tm()},         {"kr", settings.kr()},
      {"le", settings.le()}, {"lh", settings.lh()}, {"nm", settings.nm() ? 1 : 0}, {"tp", settings.tp()},
      {"bt", settings.bt()}, {"hk", settings.hk()}};
  for (const auto& [key, value] : values)
    std::cout << key << '=' << value << '\n';
  std::cout << '\n';
  const FrameSettings shown = FrameSettings::From(settings);
  for (const auto& bytes : result.frames.frames) {
    const DisplayFrame frame = EvaluateFrame(shown, bytes);
    PrintFrame(frame, frame.text);
  }
  std::cerr << "Vonal: " << result.format.Name() << "\n";
  if (result.runnerUp)
    std::cerr << "Ugyanilyen j\u00F3 volt: " << result.runnerUp->Name() << "\n";
  for (const auto& note : result.frames.notes)
    std::cerr << note << "\n";

  if (!save.empty()) {
    std::vector<std::pair<std::string, std::string>> stored;
    for (const auto& [key, value] : values)
      stored.emplace_back(key, std::to_string(value));
    TIniFile ini(save);
    if (!ini.WriteValues(kSettingsSection, stored)) {
      std::cerr << "rv58ctl: a f\u00E1jl nem \u00EDrhat\u00F3: " << save << "\n";
      return kExitFailed;
    }
  }
  return kExitOk;
}

} // namespace rv58::cli
