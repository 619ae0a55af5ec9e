#include "scalesearch.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <map>

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

bool Point(char c) {
  return c == '.' || c == ',';
}

// A byte that recurs once per period: the intervals between its places are nearly all alike.
struct Marker {
  unsigned char c = 0;
  std::size_t period = 0;
  std::size_t count = 0;
  std::size_t exact = 0; // intervals exactly one period long
};

std::size_t Tolerance(std::size_t period) {
  return std::max<std::size_t>(2, period / 8);
}

std::vector<Marker> Markers(std::string_view s) {
  std::array<std::vector<std::size_t>, 256> at;
  for (std::size_t i = 0; i < s.size(); ++i)
    at[static_cast<unsigned char>(s[i])].push_back(i);
  std::vector<Marker> out;
  for (std::size_t c = 0; c < at.size(); ++c) {
    const auto& places = at[c];
    if (places.size() < 2)
      continue;
    std::vector<std::size_t> steps;
    for (std::size_t k = 1; k < places.size(); ++k)
      steps.push_back(places[k] - places[k - 1]);
    std::vector<std::size_t> sorted = steps;
    std::nth_element(sorted.begin(), sorted.begin() + static_cast<long>(sorted.size() / 2), sorted.end());
    const std::size_t period = sorted[sorted.size() / 2];
    if (period < 3)
      continue;
    const auto alike = std::count_if(steps.begin(), steps.end(), [&](std::size_t d) {
      return (d > period ? d - period : period - d) <= Tolerance(period);
    });
    if (static_cast<std::size_t>(alike) * 4 >= steps.size() * 3)
      out.push_back({static_cast<unsigned char>(c), period, places.size(),
                     static_cast<std::size_t>(std::count(steps.begin(), steps.end(), period))});
  }
  return out;
}

// The frame's period: the one the most often recurring bytes share, control characters first (a
// byte that comes twice a frame recurs at half of it, one in a rare frame at a multiple).
std::size_t FramePeriod(const std::vector<Marker>& markers) {
  const bool controls = std::any_of(markers.begin(), markers.end(), [](const Marker& m) { return m.c < 32; });
  std::size_t best = 0, bestVotes = 0;
  for (const Marker& m : markers) {
    if (controls && m.c >= 32)
      continue;
    std::size_t votes = 0;
    for (const Marker& o : markers)
      if ((!controls || o.c < 32) &&
          (o.period > m.period ? o.period - m.period : m.period - o.period) <= Tolerance(m.period))
        votes += o.count;
    if (votes > bestVotes || (votes == bestVotes && m.period < best)) {
      best = m.period;
      bestVotes = votes;
    }
  }
  return best;
}

// A number in a frame: digits with at most one point or comma among them.
struct Token {
  std::size_t start = 0;
  std::size_t end = 0; // after the last digit
  bool point = false;
};

std::vector<Token> Tokens(std::string_view body) {
  std::vector<Token> out;
  std::size_t i = 0;
  while (i < body.size()) {
    if (!Digit(body[i])) {
      ++i;
      continue;
    }
    Token t;
    t.start = i;
    while (i < body.size() &&
           (Digit(body[i]) || (Point(body[i]) && !t.point && i + 1 < body.size() && Digit(body[i + 1])))) {
      t.point = t.point || Point(body[i]);
      ++i;
    }
    t.end = i;
    out.push_back(t);
  }
  return out;
}

// The number that ends exactly at `end` of the body, if any.
std::optional<Token> TokenEndingAt(std::string_view body, std::size_t end) {
  if (end == 0 || end > body.size() || !Digit(body[end - 1]) || (end < body.size() && Digit(body[end])))
    return std::nullopt;
  Token t;
  t.end = end;
  t.start = end - 1;
  while (t.start > 0 && (Digit(body[t.start - 1]) || (Point(body[t.start - 1]) && !t.point && t.start >= 2 &&
                                                      Digit(body[t.start - 2])))) {
    t.point = t.point || Point(body[t.start - 1]);
    --t.start;
  }
  return t;
}

template <typename T> T Mode(const std::vector<T>& values) {
  std::map<T, std::size_t> counts;
  for (const T& v : values)
    ++counts[v];
  T best{};
  std::size_t most = 0;
  for (const auto& [v, n] : counts)
    if (n > most) {
      best = v;
      most = n;
    }
  return best;
}

