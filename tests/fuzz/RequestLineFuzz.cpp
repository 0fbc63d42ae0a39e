// SPDX-License-Identifier: GPL-3.0-or-later
// The command line that Resize builds, from requests of any text that pass its checks: folders
// and file names as any folder may hold them, and whatever is typed. The converter must read each
// line back into the same request, or the start must fail, or the converter refuse it as a usage
// error; never may typed text turn into other switches.
#include "FuzzInput.h"

#include "resize_job/RequestReadBack.h"

using namespace karvelo;
using namespace karvelo::resize_job;
using karvelo::fuzz::FuzzInput;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput in(data, size);
  const bool windows = in.flag();
  const char separator = in.flag() ? ',' : '.';
  ResizeRequest r;
  r.Method = static_cast<ResizeMethod>(1 + in.below(3));
  r.MaintainAspect = in.flag();
  r.Overwrite = in.flag();
  r.SourceFolder = in.text(40);
  r.DestFolder = in.text(40);
  r.FileNames = {in.text(40)};
  r.RatioText = leftCharacters(in.text(8), 2);
  r.HeightText = in.text(16);
  r.WidthText = in.text(16);
  r.Prefix = in.text(16);
  r.Suffix = in.text(16);
  if (CheckResizeRequest(r, separator)) return 0;  // an entry error: nothing is started

  const karvelo::testing::LineStyle style =
      windows ? karvelo::testing::LineStyle{platform::windowsPaths, converter::PathStyle::Windows,
                                            "C:\\Program Files\\Karvelo"}
              : karvelo::testing::LineStyle{platform::posixPaths, converter::PathStyle::Posix,
                                            "/opt/karvelo"};
  const std::optional<std::string> fault = karvelo::testing::readBackFault(r, separator, style);
  fuzz::require(!fault, fault.value_or(""));
  return 0;
}
