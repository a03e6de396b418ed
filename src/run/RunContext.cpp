#include "run/RunContext.h"

namespace zentrak::run {

std::wstring BuildIdentityText(const std::optional<IdentityFacts>& facts) {
  std::wstring text = kIdentityTextBase;
  if (!facts) return text;
  text += L"(PID=" + std::to_wstring(facts->suite_id);
  text += L";V=" + facts->suite_version;
  text += L";CID=" + std::to_wstring(facts->custom_id);
  text += L";MUID=" + facts->muid + L")";
  return text;
}

}  // namespace zentrak::run