bool Contains(std::string_view s, int c) {
  return s.find(static_cast<char>(c)) != std::string_view::npos;
}

// The numeric fields of the frames, by the place where they end (counted from the frame's end).
struct FieldColumn {
  std::size_t fromEnd = 0;
  std::size_t frames = 0; // frames with a number ending there
  std::size_t width = 0;  // the widest such number
  bool point = false;
  std::vector<std::string> values;
};

// The field that behaves like a weight: in most frames, changing with the load, a point; not a
// one- or two-digit field (a decimal count, a hex checksum) nor a counter; the first such wins
// over a tare or a count after it.
std::optional<FieldColumn> WeightField(const std::vector<std::string_view>& frames) {
  std::map<std::size_t, FieldColumn> columns;
  for (const auto body : frames)
    for (const Token& t : Tokens(body)) {
      FieldColumn& c = columns[body.size() - t.end];
      c.fromEnd = body.size() - t.end;
      ++c.frames;
      c.width = std::max(c.width, t.end - t.start);
      c.point = c.point || t.point;
      c.values.emplace_back(body.substr(t.start, t.end - t.start));
    }
  std::optional<FieldColumn> best;
  int bestScore = 0;
  for (auto& [fromEnd, c] : columns) {
    if (c.frames * 2 < frames.size() || c.width < 2)
      continue;
    std::vector<std::string> distinct = c.values;
    std::sort(distinct.begin(), distinct.end());
    distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
    int counting = 0; // consecutive values one apart: a frame counter
    for (std::size_t i = 1; i < c.values.size(); ++i)
      if (c.values[i].size() <= 9 && c.values[i - 1].size() <= 9 && !c.point &&
          std::stol(c.values[i]) == std::stol(c.values[i - 1]) + 1)
        ++counting;
    int score = (distinct.size() >= 2 ? 8 : 0) + (c.point ? 4 : 0) + (c.width >= 3 ? 2 : -6);
    if (c.values.size() >= 3 && static_cast<std::size_t>(counting) * 2 >= c.values.size())
      score -= 8;
    // Equal scores: the larger distance from the end, so the first field, wins.
    if (!best || score >= bestScore) {
      best = c;
      bestScore = score;
    }
  }
  return best;
}

std::string KeptText(std::string_view body, std::size_t le, std::size_t lh, bool nm) {
  if (le + lh >= body.size())
    return {};
  const std::string text(body.substr(le, body.size() - le - lh));
  return nm ? DropLeadingZeros(text) : text;
}

std::string Quoted(std::int32_t code) {
  const auto& items = CharacterChoiceList();
  return code >= 0 && code < static_cast<std::int32_t>(items.size()) ? items[static_cast<std::size_t>(code)]
                                                                     : std::string("-");
}

} // namespace

