#pragma once

namespace sim {

// Error codes of the simulated controller's motion commands, reported in answers and in
// "move.last_error_with_setting". -50003 is left out: callers read it as a harmless warning.
namespace MoveError {
constexpr int None = 0;
constexpr int TargetUnreachable = -50001;
constexpr int PathUnreachable = -50002;
constexpr int BadRequest = -50004;
constexpr int UnknownPoint = -50005;
constexpr int NotPrepared = -50006;
constexpr int Busy = -50007;
} // namespace MoveError

} // namespace sim
