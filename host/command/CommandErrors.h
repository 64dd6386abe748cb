#pragma once
// The two ways a kqfx command fails. Both carry a one-line message for
// people; main prints it and chooses the exit status.

#include <stdexcept>
#include <string>

namespace kqfx::command {

// The command line asks for something impossible (exit status 2). `topic`
// names the subcommand whose usage is shown after the message.
class UsageError : public std::runtime_error {
 public:
  UsageError(std::string topic, const std::string& message)
      : std::runtime_error(message), topic_(std::move(topic)) {}
  const std::string& topic() const { return topic_; }

 private:
  std::string topic_;
};

// A well-formed request that could not be carried out (exit status 1).
class CommandFailure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace kqfx::command
