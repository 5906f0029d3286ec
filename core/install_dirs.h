#pragma once

#include <string>

#include "core/unique_fd.h"

namespace plim {

// The installation a run works on: the prefix, the vendor directory
// "Fernhollow-Plim" in it and the install directory "NetscapePlugin" inside
// that, resolved once through reach_path and held by descriptors. Every later
// step works relative to them, so a directory swapped for a link meanwhile
// changes nothing, and no step depends on the current directory another
// left.
//
// A new tree is never unpacked into the installation itself: it is staged in
// a directory beside it (a hidden name in the vendor directory, never shown
// to the user) and swapped in whole. So at every moment the install directory
// holds one whole tree, the old or the new. A staged directory left by a run
// that was killed is recognised by its name and removed by the next run that
// holds the lock.
class InstallDirs {
 public:
  // Reaches `prefix` (one trailing slash removed) and, where they exist, the
  // vendor directory in it; nothing is created. For root, a prefix or vendor
  // directory that an ordinary user controls is refused: the "Refused:" line
  // is printed and the result is not ok(). A way that cannot be walked (a
  // missing directory above the prefix) is reported later, when creating.
  static InstallDirs resolve(const std::string& prefix);

  bool ok() const { return !refused_; }
  const std::string& prefix() const { return prefix_; }
  const std::string& vendor_path() const { return vendor_path_; }
  const std::string& install_path() const { return install_path_; }

  // Whether an installation is there: the install directory exists as a
  // directory in the vendor directory.
  bool installed() const;

  // Creates the prefix and the vendor directory where missing (one level
  // each, mode 0755 before the umask). Returns false after the system error
  // and "Failed to created directory <path>" on standard error.
  bool create();

  // Takes the installation's lock (flock on the vendor directory, which dies
  // with the process) without waiting, then removes what killed runs left
  // staged. Returns false after an "Error:" line when another run holds it,
  // or when the directory cannot be locked. Requires the vendor directory.
  bool lock();

  // Makes a fresh staging directory (mode 0755 before the umask) and returns
  // a descriptor of it (O_RDONLY|O_DIRECTORY); empty after the system error
  // and "Failed to created directory <install dir>" on standard error.
  UniqueFd stage();

  // Puts the staged tree in place of the installation: exchanged with an
  // existing install directory in one step (the old tree then sits under
  // the staging name until remove_replaced), or renamed into a free place.
  // Returns whether an old tree was exchanged; false with `failed` set after
  // the system error on standard error when the swap could not be made.
  bool swap_in(bool& failed);

  // Removes the tree the swap put under the staging name (the old one).
  void remove_replaced();

  // Undoes what this run made and did not swap in: the staged tree, then the
  // vendor directory and the prefix when this run created them and they are
  // empty. Safe to call at any moment, also at exit.
  void discard();

  // While armed, a terminating signal (SIGHUP, SIGINT, SIGQUIT, SIGTERM)
  // removes the staging directory's files and the directories this run made
  // where they are empty, then ends the process as the signal would. Only
  // system calls: what a signal interrupts is never re-entered. One
  // installation at a time is armed.
  void arm_signal_cleanup() const;
  static void disarm_signal_cleanup();

  // Whether this run may remove the installation: it may write the vendor
  // directory and the install directory (root always may). Sets errno when not.
  bool may_change() const;

  // Removes the install directory's tree through the vendor directory, then
  // the vendor directory when it is empty (each printed as the uninstall
  // prints it). Returns false when the tree could not go wholly.
  bool remove_installation(bool& vendor_removed);

  InstallDirs(InstallDirs&&) = default;
  InstallDirs& operator=(InstallDirs&&) = default;

 private:
  InstallDirs() = default;
  bool open_vendor();

  std::string prefix_, vendor_path_, install_path_;
  UniqueFd prefix_parent_;   // O_PATH: the directory holding the prefix
  std::string prefix_name_;  // the prefix's last component in prefix_parent_ ("." when held whole)
  UniqueFd prefix_dir_;      // O_PATH; empty while the prefix is missing
  UniqueFd vendor_dir_;      // O_RDONLY|O_DIRECTORY; empty while the vendor directory is missing
  std::string staged_name_;  // in the vendor directory; empty when nothing is staged
  bool refused_ = false;
  bool made_prefix_ = false;
  bool made_vendor_ = false;
};

// The name part shared by every staging directory in the vendor directory.
inline constexpr char kStagedPrefix[] = ".NetscapePlugin.staged-";

}  // namespace plim
