#pragma once
// The tool's one error type: a message that names the file (or option) and
// the problem, printed as one line before the tool exits.
#include <stdexcept>
#include <string>

class ToolError : public std::runtime_error {
 public:
  // exit_status 1 for run-time errors, 2 for usage errors.
  ToolError(const std::string& subject, const std::string& problem, int exit_status = 1)
      : std::runtime_error(subject + ": " + problem), exit_status_(exit_status) {}
  int exit_status() const { return exit_status_; }

 private:
  int exit_status_;
};
