#include "scalelisten.h"

namespace rv58 {

void SetLineFormat(TComPort& port, const TLineFormat& f) {
  port.Baud = f.baud;
  port.DataBits = static_cast<std::uint8_t>(f.dataBits);
  port.Parity = f.parity;
  port.StopBits = f.stopBits == 2 ? sbTWO : sbONE;
}

TLineFormat LineFormatOf(const DisplaySettings& settings) {
  return TLineFormat::FromIndices(settings.bd(), settings.pr());
}

void ApplyDetection(const TSearchResult& result, DisplaySettings& s) {
  if (result.outcome != TSearchOutcome::soFOUND)
    return;
  const FrameSettings& f = result.frames.settings;
  s.SetBd(result.format.BdIndex());
  s.SetPr(result.format.PrIndex());
  s.SetTm(f.tm);
  s.SetKr(f.kr);
  s.SetLe(f.le);
  s.SetLh(f.lh);
  s.SetNm(f.nm);
  s.SetTp(f.tp);
  s.SetBt(f.bt);
  s.SetHk(f.hk);
}

TSearchRun::~TSearchRun() {
  Close();
}

double TSearchRun::Since() const {
  return std::chrono::duration<double>(Clock::now() - opened_).count();
}

void TSearchRun::Close() {
  if (!open_)
    return;
  port_.Close();
  port_.ReceiveCallBack = nullptr;
  port_.OnError = nullptr;
  open_ = false;
}

bool TSearchRun::Due() const {
  return search_.Done() || !open_ || search_.Enough() || Since() >= search_.ListenTime();
}

bool TSearchRun::Poll() {
  if (search_.Done())
    return false;
  if (!open_) {
    SetLineFormat(port_, search_.Current());
    port_.ReceiveMode = rmRAW;
    port_.ReceiveCallBack = [this](const std::string& data) { search_.Feed(data, 0, Since()); };
    port_.OnError = [this](TComPort& p) {
      if (p.Active())
        search_.Feed({}, 1, Since());
    };
    opened_ = Clock::now();
    port_.Open();
    if (!port_.Active()) {
      port_.ReceiveCallBack = nullptr;
      port_.OnError = nullptr;
      portFailed_ = !everOpened_;
      search_.Stop(); // a port that went away during the search ends it with what was heard
      return false;
    }
    open_ = everOpened_ = true;
    return true;
  }
  if (search_.Enough() || Since() >= search_.ListenTime()) {
    Close();
    search_.Next();
  }
  return !search_.Done();
}

void TSearchRun::Stop() {
  Close();
  search_.Stop();
}

} // namespace rv58
