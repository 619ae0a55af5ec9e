#include "scalesearch.h"

#include <algorithm>
#include <array>

namespace rv58 {

namespace {

// Speeds in the order scales use them, so that a common one wins early.
constexpr std::uint32_t kSpeedOrder[] = {9600, 2400, 4800, 19200, 1200, 38400, 57600, 14400, 28800, 600, 300};

// The character formats scales use: 8N1, 7E1, 7O1, 8E1, 8O1, 7N2. A receiver checks the first stop
// bit only, so these also read 8N2, 7E2, 7O2, 8E2, 8O2 and 7N1.
constexpr std::int32_t kFormats[] = {PrIndex(8, 0, 1), PrIndex(7, 1, 1), PrIndex(7, 2, 1),
                                     PrIndex(8, 1, 1), PrIndex(8, 2, 1), PrIndex(7, 0, 2)};

// Bytes a scale's text is made of.
bool TextLike(unsigned char b) {
  return (b >= 32 && b < 127) || b == '\r' || b == '\n' || b == '\t' || b == 2 || b == 3;
}

bool Digit(char c) {
  return c >= '0' && c <= '9';
}

TLineFormat Format(std::uint32_t baud, std::int32_t pr) {
  TLineFormat f = TLineFormat::FromIndices(0, pr);
  f.baud = baud;
  return f;
}

double TextShare(std::string_view bytes) {
  if (bytes.empty())
    return 0.0;
  const auto text = std::count_if(bytes.begin(), bytes.end(),
                                  [](char c) { return TextLike(static_cast<unsigned char>(c)); });
  return static_cast<double>(text) / static_cast<double>(bytes.size());
}

// Where the weight sits in one frame's text (the frame without its terminator).
struct Field {
  std::size_t pad = 0; // first blank before the sign or digits
  std::size_t sign = std::string::npos;
  std::size_t digits = 0; // first digit (or point)
  std::size_t end = 0;    // after the last digit
};

std::optional<Field> FindField(std::string_view body) {
  const std::size_t last = body.find_last_of("0123456789");
  if (last == std::string_view::npos)
    return std::nullopt;
  Field f;
  f.end = last + 1;
  f.digits = last;
  while (f.digits > 0 &&
         (Digit(body[f.digits - 1]) || ((body[f.digits - 1] == '.' || body[f.digits - 1] == ',') &&
                                        f.digits >= 2 && Digit(body[f.digits - 2]))))
    --f.digits;
  f.pad = f.digits;
  if (f.pad > 0 && (body[f.pad - 1] == '+' || body[f.pad - 1] == '-')) {
    f.sign = f.pad - 1;
    f.pad = f.sign;
  }
  while (f.pad > 0 && body[f.pad - 1] == ' ')
    --f.pad;
  return f;
}

std::vector<std::string> SplitFrames(std::string_view text, char tm) {
  std::vector<std::string> frames;
  std::size_t from = 0;
  for (std::size_t at = text.find(tm); at != std::string_view::npos; at = text.find(tm, from)) {
    frames.emplace_back(text.substr(from, at + 1 - from));
    from = at + 1;
  }
  // The listening may have begun inside the first frame, or in the gap before it with some
  // misread characters in front: keep what has the length of the next frame.
  if (frames.size() >= 2 && frames[0].size() < frames[1].size())
    frames.erase(frames.begin());
  else if (frames.size() >= 2 && frames[0].size() > frames[1].size())
    frames[0].erase(0, frames[0].size() - frames[1].size());
  return frames;
}

bool Regular(const std::vector<std::string>& frames) {
  if (frames.size() < 2)
    return false;
  const auto [shortest, longest] = std::minmax_element(
      frames.begin(), frames.end(), [](const auto& a, const auto& b) { return a.size() < b.size(); });
  return longest->size() - shortest->size() <= 3 && longest->size() <= 80;
}

} // namespace

TFrameAnalysis AnalyseFrames(std::string_view received, const FrameSettings& base) {
  TFrameAnalysis out;
  out.settings = base;
  std::vector<int> order = {10, 13, 3, 4, 23};
  for (int c = 0; c < 32; ++c)
    if (std::find(order.begin(), order.end(), c) == order.end())
      order.push_back(c);
  int tm = -1;
  for (const int c : order) {
    auto frames = SplitFrames(received, static_cast<char>(c));
    if (Regular(frames)) {
      tm = c;
      out.frames = std::move(frames);
      break;
    }
  }
  if (tm < 0)
    return out;
  constexpr std::size_t kKeep = 8;
  if (out.frames.size() > kKeep)
    out.frames.erase(out.frames.begin(), out.frames.end() - kKeep);

  std::vector<std::size_t> all(out.frames.size());
  for (std::size_t i = 0; i < all.size(); ++i)
    all[i] = i;
  std::vector<std::string_view> bodies;
  std::vector<std::optional<Field>> fields;
  for (const auto& f : out.frames) {
    bodies.emplace_back(std::string_view(f).substr(0, f.size() - 1));
    fields.push_back(FindField(bodies.back()));
  }

  // The sign is shown only when it varies.
  std::optional<char> sign;
  bool signVaries = false;
  bool anyField = false;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (!fields[i])
      continue;
    const char s = fields[i]->sign == std::string::npos ? ' ' : bodies[i][fields[i]->sign];
    if (anyField && sign != s)
      signVaries = true;
    sign = s;
    anyField = true;
  }
  std::size_t le = std::string::npos;
  std::size_t lh = std::string::npos;
  bool zeros = false;
  int decimals = 0;
  std::vector<std::size_t> zeroFrames, pointFrames;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (!fields[i])
      continue;
    const Field& f = *fields[i];
    const std::size_t start = signVaries ? f.pad : (*sign == ' ' ? f.pad : f.digits);
    le = std::min(le, start);
    lh = std::min(lh, bodies[i].size() - f.end);
    const std::string_view number = bodies[i].substr(f.digits, f.end - f.digits);
    if (number.size() >= 2 && number[0] == '0' && Digit(number[1])) {
      zeros = true;
      zeroFrames.push_back(i);
    }
    const std::size_t point = number.find_first_of(".,");
    if (point != std::string_view::npos) {
      decimals = std::max(decimals, static_cast<int>(number.size() - point - 1));
      pointFrames.push_back(i);
    }
  }
  // A scale's frames carry a weight; regular frames without digits are a wrong speed's echo.
  const auto weighed =
      std::count_if(fields.begin(), fields.end(), [](const auto& f) { return f.has_value(); });
  if (weighed < 2 || static_cast<std::size_t>(weighed) * 2 < fields.size())
    return out;
  FrameSettings& s = out.settings;
  s.tm = tm;
  s.kr = tm;
  s.nm = zeros;
  s.tp = std::min(decimals, 4);
  s.le = static_cast<std::int32_t>(std::min<std::size_t>(le, 20));
  s.lh = static_cast<std::int32_t>(std::min<std::size_t>(lh, 20));
  // Blanks that pad the weight stay as far as the display has room for them.
  const auto tooWide = [&] {
    return std::any_of(out.frames.begin(), out.frames.end(),
                       [&](const std::string& f) { return !EvaluateFrame(s, f).fits; });
  };
  const auto blankAtFront = [&] {
    return std::all_of(bodies.begin(), bodies.end(), [&](std::string_view b) {
      return static_cast<std::size_t>(s.le) < b.size() && b[static_cast<std::size_t>(s.le)] == ' ';
    });
  };
  while (s.le < 20 && tooWide() && blankAtFront())
    ++s.le;

  out.found = true;
  out.suggestions = {{"tm", s.tm, all},
                     {"kr", s.kr, all},
                     {"le", s.le, all},
                     {"lh", s.lh, all},
                     {"nm", s.nm ? 1 : 0, zeros ? zeroFrames : all},
                     {"tp", s.tp, decimals ? pointFrames : all}};
  return out;
}

