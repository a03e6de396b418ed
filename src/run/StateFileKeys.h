// The run-state file "EvtsData.ini": its name, sections and keys. Portable.
#pragma once

namespace zentrak::run {

inline constexpr wchar_t kStateFileName[] = L"EvtsData.ini";
inline constexpr wchar_t kGlobalSection[] = L"GLOBAL";
inline constexpr wchar_t kLastExecKey[] = L"lastExec";
// The detection tracks' own mark; state files written before it existed have none, and
// the tracks then start from "lastExec".
inline constexpr wchar_t kLastTrackKey[] = L"lastTrack";
inline constexpr wchar_t kEvt1Section[] = L"EVT1";
inline constexpr wchar_t kInstDateTimeKey[] = L"instDateTime";
inline constexpr wchar_t kSendKey[] = L"Send";
inline constexpr wchar_t kVpnSection[] = L"VPN_Status";
inline constexpr wchar_t kVpnEvent80Key[] = L"VPNEvent80";
inline constexpr wchar_t kVpnEvent100Key[] = L"VPNEvent100";

}  // namespace zentrak::run
