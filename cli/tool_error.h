#pragma once
// The tool's one error type: a message that names the file (or option) and
// the problem, printed as one line before the tool exits.
#include <stdexcept>
#include <string>

// The text with every control byte (a carriage return, an escape sequence
// read from a file's header or name) shown as \xNN, so that a message is
// one line that cannot act on the terminal.
inline std::string printable(const std::string& text) {
  static const char kHex[] = "0123456789abcdef";
  std::string shown;
  for (char c : text) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7f) {
      shown += "\\x";
      shown += kHex[byte >> 4];
      shown += kHex[byte & 15];
    } else {
      shown += c;
    }
  }
  return shown;
}

class ToolError : public std::runtime_error {
 public:
  // exit_status 1 for run-time errors, 2 for usage errors.
  ToolError(const std::string& subject, const std::string& problem, int exit_status = 1)
      : std::runtime_error(printable(subject + ": " + problem)), exit_status_(exit_status) {}
  int exit_status() const { return exit_status_; }

 private:
  int exit_status_;
};
