#pragma once

namespace plim {

// Removes `name` in the directory `dir` (a descriptor) and, when it is a
// directory, everything below it, each step relative to a descriptor of the
// directory it is in and without following a symbolic link: whatever another
// user moves or swaps into the tree meanwhile, nothing outside it goes.
// Returns whether `name` is gone. What cannot be removed stays; the rest
// still goes.
bool remove_tree_at(int dir, const char* name);

}  // namespace plim
