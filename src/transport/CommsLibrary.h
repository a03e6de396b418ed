// What the program requires of the suite's communications library CommsWrapper.dll:
// its file name, its one export, the records it is handed and the operations of its
// objects. The objects are plain C++ objects called by slot in the 32-bit member-function
// convention; the unused slots are declared so the used ones sit where the library
// has them. No destructor is virtual: the library's objects are never deleted here.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zentrak::transport::comms {

inline constexpr wchar_t kLibraryFileName[] = L"CommsWrapper.dll";
// How the comms client names it: by bare name, found through the library search.
inline constexpr wchar_t kLibraryBareName[] = L"commswrapper.dll";
inline constexpr char kGetUtilName[] = "GetUtil";

inline constexpr wchar_t kEventsChannel[] = L"gccppostevents";
inline constexpr wchar_t kEventsFileChannel[] = L"gccpeventsci";
inline constexpr wchar_t kProductCode[] = L"RNX";
inline constexpr std::int32_t kOpenChannelMode = 1;
inline constexpr std::int32_t kSendTrackMode = 7;

// One byte, non-zero for success.
using Flag = std::uint8_t;

struct ProxyRecord {
  std::uint32_t size = sizeof(ProxyRecord);
  const wchar_t* server = nullptr;
  const wchar_t* user = nullptr;      // null when none
  const wchar_t* password = nullptr;  // null when none
};

struct ChannelOptions {
  std::uint32_t size = sizeof(ChannelOptions);
  std::uint32_t reserved[4] = {0, 0, 0, 0};
  const char* application_key = nullptr;
  std::uint32_t application_key_length = 0;
  const wchar_t* product_code = nullptr;
  const wchar_t* application_id = nullptr;
};

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(ProxyRecord) == 16, "ProxyRecord is 16 bytes");
static_assert(offsetof(ProxyRecord, server) == 4 && offsetof(ProxyRecord, user) == 8 &&
                  offsetof(ProxyRecord, password) == 12,
              "ProxyRecord fields are 4 bytes each");
static_assert(sizeof(ChannelOptions) == 36, "ChannelOptions is 36 bytes");
static_assert(offsetof(ChannelOptions, application_key) == 20 &&
                  offsetof(ChannelOptions, application_key_length) == 24 &&
                  offsetof(ChannelOptions, product_code) == 28 &&
                  offsetof(ChannelOptions, application_id) == 32,
              "ChannelOptions fields are 4 bytes each");
#elif defined(_WIN64)
// The x86-64 test build: the same declarations in the platform's natural layout.
static_assert(sizeof(ProxyRecord) == 32, "ProxyRecord is 32 bytes");
static_assert(offsetof(ProxyRecord, server) == 8 && offsetof(ProxyRecord, user) == 16 &&
                  offsetof(ProxyRecord, password) == 24,
              "ProxyRecord pointers are 8 bytes each, after the padded size");
static_assert(sizeof(ChannelOptions) == 56, "ChannelOptions is 56 bytes");
static_assert(offsetof(ChannelOptions, application_key) == 24 &&
                  offsetof(ChannelOptions, application_key_length) == 32 &&
                  offsetof(ChannelOptions, product_code) == 40 &&
                  offsetof(ChannelOptions, application_id) == 48,
              "ChannelOptions pointers are 8 bytes each, on 8-byte boundaries");
#endif

class TransferChannel {
 public:
  virtual void Slot0() = 0;
  virtual void SetProxy(const ProxyRecord* proxy) = 0;
  virtual void Slot2() = 0;
  virtual void Slot3() = 0;
  virtual Flag TransferFile(const wchar_t* channel, const wchar_t* path) = 0;

 protected:
  ~TransferChannel() = default;
};

class TrackRequest {
 public:
  virtual Flag SetTrackFields(const wchar_t* product_code, const wchar_t* suite_version,
                              const wchar_t* product_type, const wchar_t* machine_id,
                              const wchar_t* custom_id, const wchar_t* event_type) = 0;
  virtual Flag AddTrackParameter(const wchar_t* name, const wchar_t* value) = 0;
  virtual Flag BeginParameters() = 0;
  virtual Flag SendTrack(const ProxyRecord* proxy, std::int32_t mode) = 0;

 protected:
  ~TrackRequest() = default;
};

class CommsUtil {
 public:
  virtual void Slot0() = 0;
  virtual void Slot1() = 0;
  virtual TransferChannel* OpenChannel(const wchar_t* product_version, const wchar_t* host_name,
                                       const wchar_t* channel, std::int32_t suite_id,
                                       const wchar_t* suite_version, const wchar_t* muid,
                                       std::int32_t mode, const ChannelOptions* options) = 0;
  virtual Flag CloseChannel(TransferChannel* channel) = 0;
  virtual void Slot4() = 0;
  virtual void Slot5() = 0;
  virtual void Slot6() = 0;
  virtual TrackRequest* CreateTrackRequest(const wchar_t* url) = 0;
  virtual void ReleaseTrackRequest(TrackRequest* request) = 0;

 protected:
  ~CommsUtil() = default;
};

// The library's export: no arguments, a CommsUtil or none.
using GetUtilFunction = CommsUtil* (*)();

}  // namespace zentrak::transport::comms
