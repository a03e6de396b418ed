// The dispatcher's test-log messages, written once.
#pragma once

namespace zentrak::tracking::msg {

inline constexpr wchar_t kInstallTrackSent[] = L"Enviado el track de instalacion.";
inline constexpr wchar_t kInstallTrackFailed[] = L"Error enviando el track de instalacion.";
inline constexpr wchar_t kUninstallTrackSent[] = L"Enviado el track de desinstalacion.";
inline constexpr wchar_t kUninstallTrackFailed[] = L"Error enviando el track de desinstalacion.";
inline constexpr wchar_t kDetectionTrackFailed[] = L"Error enviando el track de detecciones.";

}  // namespace zentrak::tracking::msg