TFrameAnalysis AnalyseFrames(std::string_view received, const FrameSettings& base,
                             const std::vector<std::size_t>& gaps) {
  TFrameAnalysis out;
  out.settings = base;
  const std::vector<Marker> all = Markers(received);
  const std::size_t period = FramePeriod(all);
  if (period == 0)
    return out;
  // The bytes that come once in (nearly) every frame.
  std::vector<Marker> markers;
  for (const Marker& m : all)
    if ((m.period > period ? m.period - period : period - m.period) <= Tolerance(period) &&
        m.count * period * 4 >= received.size() * 3)
      markers.push_back(m);
  if (markers.empty())
    return out;

  // Frames cut at the most regular of them (a control character, else one that is not part of a
  // number; a checksum byte that may equal a start character makes that one irregular), to find
  // the weight and the other bytes' places.
  const auto rank = [](const Marker& m) {
    const int kind = m.c < 32 ? 2 : Digit(static_cast<char>(m.c)) || Point(static_cast<char>(m.c)) ? 0 : 1;
    return std::make_pair(kind, m.exact);
  };
  const unsigned char ref =
      std::max_element(markers.begin(), markers.end(), [&](const Marker& a, const Marker& b) {
        return rank(a) < rank(b);
      })->c;
  // What came right after a pause begins a whole frame; else the listening may have begun inside one.
  const bool wholeFirst = !gaps.empty() && gaps.front() == 0;
  std::vector<std::string_view> cut;
  std::vector<std::size_t> cutAt; // where each frame starts in `received`
  std::size_t from = 0;
  for (const std::string& piece : TFrameSplitter(ref).Feed(received)) {
    // A start character right after the pause makes a frame of its own, too short to count.
    if ((from > 0 || wholeFirst) && piece.size() >= 3) {
      cut.push_back(received.substr(from, piece.size()));
      cutAt.push_back(from);
    }
    from += piece.size();
  }
  if (cut.empty())
    return out;
  const auto field = WeightField(cut);
  if (!field)
    return out;
  std::vector<std::size_t> lengths;
  for (const auto f : cut)
    lengths.push_back(f.size());
  const std::size_t length = Mode(lengths);
  if (field->fromEnd >= length)
    return out;
  const std::size_t fieldEnd = length - field->fromEnd;
  std::size_t fieldStart = fieldEnd;
  for (const auto f : cut)
    if (f.size() == length)
      if (const auto t = TokenEndingAt(f, fieldEnd))
        fieldStart = std::min(fieldStart, t->start);

  // Each recurring byte's place after the weight's end (0: right after it).
  struct Place {
    unsigned char c;
    std::size_t after;
  };
  std::vector<Place> places;
  for (const Marker& m : markers) {
    std::vector<std::size_t> offsets;
    for (const auto f : cut)
      if (f.size() == length)
        if (const std::size_t at = f.find(static_cast<char>(m.c)); at != std::string_view::npos)
          offsets.push_back(at);
    if (offsets.empty() || Digit(static_cast<char>(m.c)) || m.c > 126)
      continue;
    const std::size_t at = Mode(offsets);
    if (at >= fieldStart && at < fieldEnd)
      continue; // a point at a fixed place is part of the weight
    places.push_back({m.c, (at + length - fieldEnd) % length});
  }
  if (places.empty())
    return out;
  std::sort(places.begin(), places.end(), [](const Place& a, const Place& b) { return a.after < b.after; });

  // The terminator: the byte that ends the frame, so that the display shows each weight as its
  // frame ends. Pauses tell where that is; without them, an end character (ETX, EOT, ETB) or the
  // byte before a start character (SOH, STX), else the last of the control characters after the
  // weight, else the first byte after it.
  std::optional<unsigned char> tm;
  std::vector<std::size_t> gapPlaces;
  for (const std::size_t g : gaps) {
    const auto it = std::upper_bound(cutAt.begin(), cutAt.end(), g);
    if (it == cutAt.begin())
      continue;
    const std::size_t i = static_cast<std::size_t>(it - cutAt.begin()) - 1;
    if (cut[i].size() == length && g - cutAt[i] < length)
      gapPlaces.push_back((g - cutAt[i] + length - 1) % length); // the byte before the pause
  }
  if (gapPlaces.size() >= 2) {
    const std::size_t end = Mode(gapPlaces);
    if (static_cast<std::size_t>(std::count(gapPlaces.begin(), gapPlaces.end(), end)) * 10 >=
        gapPlaces.size() * 7) {
      const std::size_t after = (end + length - fieldEnd) % length;
      for (const Place& p : places)
        if (p.after <= after)
          tm = p.c;
      if (!tm)
        tm = places.back().c;
    }
  }
  if (!tm) {
    const auto is = [](const Place& p, std::initializer_list<int> set) {
      return std::find(set.begin(), set.end(), p.c) != set.end();
    };
    const auto end = std::find_if(places.begin(), places.end(), [&](const Place& p) {
      return is(p, {3, 4, 23});
    });
    const auto start = std::find_if(places.begin(), places.end(), [&](const Place& p) {
      return is(p, {1, 2});
    });
    if (end != places.end()) {
      tm = end->c;
    } else {
      for (auto p = places.begin(); p != start; ++p)
        if (p->c < 32)
          tm = p->c;
      if (!tm && start != places.end())
        tm = start->c;
    }
    if (!tm)
      tm = places.front().c;
  }
  const std::size_t lh =
      std::find_if(places.begin(), places.end(), [&](const Place& p) { return p.c == *tm; })->after;

  // The frames as the display cuts them, and the weight in each.
  TFrameSplitter splitter(*tm);
  std::vector<std::string> frames = splitter.Feed(received);
  if (!frames.empty() && !wholeFirst)
    frames.erase(frames.begin());
  std::vector<std::string_view> bodies;
  for (const auto& f : frames)
    bodies.emplace_back(std::string_view(f).substr(0, f.size() - 1));
  std::vector<std::optional<Token>> weights;
  std::vector<std::size_t> bodyLengths;
  for (const auto b : bodies) {
    weights.push_back(b.size() >= lh ? TokenEndingAt(b, b.size() - lh) : std::nullopt);
    bodyLengths.push_back(b.size());
  }
  const std::size_t bodyLength = bodyLengths.empty() ? 0 : Mode(bodyLengths);
  std::vector<std::size_t> good, errors;
  const bool fixed =
      static_cast<std::size_t>(std::count(bodyLengths.begin(), bodyLengths.end(), bodyLength)) * 5 >=
      bodyLengths.size() * 4;
  for (std::size_t i = 0; i < bodies.size(); ++i) {
    const bool usual = !fixed || bodies[i].size() == bodyLength;
    if (weights[i] && usual)
      good.push_back(i);
    else if (!weights[i] &&
             (fixed ? (bodies[i].size() + 3 >= bodyLength && bodies[i].size() <= bodyLength + 3)
                    : bodies[i].size() >= 2))
      errors.push_back(i);
  }
  if (good.size() < 2 || good.size() * 2 < frames.size())
    return out;

  // The kept text begins with a sign right before the digits, else with the digits.
  std::size_t le = std::string::npos;
  std::optional<std::size_t> separated; // a sign with blanks between it and the digits
  bool anySign = false;
  for (const std::size_t i : good) {
    const auto b = bodies[i];
    const Token& t = *weights[i];
    std::size_t start = t.start;
    if (start > 0 && (b[start - 1] == '+' || b[start - 1] == '-')) {
      --start;
      anySign = true;
    } else {
      std::size_t s = start;
      while (s > 0 && b[s - 1] == ' ')
        --s;
      if (s > 0 && s < start && (b[s - 1] == '+' || b[s - 1] == '-')) {
        separated = std::min(separated.value_or(s - 1), s - 1);
        anySign = true;
      }
    }
    le = std::min(le, start);
  }
  bool nm = false;
  int decimals = 0;
  std::vector<std::size_t> zeroFrames, pointFrames;
  for (const std::size_t i : good) {
    const auto number = bodies[i].substr(weights[i]->start, weights[i]->end - weights[i]->start);
    if (number.size() >= 2 && number[0] == '0' && Digit(number[1])) {
      nm = true;
      zeroFrames.push_back(i);
    }
    if (const std::size_t p = number.find_first_of(".,"); p != std::string_view::npos) {
      decimals = std::max(decimals, static_cast<int>(number.size() - p - 1));
      pointFrames.push_back(i);
    }
  }
  const auto widest = [&](std::size_t from) {
    std::size_t cells = 0;
    for (const std::size_t i : good)
      cells = std::max(cells, DisplayCells(KeptText(bodies[i], from, lh, nm)));
    return cells;
  };
  if (separated) {
    if (widest(*separated) <= 6)
      le = *separated;
    else
      out.notes.push_back(
          "Az előjelet szóközök választják el a számjegyektől: a kijelző előjel nélkül mutatja "
          "a súlyt.");
  }
  // Blanks before the digits stay as far as the display has room for them (a sign that floats in
  // them, or a sign column that is blank for a positive weight, shows then).
  const std::size_t room = std::max<std::size_t>(5, std::min<std::size_t>(6, widest(le)));
  const auto blankBefore = [&](std::size_t at) {
    return at > 0 &&
           std::all_of(good.begin(), good.end(), [&](std::size_t i) { return bodies[i][at - 1] == ' '; });
  };
  while (blankBefore(le) && widest(le - 1) <= room)
    --le;

  FrameSettings& s = out.settings;
  s.tm = *tm;
  s.kr = *tm;
  s.le = static_cast<std::int32_t>(std::min<std::size_t>(le, 20));
  s.lh = static_cast<std::int32_t>(std::min<std::size_t>(lh, 20));
  if (le > 20 || lh > 20)
    out.notes.push_back(
        "A súly előtt vagy után több mint 20 karakter áll: a kijelző nem tudja annyit levágni.");
  s.nm = nm;
  s.tp = std::min(decimals, 4);
  if (decimals == 0) {
    // A one-digit field that stays the same in every frame may say how many decimals follow.
    std::vector<std::string_view> goodBodies;
    for (const std::size_t i : good)
      goodBodies.push_back(bodies[i]);
    std::map<std::size_t, std::vector<std::string>> digitsAt;
    for (const auto b : goodBodies)
      for (const Token& t : Tokens(b))
        if (t.end - t.start == 1 && t.end != b.size() - lh)
          digitsAt[b.size() - t.end].emplace_back(1, b[t.start]);
    for (const auto& column : digitsAt) {
      const std::vector<std::string>& values = column.second;
      if (values.size() == good.size() &&
          std::all_of(values.begin(), values.end(), [&](const std::string& v) { return v == values[0]; }) &&
          values[0] >= "1" && values[0] <= "4")
        s.tp = values[0][0] - '0';
    }
  }
  const std::size_t cells = widest(le);
  if (cells > static_cast<std::size_t>(DisplayWidth(s.bt)))
    s.bt = 2;
  if (cells > 6)
    out.notes.push_back("A súly szövege " + std::to_string(cells) +
                        " karakter: a 6 karakteres betűtípusnál is szélesebb, nem fér el a kijelzőn.");

  // The error character: in every error frame and in no good one.
  std::vector<std::size_t> errorFrames;
  if (!errors.empty()) {
    std::optional<int> hk;
    std::size_t bestCover = 0;
    std::optional<int> partial;
    // The error frames' characters, those where the weight stands first.
    std::string order;
    for (const std::size_t i : errors)
      order += bodies[i].substr(std::min(bodies[i].size(), le));
    for (const std::size_t i : errors)
      order += bodies[i];
    for (const char ch : order) {
      const int c = static_cast<unsigned char>(ch);
      if (c == 0 || c == ' ' || c > 126 || c == *tm ||
          std::any_of(good.begin(), good.end(), [&](std::size_t i) { return Contains(frames[i], c); }))
        continue;
      const auto cover = static_cast<std::size_t>(
          std::count_if(errors.begin(), errors.end(), [&](std::size_t i) { return Contains(frames[i], c); }));
      if (cover == errors.size()) {
        hk = c;
        break;
      }
      if (cover > bestCover) {
        bestCover = cover;
        partial = c;
      }
    }
    if (!hk && partial) {
      hk = partial;
      out.notes.push_back("A mérleg többféle hibajelzést küld, közös karakter nélkül: a kijelző csak az "
                          "egyiknél mutatja a hibaszöveget.");
    }
    s.hk = hk.value_or(-1);
    for (const std::size_t i : errors)
      if (s.hk >= 0 && Contains(frames[i], s.hk))
        errorFrames.push_back(i);
  } else if (s.hk >= 0 && std::any_of(good.begin(), good.end(),
                                      [&](std::size_t i) { return Contains(frames[i], s.hk); })) {
    out.notes.push_back("A hibát jelző karakter (" + Quoted(s.hk) +
                        ") a jó keretekben is előfordul, ezért nincs hibakarakter beállítva.");
    s.hk = -1;
  }

  // What else the display cannot do with these frames.
  if (fixed) {
    bool binary = false, statusBits = false;
    for (std::size_t col = 0; col < bodyLength; ++col) {
      bool varies = false, odd = false, bits = false;
      for (const std::size_t i : good) {
        const auto c = static_cast<unsigned char>(bodies[i][col]);
        varies = varies || c != static_cast<unsigned char>(bodies[good[0]][col]);
        odd = odd || c < 32 || c > 126;
        bits = bits || !(std::isalpha(c) || c == ' ');
      }
      binary = binary || (varies && odd);
      statusBits = statusBits || (varies && bits && col < le);
    }
    if (binary)
      out.notes.push_back("A keretben ellenőrző bájt van, amely bármilyen értéket felvehet: ha épp a "
                          "zárókarakterrel (" +
                          Quoted(s.tm) + ") egyezik, a kijelző azt a keretet kettévágja.");
    if (statusBits && !anySign)
      out.notes.push_back("A keret állapotbájtot hordoz; ha a mérleg az előjelet abban küldi, a kijelző nem "
                          "tudja megmutatni.");
  }

  std::vector<std::size_t> everyFrame(frames.size());
  for (std::size_t i = 0; i < everyFrame.size(); ++i)
    everyFrame[i] = i;
  out.found = true;
  out.suggestions = {{"tm", s.tm, good},
                     {"kr", s.kr, good},
                     {"le", s.le, good},
                     {"lh", s.lh, good},
                     {"nm", s.nm ? 1 : 0, nm ? zeroFrames : good},
                     {"tp", s.tp, decimals ? pointFrames : good},
                     {"bt", s.bt, good},
                     {"hk", s.hk, errorFrames.empty() ? good : errorFrames}};
  out.frames = std::move(frames);
  return out;
}

