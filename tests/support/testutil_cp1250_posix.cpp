#include "testutil_cp1250.h"

#include <iconv.h>

namespace rv58::test {

std::string ToCp1250(const std::string& utf8) {
  iconv_t cd = iconv_open("CP1250", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1))
    return "<no converter>";
  std::string in = utf8;
  std::string out(in.size() * 2 + 4, '\0');
  char* inp = in.data();
  char* outp = out.data();
  std::size_t inLeft = in.size();
  std::size_t outLeft = out.size();
  const std::size_t rc = iconv(cd, &inp, &inLeft, &outp, &outLeft);
  iconv_close(cd);
  if (rc == static_cast<std::size_t>(-1))
    return "<not convertible>";
  out.resize(out.size() - outLeft);
  return out;
}

} // namespace rv58::test
