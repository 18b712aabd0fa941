// Runs single-instruction SPC700 test vectors through the interpreter over
// plain RAM: spc700_vectors DIR. Each DIR/*.json file is an array of
// {"name", "initial", "final", "cycles"} tests; one line per file, then the
// total. A test passes when the registers, the bytes it names and its bus
// cycles match: every read (dummy reads included) and write at its cycle,
// with its address and (where the test gives one) its value, and the
// instruction's length. Exit status 0 when every test passed, 1 when any failed, 2 when the
// folder or a file can't be used.

#include <json-glib/json-glib.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "spc700_cpu.h"
#include "spc700_flat_bus.h"

namespace {

// A file that is not in the vectors' format; the message says where.
struct bad_vectors : std::runtime_error {
  using std::runtime_error::runtime_error;
};

std::string hex(unsigned value, int digits) {
  char text[12];  // any unsigned in hex, and its NUL
  std::snprintf(text, sizeof text, "%0*X", digits, value);
  return text;
}

JsonObject* object_member(JsonObject* object, const char* name) {
  JsonNode* node = json_object_get_member(object, name);
  if (!node || !JSON_NODE_HOLDS_OBJECT(node)) throw bad_vectors(std::string("no object \"") + name + "\"");
  return json_node_get_object(node);
}

JsonArray* array_member(JsonObject* object, const char* name) {
  JsonNode* node = json_object_get_member(object, name);
  if (!node || !JSON_NODE_HOLDS_ARRAY(node)) throw bad_vectors(std::string("no array \"") + name + "\"");
  return json_node_get_array(node);
}

unsigned number_in(JsonNode* node, unsigned limit, const char* what) {
  if (!node || json_node_get_value_type(node) != G_TYPE_INT64)
    throw bad_vectors(std::string("no number for ") + what);
  gint64 value = json_node_get_int(node);
  if (value < 0 || value > limit) throw bad_vectors(std::string("out of range: ") + what);
  return unsigned(value);
}

unsigned number_member(JsonObject* object, const char* name, unsigned limit) {
  return number_in(json_object_get_member(object, name), limit, name);
}

// Plain RAM that keeps a log of the bus cycles of one instruction.
struct recording_bus : spc700_flat_bus {
  struct access {
    std::int64_t cycle;
    u16 address;
    int value;        // -1 for a dummy read: the CPU drops what it reads
    const char* kind;  // "read" or "write", as the vectors name them
  };
  std::vector<access> log;

