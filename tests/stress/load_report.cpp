#include "load_report.h"

#include <string_view>

namespace {

// Each after the file's name and ": "; the first two go on with the
// system's reason.
constexpr std::string_view failure_texts[] = {
    ": Unable to open file: ",
    ": Unable to read SPC file",
    ": This does not look like a valid SPC file.",
};

}  // namespace

bool load_report_is_expected(const std::string& report) {
  constexpr std::string_view program = "quorlin: ";
  // One line, and nothing after it.
  if (report.compare(0, program.size(), program) != 0 || report.find('\n') != report.size() - 1)
    return false;
  for (const std::string_view text : failure_texts)
    if (report.find(text, program.size()) != std::string::npos) return true;
  return false;
}

bool load_report_is_quiet(const std::string& report) {
  if (report.empty()) return true;
  constexpr std::string_view claims = ": the tag claims ";
  constexpr std::string_view instead = " s, more than an hour: 180 s followed instead\n";
  const std::size_t at = report.find(claims);
  return report.rfind("quorlin: ", 0) == 0 && at != std::string::npos &&
         report.size() > instead.size() &&
         report.compare(report.size() - instead.size(), instead.size(), instead) == 0 &&
         report.find('\n') == report.size() - 1;
}