double TLineSearch::ListenSeconds(const TLineFormat& format) {
  return std::min(2.0, 1.05 + 24.0 * 11.0 / static_cast<double>(format.baud));
}

namespace {

// The speed is sought with a receiver of 7 data bits and one stop bit: the shortest character of
// any format a scale uses, so at the right speed it stays in step with every one of them and
// reads the text's 7 bits (the eighth bit, parity or stop bit then shows as a framing error).
constexpr std::int32_t kSpeedProbe = PrIndex(7, 0, 1);

double SpeedScore(std::string_view bytes, const FrameSettings& base) {
  const double n = static_cast<double>(bytes.size());
  return TextShare(bytes) * (AnalyseFrames(bytes, base).found ? 1.0 : 0.6) * std::min(1.0, n / 16.0);
}

} // namespace

TLineSearch::TLineSearch(FrameSettings base) : base_(std::move(base)) {
  speedOrder_.assign(std::begin(kSpeedOrder), std::end(kSpeedOrder));
  current_ = Format(speedOrder_[0], kSpeedProbe);
  heard_.format = current_;
}

void TLineSearch::Feed(std::string_view bytes, unsigned lineErrors, double now) {
  if (bytes.empty() && lineErrors == 0)
    return;
  heard_.rawBytes += bytes.size();
  heard_.rawErrors += lineErrors;
  if (!heard_.synced) {
    const double quiet = std::max(0.03, 30.0 / static_cast<double>(current_.baud));
    const double gap = now - heard_.lastActivity;
    heard_.lastActivity = now;
    if (gap < quiet)
      return;
    heard_.synced = true;
  }
  constexpr std::size_t kKeep = 4096;
  if (heard_.bytes.size() < kKeep)
    heard_.bytes.append(bytes.substr(0, kKeep - heard_.bytes.size()));
  heard_.errors += lineErrors;
}

bool TLineSearch::Enough() const {
  const std::size_t n = heard_.bytes.size();
  if (phase_ == 1)
    return n >= 96 || (n >= 24 && TextShare(heard_.bytes) < 0.5) || AnalyseFrames(heard_.bytes, base_).found;
  if (heard_.errors >= 2)
    return true;
  if (heard_.errors > 0)
    return false;
  return AnalyseFrames(heard_.bytes, base_).frames.size() >= 3;
}