const char* OutcomeText(TSearchOutcome outcome) {
  switch (outcome) {
  case TSearchOutcome::soFOUND:
    return "";
  case TSearchOutcome::soNODATA:
    return "nincs adat: nem érkezett semmi a porton (be van kapcsolva a mérleg, jó a kábel?)";
  case TSearchOutcome::soGARBLED:
    return "hibás karakterek: érkezett adat, de egyik sebességen és formátumon sem olvasható hibátlanul";
  case TSearchOutcome::soNOFRAMES:
    return "nem található keretszerkezet: az adat olvasható, de nincs benne ismétlődő keret súllyal";
  }
  return "";
}

namespace {

// The speed is sought with a receiver of 7 data bits and one stop bit: the shortest character of
// any format a scale uses, so at the right speed it stays in step with every one of them and
// reads the text's 7 bits (the eighth bit, parity or stop bit then shows as a framing error).
constexpr std::int32_t kSpeedProbe = PrIndex(7, 0, 1);

// The winner is heard this long at most for its frames, or until so many have come.
constexpr double kFramesSeconds = 5.0;
constexpr std::size_t kFramesWanted = 16;
constexpr std::size_t kKeepBytes = 4096;
constexpr double kSyncSeconds = 0.25;

double CharacterSeconds(const TLineFormat& f) {
  return (2.0 + f.dataBits + (f.parity != 0 ? 1 : 0) + (f.stopBits - 1)) / static_cast<double>(f.baud);
}

} // namespace

