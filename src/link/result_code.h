#pragma once

namespace velkaro {

// Outcome of a device operation. Any value other than these counts as a hardware failure.
using ResultCode = int;
inline constexpr ResultCode kResultOk = 0;
inline constexpr ResultCode kResultProgramError = 1;
inline constexpr ResultCode kResultDataError = 2;
inline constexpr ResultCode kResultConfigError = 3;
inline constexpr ResultCode kResultHardwareError = -1;
inline constexpr ResultCode kResultCancelled = -2;
// Refused before anything was powered: the programmer cannot apply a programming voltage
// the device accepts.
inline constexpr ResultCode kResultVppUnavailable = -3;

}  // namespace velkaro
