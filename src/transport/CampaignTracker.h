// The process-wide tracker: sends tracks (six standard fields and named parameters)
// through the comms library to the tracking endpoints.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "transport/CommsLibrary.h"

namespace zentrak::transport {

class CampaignTracker {
 public:
  using Parameters = std::vector<std::pair<std::wstring, std::wstring>>;

  // Fields empty, the campaign endpoint as target, no proxy, no parameters.
  CampaignTracker();
  CampaignTracker(const CampaignTracker&) = delete;
  CampaignTracker& operator=(const CampaignTracker&) = delete;

  // Loads CommsWrapper.dll from the program's own folder and takes its CommsUtil. The
  // library stays loaded for the rest of the process.
  [[nodiscard]] bool Load();

  void SetTargetUrl(const std::wstring& url) { url_ = url; }
  void SetProductCode(std::int32_t value);
  void SetSuiteVersion(const std::wstring& value) { suite_version_ = value; }
  void SetProductType(std::int32_t value);
  void SetMachineId(const std::wstring& value) { machine_id_ = value; }
  void SetCustomId(std::int32_t value);
  void SetEventType(const std::wstring& value) { event_type_ = value; }

  // An empty server removes the proxy; otherwise the three texts (copied) replace it.
  void SetProxy(const std::wstring& server, const std::wstring& user, const std::wstring& password);

  void AddParameter(const std::wstring& name, const std::wstring& value);
  void AddParameter(const std::wstring& name, std::int32_t value);

  // Sends the fields and every listed parameter; the list is empty afterwards whatever
  // the outcome. Without parameters the send fails.
  [[nodiscard]] bool Send();

  [[nodiscard]] const std::wstring& target_url() const noexcept { return url_; }
  [[nodiscard]] const Parameters& parameters() const noexcept { return parameters_; }

 private:
  struct Proxy {
    std::wstring server;
    std::wstring user;
    std::wstring password;
    comms::ProxyRecord record;
  };

  bool SendRequest(comms::TrackRequest& request);

  comms::CommsUtil* util_ = nullptr;
  std::wstring url_;
  std::unique_ptr<Proxy> proxy_;
  Parameters parameters_;
  std::wstring product_code_;
  std::wstring suite_version_;
  std::wstring product_type_;
  std::wstring machine_id_;
  std::wstring custom_id_;
  std::wstring event_type_;
};

}  // namespace zentrak::transport