TLineSearch::TLineSearch(FrameSettings base) : base_(std::move(base)) {
  speedOrder_.assign(std::begin(kSpeedOrder), std::end(kSpeedOrder));
  Listen(Format(speedOrder_[0], kSpeedProbe));
}

void TLineSearch::Listen(const TLineFormat& format) {
  current_ = format;
  heard_ = Heard{};
  heard_.format = format;
  analysed_ = false;
}

double TLineSearch::ListenTime() const {
  if (phase_ == phFRAMES)
    return kFramesSeconds;
  const double base = std::min(2.0, 1.2 + 24.0 * 11.0 / static_cast<double>(current_.baud));
  // A candidate that reads clean text but has not shown two whole frames yet (the listening began
  // inside one) is heard a little longer.
  // (Clean at a format, where a checksum byte may not be text; at a speed, the probe reads the
  // eighth bit as an error, so the text must be plainer.)
  const bool promising =
      heard_.bytes.size() >= 8 && !Analysis().found &&
      (phase_ == phSPEED ? TextShare(heard_.bytes) >= 0.9 : heard_.Clean() && TextShare(heard_.bytes) >= 0.8);
  return promising ? base + 1.5 : base;
}

void TLineSearch::Feed(std::string_view bytes, unsigned lineErrors, double now) {
  if (bytes.empty() && lineErrors == 0)
    return;
  heard_.rawBytes += bytes.size();
  heard_.rawErrors += lineErrors;
  const double character = CharacterSeconds(current_);
  // The opening counts as activity: a first byte long after it came after a pause.
  const bool pause = now - heard_.lastActivity >= std::max(0.03, 10 * character);
  if (heard_.firstActivity < 0)
    heard_.firstActivity = now;
  heard_.lastActivity = now;
  if (!heard_.synced) {
    // In step after a pause, or after a stretch of characters with no pause at all and, early on,
    // no error (a receiver that began inside a stream sent back to back takes a while to fall in
    // step; a wrong format errs all the time).
    if (lineErrors > 0 && now < kSyncSeconds)
      heard_.firstActivity = now;
    if (!pause && now - heard_.firstActivity < 16 * character)
      return;
    heard_.synced = true;
  }
  if (heard_.bytes.size() >= kKeepBytes)
    return;
  if (pause && !bytes.empty())
    heard_.gaps.push_back(heard_.bytes.size());
  heard_.bytes.append(bytes.substr(0, kKeepBytes - heard_.bytes.size()));
  heard_.errors += lineErrors;
}

