#include "cli_text.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

void json_add_path(JsonBuilder* builder, const std::string& path) {
  json_builder_set_member_name(builder, "path");
  if (g_utf8_validate(path.data(), static_cast<gssize>(path.size()), nullptr)) {
    json_builder_add_string_value(builder, path.c_str());
    return;
  }
  // JSON texts are UTF-8: the display name reads well, the URI gives back
  // the bytes (g_filename_from_uri) for a script that must open the file.
  g_autofree char* shown = g_filename_display_name(path.c_str());
  json_builder_add_string_value(builder, shown);
  g_autofree char* absolute = g_canonicalize_filename(path.c_str(), nullptr);
  g_autofree char* uri = g_filename_to_uri(absolute, nullptr, nullptr);
  if (!uri) return;
  json_builder_set_member_name(builder, "uri");
  json_builder_add_string_value(builder, uri);
}

std::string json_builder_text(JsonBuilder* builder) {
  g_autoptr(JsonNode) root = json_builder_get_root(builder);
  g_autoptr(JsonGenerator) generator = json_generator_new();
  json_generator_set_root(generator, root);
  gsize size = 0;
  g_autofree char* text = json_generator_to_data(generator, &size);
  return {text, size};
}

int print_json_files(const std::vector<std::string>& files,
                     const std::function<std::string(const std::string& path, int& status)>&
                         file_object) {
  int status = 0;
  int error = write_standard_output("{\"files\":[");
  for (std::size_t i = 0; i < files.size() && error == 0; ++i) {
    const std::string text = file_object(files[i], status);
    error = write_standard_output((i > 0 ? "," : "") + text);
  }
  if (error == 0) error = write_standard_output("]}\n");
  return finish_standard_output(status, error);
}

void json_add_int(JsonBuilder* builder, const char* name, gint64 value) {
  json_builder_set_member_name(builder, name);
  json_builder_add_int_value(builder, value);
}

std::string json_file_object(
    const std::string& path, int& status,
    const std::function<bool(JsonBuilder* builder, std::string& failure)>& add_members) {
  g_autoptr(JsonBuilder) b = json_builder_new();
  json_builder_begin_object(b);
  json_add_path(b, path);
  if (std::string failure; !add_members(b, failure)) {
    json_builder_set_member_name(b, "error");
    json_builder_add_string_value(b, failure.c_str());
    status = 1;
  }
  json_builder_end_object(b);
  return json_builder_text(b);
}

int print_text_files(
    const std::vector<std::string>& files,
    const std::function<std::optional<std::string>(const std::string& path)>& file_block) {
  int status = 0;
  int write_error = 0;
  bool first_block = true;
  for (std::size_t i = 0; i < files.size() && write_error == 0; ++i) {
    const std::optional<std::string> body = file_block(files[i]);
    if (!body) {
      status = 1;
      continue;
    }
    std::string block;
    if (files.size() > 1)
      block = std::string(first_block ? "" : "\n") + "==> " + text_line_escape(files[i]) + " <==\n";
    first_block = false;
    write_error = write_standard_output(block + *body);
  }
  return finish_standard_output(status, write_error);
}

int write_standard_output(std::string_view text) {
  errno = 0;
  if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() ||
      std::fflush(stdout) != 0)
    return errno != 0 ? errno : EIO;
  return 0;
}

int finish_standard_output(int status, int write_error) {
  // A full disk or a closed pipe shows only at the flush, or as the stream's
  // error flag from a write before it.
  errno = 0;
  const bool flushed = std::fflush(stdout) == 0;
  const int error = write_error != 0 ? write_error : errno;
  if (write_error == 0 && flushed && !std::ferror(stdout)) return status;
  if (error == EPIPE) {
    // GTK's option parsing ignores SIGPIPE for the window's sake; the
    // command line ends by it, as cat or grep do, and says nothing.
    std::signal(SIGPIPE, SIG_DFL);
    std::raise(SIGPIPE);
    return 128 + SIGPIPE;  // only if the signal is blocked
  }
  std::fprintf(stderr, "quorlin: write error: %s\n",
               std::strerror(error != 0 ? error : EIO));
  return 1;
}

void print_message(const std::string& text) {
  std::fprintf(stderr, "quorlin: %s\n", text_line_escape(text).c_str());
}

void print_file_message(const std::string& path, const std::string& text) {
  std::fprintf(stderr, "quorlin: %s: %s\n", text_line_escape(path).c_str(), text.c_str());
}

std::unique_ptr<spc_format> read_spc_or_report(const std::string& path, std::string& failure) {
  auto image = read_spc_file_quietly(path.c_str(), failure);
  if (!image) print_file_message(path, failure);
  return image;
}