  u8 read(u16 address, std::int64_t cycle) {
    log.push_back({cycle, address, ram[address], "read"});
    return ram[address];
  }
  void dummy_read(u16 address, std::int64_t cycle) { log.push_back({cycle, address, -1, "read"}); }
  void write(u16 address, u8 value, std::int64_t cycle) {
    log.push_back({cycle, address, value, "write"});
    ram[address] = value;
  }
};

struct ram_byte {
  u16 address;
  u8 value;
};

// One side of a test: the registers and the bytes it names.
struct machine_state {
  spc700_registers regs;
  std::vector<ram_byte> ram;
};

machine_state read_state(JsonObject* object) {
  machine_state state;
  state.regs.pc = u16(number_member(object, "pc", 0xFFFF));
  state.regs.a = u8(number_member(object, "a", 0xFF));
  state.regs.x = u8(number_member(object, "x", 0xFF));
  state.regs.y = u8(number_member(object, "y", 0xFF));
  state.regs.sp = u8(number_member(object, "sp", 0xFF));
  state.regs.psw = u8(number_member(object, "psw", 0xFF));
  JsonArray* ram = array_member(object, "ram");
  for (guint i = 0; i < json_array_get_length(ram); i++) {
    JsonNode* pair = json_array_get_element(ram, i);
    if (!JSON_NODE_HOLDS_ARRAY(pair) || json_array_get_length(json_node_get_array(pair)) != 2)
      throw bad_vectors("a ram entry is not [address, value]");
    JsonArray* entry = json_node_get_array(pair);
    state.ram.push_back({u16(number_in(json_array_get_element(entry, 0), 0xFFFF, "ram address")),
                         u8(number_in(json_array_get_element(entry, 1), 0xFF, "ram value"))});
  }
  return state;
}

// Runs one test; returns what differed ("" when it passed).
// The expected bus cycles: one entry per cycle, waits included.
struct bus_cycle {
  std::string kind;  // "read", "write" or "wait"
  u16 address = 0;
  int value = -1;    // -1: not given (a wait, or a dummy read)
};

std::vector<bus_cycle> read_cycles(JsonArray* cycles) {
  std::vector<bus_cycle> list;
  for (guint i = 0; i < json_array_get_length(cycles); i++) {
    JsonNode* node = json_array_get_element(cycles, i);
    if (!JSON_NODE_HOLDS_ARRAY(node) || json_array_get_length(json_node_get_array(node)) != 3)
      throw bad_vectors("a cycle is not [address, value, kind]");
    JsonArray* entry = json_node_get_array(node);
    bus_cycle cycle;
    const char* kind = json_array_get_string_element(entry, 2);
    cycle.kind = kind ? kind : "";
    if (cycle.kind != "wait") {
      if (cycle.kind != "read" && cycle.kind != "write") throw bad_vectors("unknown cycle kind");
      cycle.address = u16(number_in(json_array_get_element(entry, 0), 0xFFFF, "cycle address"));
      JsonNode* value = json_array_get_element(entry, 1);
      if (!JSON_NODE_HOLDS_NULL(value)) cycle.value = int(number_in(value, 0xFF, "cycle value"));
    }
    list.push_back(cycle);
  }
  return list;
}

// The first bus cycle that differs, as "bus cycle N: ..." ("" when none).
// A dummy read's value is compared only where both sides know it.
std::string compare_cycles(const std::vector<recording_bus::access>& log,
                           const std::vector<bus_cycle>& expected, int cycles) {
  auto describe = [](const std::string& kind, u16 address, int value) {
    if (kind == "wait" || kind == "nothing") return kind;
    return kind + " " + hex(address, 4) + (value >= 0 ? "=" + hex(unsigned(value), 2) : "");
  };
  std::size_t next = 0;
  const std::size_t length = std::max(expected.size(), std::size_t(cycles));
  for (std::size_t i = 0; i < length; i++) {
    const std::int64_t cycle = std::int64_t(i) + 1;  // an access is dated by its cycle's end
    const recording_bus::access* got =
        next < log.size() && log[next].cycle == cycle ? &log[next++] : nullptr;
    const bus_cycle want = i < expected.size() ? expected[i] : bus_cycle{"nothing"};
    const std::string kind = got ? got->kind : i < std::size_t(cycles) ? "wait" : "nothing";
    const bool same = kind == want.kind &&
                      (!got || (got->address == want.address &&
                                (got->value < 0 || want.value < 0 || got->value == want.value)));
    if (!same)
      return "bus cycle " + std::to_string(cycle) + ": " +
             describe(kind, got ? got->address : 0, got ? got->value : -1) + " (expected " +
             describe(want.kind, want.address, want.value) + ")";
  }
  if (next < log.size()) return "bus: an access outside the instruction's cycles";
  return "";
}

std::string run_test(JsonObject* test, recording_bus& bus) {
  const machine_state initial = read_state(object_member(test, "initial"));
  const machine_state expected = read_state(object_member(test, "final"));
  const std::vector<bus_cycle> expected_bus = read_cycles(array_member(test, "cycles"));
  const guint expected_cycles = guint(expected_bus.size());

  bus.ram.fill(0);
  bus.log.clear();
  for (const ram_byte& byte : initial.ram) bus.ram[byte.address] = byte.value;
  spc700_cpu<recording_bus> cpu(bus);
  cpu.regs = initial.regs;
  const int cycles = cpu.step();

  std::string differences;
  auto differ = [&](const std::string& what, unsigned got, unsigned want, int digits) {
    if (got == want) return;
    if (!differences.empty()) differences += ", ";
    differences += what + " " + hex(got, digits) + " (expected " + hex(want, digits) + ")";
  };
  differ("a", cpu.regs.a, expected.regs.a, 2);
  differ("x", cpu.regs.x, expected.regs.x, 2);
  differ("y", cpu.regs.y, expected.regs.y, 2);
  differ("sp", cpu.regs.sp, expected.regs.sp, 2);
  differ("pc", cpu.regs.pc, expected.regs.pc, 4);
  differ("psw", cpu.regs.psw, expected.regs.psw, 2);
  for (const ram_byte& byte : expected.ram)
    differ("ram[" + hex(byte.address, 4) + "]", bus.ram[byte.address], byte.value, 2);
  if (unsigned(cycles) != expected_cycles) {
    if (!differences.empty()) differences += ", ";
    differences += "cycles " + std::to_string(cycles) + " (expected " +
                   std::to_string(expected_cycles) + ")";
  }
  const std::string bus_difference = compare_cycles(bus.log, expected_bus, cycles);
  if (!bus_difference.empty()) {
    if (!differences.empty()) differences += ", ";
    differences += bus_difference;
  }
  return differences;
}

struct file_result {
  int passed = 0;
  int failed = 0;
  std::string first_failure;
};

file_result run_file(const std::filesystem::path& path, recording_bus& bus) {
  g_autoptr(JsonParser) parser = json_parser_new();
  g_autoptr(GError) error = nullptr;
  if (!json_parser_load_from_file(parser, path.c_str(), &error)) throw bad_vectors(error->message);
  JsonNode* root = json_parser_get_root(parser);
  if (!root || !JSON_NODE_HOLDS_ARRAY(root)) throw bad_vectors("not an array of tests");
  JsonArray* tests = json_node_get_array(root);

  file_result result;
  for (guint i = 0; i < json_array_get_length(tests); i++) {
    JsonNode* node = json_array_get_element(tests, i);
    if (!JSON_NODE_HOLDS_OBJECT(node)) throw bad_vectors("test " + std::to_string(i) + " is not an object");
    JsonObject* test = json_node_get_object(node);
    const char* name = json_object_get_string_member_with_default(test, "name", "?");
    std::string differences;
    try {
      differences = run_test(test, bus);
    } catch (const bad_vectors& bad) {
      throw bad_vectors(std::string("test \"") + name + "\": " + bad.what());
    }
    if (differences.empty()) {
      result.passed++;
    } else if (result.failed++ == 0) {
      result.first_failure = std::string("\"") + name + "\": " + differences;
    }
  }
  return result;
}

std::vector<std::filesystem::path> vector_files(const std::filesystem::path& folder) {
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    if (entry.path().extension() == ".json") files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  return files;
}

std::string upper(std::string text) {
  for (char& c : text) c = char(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "Usage: %s DIR\nRuns every test of DIR/*.json (SPC700 test vectors).\n",
                 argv[0]);
    return 2;
  }
  std::vector<std::filesystem::path> files;
  try {
    files = vector_files(argv[1]);
  } catch (const std::filesystem::filesystem_error& error) {
    std::fprintf(stderr, "%s: %s: %s\n", argv[0], argv[1], error.code().message().c_str());
    return 2;
  }
  if (files.empty()) {
    std::fprintf(stderr, "%s: %s: no .json files\n", argv[0], argv[1]);
    return 2;
  }

  // One bus for every test: 64 KiB is too much to allocate 51,200 times.
  auto bus = std::make_unique<recording_bus>();
  int passed = 0, failed = 0;
  for (const std::filesystem::path& path : files) {
    file_result result;
    try {
      result = run_file(path, *bus);
    } catch (const bad_vectors& bad) {
      std::fprintf(stderr, "%s: %s: %s\n", argv[0], path.c_str(), bad.what());
      return 2;
    }
    std::printf("%s  %d passed, %d failed", upper(path.stem().string()).c_str(), result.passed,
                result.failed);
    if (result.failed) std::printf("; first: %s", result.first_failure.c_str());
    std::printf("\n");
    passed += result.passed;
    failed += result.failed;
  }
  std::printf("%d passed, %d failed\n", passed, failed);
  return failed ? 1 : 0;
}