const TFrameAnalysis& TLineSearch::Analysis() const {
  // Looked at again when a few more characters came: Enough() is asked often.
  if (!analysed_ || heard_.bytes.size() >= analysedBytes_ + 16 || heard_.bytes.size() < analysedBytes_) {
    analysis_ = AnalyseFrames(heard_.bytes, base_, heard_.gaps);
    analysedBytes_ = heard_.bytes.size();
    analysed_ = true;
  }
  return analysis_;
}

bool TLineSearch::Enough() const {
  const std::size_t n = heard_.bytes.size();
  if (phase_ == phSPEED)
    return n >= 96 || (n >= 24 && TextShare(heard_.bytes) < 0.5) || (n >= 8 && Analysis().found);
  if (phase_ == phFRAMES)
    return n >= kKeepBytes || (Analysis().found && Analysis().frames.size() >= kFramesWanted);
  if (heard_.errors >= 2 && !heard_.Clean())
    return true;
  if (!heard_.Clean())
    return false;
  return n >= 8 && Analysis().found && Analysis().frames.size() >= 3;
}

void TLineSearch::Next() {
  if (done_)
    return;
  if (phase_ == phFRAMES) {
    const TFrameAnalysis frames = Analysis();
    Finish(frames.found ? std::optional(frames) : std::nullopt);
    return;
  }
  heard_.share = TextShare(heard_.bytes);
  heard_.structure = heard_.bytes.size() >= 8 && Analysis().found;
  if (phase_ == phSPEED) {
    heard_.score = heard_.share * (heard_.structure ? 1.0 : 0.6) *
                   std::min(1.0, static_cast<double>(heard_.bytes.size()) / 16.0);
    speeds_.push_back(heard_);
    // A frame structure in text that reads almost clean: at most one byte a frame (a checksum) is
    // not text.
    const auto other =
        static_cast<std::size_t>((1.0 - heard_.share) * static_cast<double>(heard_.bytes.size()) + 0.5);
    const bool checksummed = heard_.structure && heard_.share >= 0.85 && Analysis().frames.size() >= 3 &&
                             other <= Analysis().frames.size() + 1;
    if (heard_.score >= 0.95 || checksummed || speeds_.size() >= speedOrder_.size()) {
      StartPhase2();
      return;
    }
    Listen(Format(speedOrder_[speeds_.size()], kSpeedProbe));
    return;
  }
  // A wrong format reads parity or framing errors, or (8 data bits for 7) half the bytes as
  // non-text; a checksum byte in each frame costs the right one only a little.
  heard_.score = heard_.share * (heard_.Clean() ? 1.0 : 0.3) * (heard_.structure ? 1.0 : 0.5);
  if (heard_.Clean() && heard_.share < 0.8 && heard_.bytes.size() >= 32 && !retried_) {
    // Few errors but no text: a receiver that began inside a stream with no pause at all can stay
    // out of step with a pattern that repeats. Opened again at another moment it falls in step.
    retried_ = true;
    Listen(current_);
    return;
  }
  retried_ = false;
  formats_.push_back(heard_);
  // Plain text read clean ends the round; a checksum byte that is not text leaves the choice to
  // the ranking once the other formats are heard (7 data bits with parity read as 8 come close).
  if (heard_.Clean() && heard_.share >= 0.98 && heard_.structure) {
    Decide();
    return;
  }
  ++index_;
  if (index_ < formatOrder_.size()) {
    Listen(Format(current_.baud, formatOrder_[index_]));
    return;
  }
  // A format that read this speed clean with frames in it, text but for a checksum byte, wins.
  const bool readable = std::any_of(formats_.begin(), formats_.end(), [&](const Heard& h) {
    return h.format.baud == current_.baud && h.Clean() && h.share >= 0.8 && h.structure;
  });
  if (readable) {
    Decide();
    return;
  }
  // No format reads this speed clean. A wrong speed can echo a frame so regularly that it looked
  // clear: go on with the speeds not heard yet, else with the next best one.
  if (speeds_.size() < speedOrder_.size()) {
    phase_ = phSPEED;
    Listen(Format(speedOrder_[speeds_.size()], kSpeedProbe));
  } else {
    StartPhase2();
  }
}

