#include "transport/CommsClient.h"

#include <exception>

#include "hostsdk/ConfigItems.h"
#include "support/AgentValue.h"
#include "support/BuildSettings.h"
#include "support/Registry.h"
#include "support/Text.h"
#include "sysinfo/VersionInfo.h"
#include "transport/CampaignTracker.h"
#include "transport/CommsLoader.h"
#include "transport/HttpDownload.h"
#include "transport/TransportTracePoints.h"

namespace zentrak::transport {
namespace {

static_assert(sizeof(build::kApplicationKey) == 33, "the application key has 32 characters");

// Longest enciphered part kept after the prefix.
constexpr std::size_t kEncipheredPartMaxBytes = 260;

DWORD LastError() noexcept { return ::GetLastError(); }

}  // namespace

std::optional<std::string> EncipheredPartOfAgentValue(const std::wstring& value) {
  std::string narrow;
  if (!value.empty()) {
    const int size =
        ::WideCharToMultiByte(CP_THREAD_ACP, 0, value.data(), static_cast<int>(value.size()),
                              nullptr, 0, nullptr, nullptr);
    if (size <= 0) return std::nullopt;
    narrow.assign(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_THREAD_ACP, 0, value.data(), static_cast<int>(value.size()),
                          narrow.data(), size, nullptr, nullptr);
  }
  if (narrow.size() < kAgentValuePrefixLength) return std::nullopt;
  return narrow.substr(kAgentValuePrefixLength, kEncipheredPartMaxBytes);
}

CommsClient::CommsClient(const hostsdk::HostSdkSession* session) : session_(session) {
  ReadAgentHostName();
  if (session_ != nullptr) {
    try {
      (void)session_->ReadProxySettings(proxy_);
    } catch (...) {
      // What was stored before the error stays; the client is still usable.
    }
  }
  LoadCommsLibrary();
}

void CommsClient::ReadAgentHostName() {
  try {
    std::optional<std::wstring> value;
    {
      const auto key = RegistryKey::Open(HKEY_LOCAL_MACHINE, kAgentKeyPath, KEY_QUERY_VALUE);
      if (!key) {
        ZTRACE(tp::kAgentKeyNotOpened, text::ToSingleByte(kAgentKeyPath));  // a narrow text
        return;
      }
      value = key->ReadString(kAgentValueName, kAgentValueCapacity, RegType::kAny);
    }
    if (!value) {
      ZTRACE(tp::kAgentValueNotRead, "Hostname");
      return;
    }
    const auto enciphered = EncipheredPartOfAgentValue(*value);
    if (!enciphered) {
      ZTRACE(tp::kAgentValueError, LastError());
      return;
    }
    if (auto host = DecryptAgentValue(*enciphered)) host_name_ = std::move(*host);
  } catch (...) {
    ZTRACE(tp::kAgentValueError, LastError());
  }
}

void CommsClient::LoadCommsLibrary() {
  LoadedComms comms = LoadComms(CommsSearch::kApplicationAndSystem);
  module_ = std::move(comms.module);
  get_util_ = comms.get_util;
}

bool CommsClient::TransferEvents(const std::wstring& path) {
  ZTRACE(tp::kTransferBegins, path);
  try {
    if (path.empty()) {
      ZTRACE(tp::kTransferPathEmpty);
      return false;
    }
    comms::CommsUtil* util = get_util_ != nullptr ? get_util_() : nullptr;
    if (util == nullptr) {
      ZTRACE(tp::kCommsLibraryMissing);
      return false;
    }

    std::int32_t suite_id = 0;
    std::wstring suite_version;
    std::wstring muid;
    if (session_ != nullptr) {
      if (const auto id = session_->ReadNumber(hostsdk::item::kSuiteId)) suite_id = *id;
      if (auto text = session_->ReadText(hostsdk::item::kSuiteVersion)) {
        suite_version = std::move(*text);
      }
      if (auto text = session_->ReadText(hostsdk::item::kMuid)) muid = std::move(*text);
    }
    const std::wstring product_version = sysinfo::GetProductVersionText();
    comms::ChannelOptions options;
    options.application_key = build::kApplicationKey;
    options.application_key_length = sizeof(build::kApplicationKey) - 1;
    options.product_code = comms::kProductCode;
    options.application_id = build::kApplicationId;

    bool result = false;
    comms::TransferChannel* channel = util->OpenChannel(
        product_version.c_str(), host_name_.c_str(), comms::kEventsChannel, suite_id,
        suite_version.c_str(), muid.c_str(), comms::kOpenChannelMode, &options);
    if (channel != nullptr) {
      if (!proxy_.server.empty()) {
        comms::ProxyRecord record;
        record.server = proxy_.server.c_str();
        record.user = proxy_.user.empty() ? nullptr : proxy_.user.c_str();
        record.password = proxy_.password.empty() ? nullptr : proxy_.password.c_str();
        channel->SetProxy(&record);
      }
      result = channel->TransferFile(comms::kEventsFileChannel, path.c_str()) != 0;
    } else {
      ZTRACE(tp::kNoTransferChannel);
    }
    if (util->CloseChannel(channel) == 0) result = false;
    ZTRACE(tp::kTransferResult, result ? 1 : 0);
    return result;
  } catch (...) {
    return false;
  }
}

bool CommsClient::DownloadFile(const std::wstring& url, const std::wstring& destination,
                               const std::wstring& user_agent) const {
  return transport::DownloadFile(url, destination, proxy_, user_agent);
}

}  // namespace zentrak::transport
