#include "profile/message_queue.h"

#include <utility>

namespace profile {

const std::string& MessageQueue::push_message(std::string text) {
  pending_.push_back(std::move(text));
  return pending_.back();
}

const char* MessageQueue::pop_message() {
  last_taken_.reset();
  if (pending_.empty()) return nullptr;
  last_taken_ = std::move(pending_.front());
  pending_.pop_front();
  return last_taken_->c_str();
}

void MessageQueue::take_all_from(MessageQueue& other) {
  for (std::string& text : other.pending_) pending_.push_back(std::move(text));
  other.pending_.clear();
}

}  // namespace profile
