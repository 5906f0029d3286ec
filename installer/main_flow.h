#pragma once

namespace plim {

// The whole run: chooses the mode from the command line and the profiles and
// carries it out. Returns the exit status (most failures end the process
// before that).
int run_installer(int argc, char** argv);

}  // namespace plim
