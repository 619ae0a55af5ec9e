// rv58ctl monitor and detect: what the scale sends, what the display would show, and the search.
#include "commands.h"
#include "console.h"

#include "ComPort.h"
#include "cp1250.h"
#include "fileio.h"
#include "inifile.h"
#include "message.h"
#include "scalelisten.h"
#include "settingsfile.h"

#include <chrono>
#include <cstdint>
#include <iostream>

namespace rv58::cli {

namespace {

// Counts and seconds are whole numbers from 1 up, in decimal digits alone: no sign, no fraction,
// no "0x", so a typing slip is a usage error instead of a surprise.
bool ParsePositive(const std::string& text, std::uint32_t& out) {
  if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos)
    return false;
  out = static_cast<std::uint32_t>(std::stoul(text));
  return out > 0;
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

// Bytes from the line as terminal text: control characters by name, and the code page's
// unassigned bytes, which would become C1 control codes, in hexadecimal.
std::string ForTerminal(std::string_view bytes) {
  std::string out;
  for (const char c : FrameForHuman(bytes)) {
    const char16_t u = Cp1250ToUnicode(static_cast<unsigned char>(c));
    if (u >= 0x80 && u < 0xA0) {
      static const char kHex[] = "0123456789ABCDEF";
      out += std::string("<x") + kHex[u >> 4] + kHex[u & 15] + ">";
    } else {
      out += Cp1250ToUtf8(std::string_view(&c, 1));
    }
  }
  return out;
}

// One frame as one line: the frame, its kind and the display's text after it, marked when the text
// is wider than the font can show.
std::string Record(const DisplayFrame& frame, const std::string& preview) {
  return ForTerminal(frame.bytes) + '\t' + KindName(frame.kind) + '\t' + ForTerminal(preview) +
         (frame.fits ? "" : "\tnem f\u00E9r el") + '\n';
}

int OpenFailed(const TComPort& port) {
  std::cerr << kPortWarning << "\n" << port.OpenError() << "\n";
  return kExitFailed;
}

int HungUp(const TComPort& port) {
  std::cerr << "A soros port elt\u0171nt (kih\u00FAzt\u00E1k, vagy a t\u00FAloldala lez\u00E1rult): "
            << port.PortAndDevice() << "\n";
  return kExitSendFailed;
}

int OutputFailed() {
  std::cerr << "rv58ctl: a kimenet nem \u00EDrhat\u00F3\n";
  return kExitFailed;
}

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

} // namespace

int CmdMonitor(const CliContext& ctx, const Args& args) {
  std::string port, file;
  std::uint32_t count = 0, seconds = 0; // 0: no limit
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--port" && i + 1 < args.size()) {
      port = args[++i];
    } else if (args[i] == "--count" && i + 1 < args.size()) {
      if (!ParsePositive(args[++i], count))
        return UsageError();
    } else if (args[i] == "--seconds" && i + 1 < args.size()) {
      if (!ParsePositive(args[++i], seconds))
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

  TInterruptScope interrupt;
  TComPort comPort(THandOff{});
  comPort.Port = port;
  comPort.PortNames = ctx.portNames;
  comPort.ReceiveMode = rmRAW;
  SetLineFormat(comPort, LineFormatOf(settings));
  TFrameSplitter splitter(frameSettings.tm);
  TDisplayPreview preview;
  const auto start = std::chrono::steady_clock::now();
  std::uint32_t printed = 0;
  bool outputFailed = false;
  comPort.ReceiveCallBack = [&](const std::string& data) {
    for (const auto& bytes : splitter.Feed(data)) {
      if ((count > 0 && printed >= count) || outputFailed || Interrupted())
        return;
      const DisplayFrame frame = EvaluateFrame(frameSettings, bytes);
      preview.Show(frame, Seconds(start));
      // A write that waits for a reader ends at an interruption; that is no output error.
      outputFailed =
          !WriteOutput(Record(frame, preview.Text(frameSettings, Seconds(start)))) && !Interrupted();
      ++printed;
    }
  };
  comPort.Open();
  if (!comPort.Active())
    return OpenFailed(comPort);
  const auto done = [&] {
    return Interrupted() || outputFailed || comPort.HungUp() || (count > 0 && printed >= count) ||
           (seconds > 0 && Seconds(start) >= seconds);
  };
  while (!done())
    comPort.HandOff().ServeUntil(done, std::chrono::milliseconds(50));
  comPort.ReceiveCallBack = nullptr;
  comPort.Close();
  if (outputFailed)
    return OutputFailed();
  if (comPort.HungUp() && !Interrupted())
    return HungUp(comPort);
  return kExitOk;
}

int CmdDetect(const CliContext& ctx, const Args& args) {
  std::string port, save;
  std::uint32_t seconds = 60;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--port" && i + 1 < args.size()) {
      port = args[++i];
    } else if (args[i] == "--seconds" && i + 1 < args.size()) {
      if (!ParsePositive(args[++i], seconds))
        return UsageError();
    } else if (args[i] == "--save" && i + 1 < args.size()) {
      save = args[++i];
    } else {
      return UsageError();
    }
  }
  if (port.empty())
    return UsageError();

  TInterruptScope interrupt;
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
    const auto over = [&] { return Interrupted() || comPort.HungUp() || Seconds(start) >= seconds; };
    // The end is looked at before each step: a step may open the next candidate, which forgets a
    // hang-up of the one before.
    while (!over() && run.Poll()) {
      // Short waits, so that the clock and an interruption are looked at while the line is silent.
      comPort.HandOff().ServeUntil([&] { return run.Due() || over(); }, std::chrono::milliseconds(50));
    }
    if (over())
      run.Stop();
    if (run.PortFailed())
      return OpenFailed(comPort);
  }
  if (comPort.HungUp() && !Interrupted())
    return HungUp(comPort);
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
  std::string out;
  for (const auto& [key, value] : values)
    out += std::string(key) + '=' + std::to_string(value) + '\n';
  out += '\n';
  const FrameSettings found = FrameSettings::From(settings);
  for (const auto& bytes : result.frames.frames) {
    const DisplayFrame frame = EvaluateFrame(found, bytes);
    out += Record(frame, frame.text);
  }
  // What was found is saved even when it cannot be shown.
  const bool shown = WriteOutput(out);
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
  return shown || Interrupted() ? kExitOk : OutputFailed();
}

} // namespace rv58::cli
