#pragma once
// Collects the failed expectations of a run, so that one run reports every
// fault it finds rather than stopping at the first.
#include <string>
#include <vector>

class CheckList {
 public:
  // Records what as a failure when ok is false; returns ok.
  bool expect(bool ok, const std::string& what) {
    if (!ok) failures_.push_back(what);
    return ok;
  }
  void fail(const std::string& what) { failures_.push_back(what); }
  void note(const std::string& what) { notes_.push_back(what); }

  bool passed() const { return failures_.empty(); }
  const std::vector<std::string>& failures() const { return failures_; }
  const std::vector<std::string>& notes() const { return notes_; }

 private:
  std::vector<std::string> failures_;
  std::vector<std::string> notes_;
};
