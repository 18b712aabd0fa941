#include "load_report.h"

#include <string_view>

namespace {

// perror appends ": <reason>\n" to the text, whose own newline stays.
constexpr std::string_view failure_texts[] = {
    "Unable to open file.\n: ",
    "Unable to read SPC file.\n: ",
    "This does not look like a valid SPC file.\n: ",
};

}  // namespace

bool load_report_is_expected(const std::string& report) {
  for (const std::string_view text : failure_texts) {
    if (report.size() <= text.size() + 1 || report.compare(0, text.size(), text) != 0) continue;
    // A reason of one line, and nothing after it.
    const std::size_t end = report.find('\n', text.size());
    return end == report.size() - 1;
  }
  return false;
}
