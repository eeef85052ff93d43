#pragma once
// A one-line progress display on standard error: frames done, the total
// when it is known, frames per second and the time left.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

class ProgressDisplay {
 public:
  // total < 0: unknown.
  ProgressDisplay(bool enabled, int64_t total, std::FILE* stream = stderr);
  void set_total(int64_t total) { total_ = total; }
  // Redraws at most a few times a second.
  void update(int64_t done);
  // Draws the last state and ends the line.
  void finish(int64_t done);

 private:
  void draw(int64_t done);

  bool enabled_;
  int64_t total_;
  std::FILE* stream_;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point last_draw_;
  bool terminal_;
  bool drawn_ = false;
};

// Prints "quietloom: TEXT" as a line of its own on standard error, after
// clearing a progress line drawn on a terminal.
void print_note(const std::string& text);

// "1:02:03" or "2:03".
void format_duration(double seconds, char* out, size_t size);
