#pragma once

// Exit status of every orbix command: scripts rely on these.
namespace CliExit {
enum : int { Ok = 0, Failure = 1, Usage = 2 };
}
