// The Windows error codes that code without Windows headers reads, by name.
#pragma once

#include <cstdint>

namespace errors {

inline constexpr std::uint32_t accessDenied = 5;      // ERROR_ACCESS_DENIED
inline constexpr std::uint32_t sharingViolation = 32; // ERROR_SHARING_VIOLATION
inline constexpr std::uint32_t lockViolation = 33;    // ERROR_LOCK_VIOLATION
inline constexpr std::uint32_t handleDiskFull = 39;   // ERROR_HANDLE_DISK_FULL
inline constexpr std::uint32_t diskFull = 112;        // ERROR_DISK_FULL
inline constexpr std::uint32_t userMappedFile = 1224; // ERROR_USER_MAPPED_FILE

inline constexpr std::uint32_t httpTimeout = 12002;            // ERROR_WINHTTP_TIMEOUT
inline constexpr std::uint32_t httpNameNotResolved = 12007;    // ERROR_WINHTTP_NAME_NOT_RESOLVED
inline constexpr std::uint32_t httpCannotConnect = 12029;      // ERROR_WINHTTP_CANNOT_CONNECT
inline constexpr std::uint32_t httpConnectionError = 12030;    // ERROR_WINHTTP_CONNECTION_ERROR
inline constexpr std::uint32_t httpSecureFailure = 12175;      // ERROR_WINHTTP_SECURE_FAILURE
inline constexpr std::uint32_t httpSecureChannelError = 12157; // ERROR_WINHTTP_SECURE_CHANNEL_ERROR

} // namespace errors