void TLineSearch::StartPhase2() {
  phase_ = phFORMAT;
  // The best speed whose formats have not been tried; at most three speeds get that far.
  const Heard* best = nullptr;
  for (const Heard& h : speeds_)
    if (std::find(tested_.begin(), tested_.end(), h.format.baud) == tested_.end() &&
        (!best || h.score > best->score))
      best = &h;
  if (!best || best->score < 0.5 || tested_.size() >= 3) {
    Decide();
    return;
  }
  tested_.push_back(best->format.baud);
  formatOrder_.assign(std::begin(kFormats), std::end(kFormats));
  index_ = 0;
  Listen(Format(best->format.baud, formatOrder_[0]));
}

void TLineSearch::Decide() {
  std::vector<Heard> ranked = formats_;
  std::stable_sort(ranked.begin(), ranked.end(),
                   [](const Heard& a, const Heard& b) { return a.score > b.score; });
  if (ranked.empty() || !ranked[0].Clean() || ranked[0].share < 0.8 || !ranked[0].structure) {
    Finish(std::nullopt);
    return;
  }
  winner_ = ranked[0];
  if (ranked.size() >= 2 && ranked[1].Clean() && ranked[1].score >= ranked[0].score - 0.02)
    runnerUp_ = ranked[1].format;
  // The winner is heard again, longer: the settings come from all its frames, not a second's worth.
  phase_ = phFRAMES;
  Listen(winner_->format);
}

