#include "bench/harness.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;

std::string Captured;

void Discard(const char *, size_t) {}
void Capture(const char *data, size_t size) { Captured.append(data, size); }

double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

double Percentile(std::vector<double> figures, double p) {
  if (figures.empty()) return 0;
  std::sort(figures.begin(), figures.end());
  return figures[static_cast<size_t>(p * static_cast<double>(figures.size() - 1) + 0.5)];
}

double Median(std::vector<double> figures) { return Percentile(std::move(figures), 0.5); }

std::string EnterBenchFolder(const char *name) {
  std::string pattern = std::string("/tmp/orvantis-") + name + "-XXXXXX";
  std::error_code error;
  bool made = mkdtemp(pattern.data()) != nullptr && fs::create_directory(pattern + "/work", error);
  if (made) fs::current_path(pattern + "/work", error);
  if (!made || error) {
    fprintf(stderr, "cannot make a folder to work in: %s\n", pattern.c_str());
    exit(1);
  }
  return pattern;
}

bool RemoveBenchFolder(const std::string &root) {
  std::error_code error;
  fs::current_path("/", error);
  fs::remove_all(root, error);
  return !error;
}
