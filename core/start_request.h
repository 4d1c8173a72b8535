#pragma once
// What a start of the program is asked to do, from its command line. A plain
// start runs the program; "/pause" and "/resume" only pass a request on to
// the copy that runs, for a script (a game launcher's steps before and after
// the game, a presentation's start).

#include <string_view>

namespace brimlow {

enum class StartRequest { Run, Pause, Resume };

// The arguments after the program's name. "/pause" or "/resume" alone, in
// any letter case and with blanks around it, is a request; any other command
// line runs the program, which takes no arguments of its own.
StartRequest StartRequestOf(std::string_view arguments);

}  // namespace brimlow
