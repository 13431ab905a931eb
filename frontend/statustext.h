// The texts of the status bar, shared by the menu routines and the run
// driver.
#pragma once

#include <string_view>

namespace tarvex {

// Status-bar texts.
namespace status {
inline constexpr std::string_view IDLE = "idle ";
inline constexpr std::string_view READING_INPUT = "reading input file";
inline constexpr std::string_view INPUT_ERROR = "error found in input file";
inline constexpr std::string_view INPUT_OK = "input data OK";
inline constexpr std::string_view READING_CONTROL = "reading control file";
inline constexpr std::string_view CONTROL_ERROR = "error in control file";
inline constexpr std::string_view CONTROL_ERROR_AT_RUN = "error found in control file";
inline constexpr std::string_view CONTROL_OK = "control data OK";
inline constexpr std::string_view RUNNING = "calculations running";
inline constexpr std::string_view INTERRUPTED = "..interrupted..";
// A run whose residuals log another running program writes: it goes on
// without a log of its own.
inline constexpr std::string_view RUNNING_WITHOUT_LOG = "running, no log: RESIDUALS in use";
}  // namespace status

}  // namespace tarvex