void TLineSearch::Stop() {
  if (done_)
    return;
  if (phase_ == phFRAMES) {
    const TFrameAnalysis frames = Analysis();
    Finish(frames.found ? std::optional(frames) : std::nullopt);
    return;
  }
  if (phase_ == phSPEED)
    speeds_.push_back(heard_);
  else
    formats_.push_back(heard_);
  Finish(std::nullopt);
}

void TLineSearch::Finish(std::optional<TFrameAnalysis> frames) {
  done_ = true;
  result_ = TSearchResult{};
  const auto any = [](const std::vector<Heard>& all) {
    return std::any_of(all.begin(), all.end(),
                       [](const Heard& h) { return h.rawBytes > 0 || h.rawErrors > 0; });
  };
  const auto clean = [](const std::vector<Heard>& all) {
    return std::any_of(all.begin(), all.end(), [](const Heard& h) { return h.Clean() && h.share >= 0.95; });
  };
  if (!any(speeds_) && !any(formats_))
    result_.outcome = TSearchOutcome::soNODATA;
  else if (winner_ || clean(formats_) || (formats_.empty() && clean(speeds_)))
    result_.outcome = TSearchOutcome::soNOFRAMES;
  else
    result_.outcome = TSearchOutcome::soGARBLED;
  if (!winner_)
    return;
  // Without frames from the last listening (the port went away), the winner's own will do.
  if (!frames) {
    TFrameAnalysis own = AnalyseFrames(winner_->bytes, base_, winner_->gaps);
    if (!own.found)
      return;
    frames = std::move(own);
  }
  result_.outcome = TSearchOutcome::soFOUND;
  result_.format = winner_->format;
  result_.runnerUp = runnerUp_;
  result_.frames = std::move(*frames);
}

double TLineSearch::Progress() const {
  if (done_)
    return 1.0;
  if (phase_ == phFRAMES)
    return 0.9;
  // Most of the time goes to the speeds; each format round takes a share of the rest.
  const double speeds = static_cast<double>(speeds_.size()) / static_cast<double>(speedOrder_.size());
  const double formats =
      phase_ == phFORMAT ? static_cast<double>(index_) / static_cast<double>(std::size(kFormats)) : 0;
  return std::min(0.89, 0.6 * speeds + 0.3 * formats);
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
    while (t - opened < search.ListenTime() && !search.Enough()) {
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