void TLineSearch::Next() {
  if (done_)
    return;
  if (phase_ == 1) {
    heard_.score = SpeedScore(heard_.bytes, base_);
    speeds_.push_back(heard_);
    const bool clear = heard_.score >= 0.98;
    if (clear || speeds_.size() >= speedOrder_.size()) {
      StartPhase2();
      return;
    }
    current_ = Format(speedOrder_[speeds_.size()], kSpeedProbe);
  } else {
    const auto analysis = AnalyseFrames(heard_.bytes, base_);
    const double share = TextShare(heard_.bytes);
    heard_.score = share * (heard_.errors == 0 ? 1.0 : 0.3) * (analysis.found ? 1.0 : 0.5);
    formats_.push_back(heard_);
    if (heard_.errors == 0 && share >= 0.98 && analysis.found) {
      Finish();
      return;
    }
    ++index_;
    if (index_ >= formatOrder_.size()) {
      // No format reads this speed clean. A wrong speed can echo a frame so regularly that it
      // looked clear: go on with the speeds not heard yet, else with the next best one.
      if (speeds_.size() < speedOrder_.size()) {
        phase_ = 1;
        current_ = Format(speedOrder_[speeds_.size()], kSpeedProbe);
      } else {
        StartPhase2();
        return;
      }
    } else {
      current_ = Format(current_.baud, formatOrder_[index_]);
    }
  }
  heard_ = Heard{};
  heard_.format = current_;
}

void TLineSearch::StartPhase2() {
  phase_ = 2;
  // The best speed whose formats have not been tried; at most three speeds get that far.
  const Heard* best = nullptr;
  for (const Heard& h : speeds_)
    if (std::find(tested_.begin(), tested_.end(), h.format.baud) == tested_.end() &&
        (!best || h.score > best->score))
      best = &h;
  if (!best || best->score < 0.5 || tested_.size() >= 3) {
    Finish();
    return;
  }
  tested_.push_back(best->format.baud);
  formatOrder_.assign(std::begin(kFormats), std::end(kFormats));
  index_ = 0;
  current_ = Format(best->format.baud, formatOrder_[0]);
  heard_ = Heard{};
  heard_.format = current_;
}

void TLineSearch::Stop() {
  if (done_)
    return;
  if (phase_ == 1)
    speeds_.push_back(heard_);
  else
    formats_.push_back(heard_);
  Finish();
}

void TLineSearch::Finish() {
  done_ = true;
  result_ = TSearchResult{};
  const bool silent = std::all_of(speeds_.begin(), speeds_.end(),
                                  [](const Heard& h) { return h.rawBytes == 0 && h.rawErrors == 0; });
  result_.outcome = silent ? TSearchOutcome::soNODATA : TSearchOutcome::soUNUSABLE;
  std::vector<Heard> ranked = formats_;
  std::stable_sort(ranked.begin(), ranked.end(),
                   [](const Heard& a, const Heard& b) { return a.score > b.score; });
  if (ranked.empty() || ranked[0].errors != 0 || ranked[0].score < 0.9)
    return;
  auto analysis = AnalyseFrames(ranked[0].bytes, base_);
  if (!analysis.found)
    return;
  result_.outcome = TSearchOutcome::soFOUND;
  result_.format = ranked[0].format;
  if (ranked.size() >= 2 && ranked[1].errors == 0 && ranked[1].score >= ranked[0].score - 0.02)
    result_.runnerUp = ranked[1].format;
  result_.frames = std::move(analysis);
}

double TLineSearch::Progress() const {
  if (done_)
    return 1.0;
  // Most of the time goes to the speeds; each format round takes a share of the rest.
  const double speeds = static_cast<double>(speeds_.size()) / static_cast<double>(speedOrder_.size());
  const double formats =
      phase_ == 2 ? static_cast<double>(index_) / static_cast<double>(std::size(kFormats)) : 0;
  return std::min(0.99, 0.7 * speeds + 0.3 * formats);
}

TSearchResult TLineSearch::Result() const {
  return result_;
}

double RunSearchOnLine(TLineSearch& search, const TBitStream& line, double start, double reopen,
                       double step) {
  double t = start;
  while (!search.Done()) {
    t += reopen;
    const TLineFormat format = search.Current();
    const double opened = t;
    double resume = t;
    while (t - opened < TLineSearch::ListenSeconds(format) && !search.Enough()) {
      const auto got = Receive(line, format, resume, t + step, &resume);
      t += step;
      // Each character as it arrives; a step with line errors reports them once.
      bool error = false;
      for (const auto& r : got) {
        const char c = static_cast<char>(r.byte);
        const bool first = !error && (r.framingError || r.parityError);
        error = error || first;
        search.Feed(std::string_view(&c, 1), first ? 1u : 0u, r.time - opened);
      }
    }
    search.Next();
  }
  return t;
}

} // namespace rv58
