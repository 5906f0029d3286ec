#pragma once

#include <deque>
#include <optional>
#include <string>
#include <string_view>

namespace profile {

// First-in first-out queue of the library's messages. The text handed out by
// the last take stays owned by the queue until the next take or its end.
class MessageQueue {
 public:
  // Appends a copy of text and gives the stored copy.
  const std::string& push_message(std::string text);

  // The oldest pending text, or nullptr when nothing is pending. Releases the
  // text handed out by the previous take either way.
  const char* pop_message();

  bool has_messages() const { return !pending_.empty(); }

  // Drops every pending text.
  void clear() { pending_.clear(); }

  // Moves every pending text of other, in order, behind ours.
  void take_all_from(MessageQueue& other);

 private:
  std::deque<std::string> pending_;
  std::optional<std::string> last_taken_;
};

}  // namespace profile
