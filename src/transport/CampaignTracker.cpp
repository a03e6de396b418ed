#include "transport/CampaignTracker.h"

#include "transport/CommsLoader.h"
#include "transport/Endpoints.h"

namespace zentrak::transport {

CampaignTracker::CampaignTracker() : url_(CampaignTrackUrl()) {}

bool CampaignTracker::Load() {
  LoadedComms comms = LoadComms(CommsSearch::kProgramFolder);
  if (comms.get_util == nullptr) return false;
  // Deliberately never freed: the library stays for the rest of the process.
  (void)comms.module.release();
  util_ = comms.get_util();
  return util_ != nullptr;
}

void CampaignTracker::SetProductCode(std::int32_t value) { product_code_ = std::to_wstring(value); }
void CampaignTracker::SetProductType(std::int32_t value) { product_type_ = std::to_wstring(value); }
void CampaignTracker::SetCustomId(std::int32_t value) { custom_id_ = std::to_wstring(value); }

void CampaignTracker::SetProxy(const std::wstring& server, const std::wstring& user,
                               const std::wstring& password) {
  if (server.empty()) {
    proxy_.reset();
    return;
  }
  auto proxy = std::make_unique<Proxy>();
  proxy->server = server;
  proxy->user = user;
  proxy->password = password;
  proxy->record.server = proxy->server.c_str();
  proxy->record.user = proxy->user.c_str();
  proxy->record.password = proxy->password.c_str();
  proxy_ = std::move(proxy);
}

void CampaignTracker::AddParameter(const std::wstring& name, const std::wstring& value) {
  parameters_.emplace_back(name, value);
}

void CampaignTracker::AddParameter(const std::wstring& name, std::int32_t value) {
  AddParameter(name, std::to_wstring(value));
}

bool CampaignTracker::SendRequest(comms::TrackRequest& request) {
  if (request.SetTrackFields(product_code_.c_str(), suite_version_.c_str(), product_type_.c_str(),
                             machine_id_.c_str(), custom_id_.c_str(), event_type_.c_str()) == 0) {
    return false;
  }
  if (parameters_.empty()) return false;
  if (request.BeginParameters() == 0) return false;
  for (const auto& [name, value] : parameters_) {
    if (request.AddTrackParameter(name.c_str(), value.c_str()) == 0) return false;
  }
  return request.SendTrack(proxy_ ? &proxy_->record : nullptr, comms::kSendTrackMode) != 0;
}

bool CampaignTracker::Send() {
  bool result = false;
  if (util_ != nullptr) {
    if (comms::TrackRequest* request = util_->CreateTrackRequest(url_.c_str())) {
      result = SendRequest(*request);
      util_->ReleaseTrackRequest(request);
    }
  }
  parameters_.clear();
  return result;
}

}  // namespace zentrak::transport
