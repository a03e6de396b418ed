// The run sequence's test-log messages, written once.
#pragma once

namespace zentrak::run::msg {

inline constexpr wchar_t kAnotherInstance[] = L"Hay otra instancia de Zentrak.exe ejecutandose.";
inline constexpr wchar_t kServiceTimeout[] = L"Agotado el tiempo de espera del servicio.";
inline constexpr wchar_t kUninstallEvent[] = L"Se trata de un evento de desinstalacion.";
inline constexpr wchar_t kNoSdkInstance[] = L"Error obteniendo instancia de la TESSEL.";
inline constexpr wchar_t kSdkInstance[] = L"Obtenida la instancia del TESSEL.";
inline constexpr wchar_t kNoRepository[] = L"Error obteniendo la ruta del repositorio.";
inline constexpr wchar_t kNoTracking[] = L"Error inicializando el sistema de tracking.";
inline constexpr wchar_t kTransferred[] = L"JSON transferido.";
inline constexpr wchar_t kTransferFailed[] = L"Error transfiriendo el JSON de eventos.";
inline constexpr wchar_t kDocumentNotWritten[] = L"Error escribiendo el JSON de eventos.";
inline constexpr wchar_t kNoEventConfig[] = L"Error obteniendo la configuraci\u00f3n del evento.";
inline constexpr wchar_t kEndOfRun[] = L"Fin de la ejecucion.";

}  // namespace zentrak::run::msg
