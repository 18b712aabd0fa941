// One application per desktop session: a second `quorlin FILE` hands FILE
// to the window already running and exits, the commands that print stay in
// their own process, with neither display nor session bus, and a playing
// song keeps the desktop from suspending. The real program on the test
// display, over a private session bus; windows are watched from outside, on
// the X server, as a desktop sees them, and the session manager is this test.

#include <gio/gio.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "spc_builder.h"

// Last: Xlib's macros (None, Bool, Status) would rename GoogleTest's names.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>

namespace {

constexpr auto poll_interval = std::chrono::milliseconds(20);
constexpr auto start_timeout = std::chrono::seconds(30);  // a loaded machine, sanitizers

struct display_closer {
  void operator()(Display* display) const noexcept { XCloseDisplay(display); }
};
struct object_unref {
  void operator()(gpointer object) const noexcept { g_object_unref(object); }
};
using process_handle = std::unique_ptr<GSubprocess, object_unref>;

// A window that goes away between the listing and a property read.
int ignore_x_errors(Display*, XErrorEvent*) { return 0; }

// A mapped top-level window: whose process, titled what.
struct shown_window {
  long pid = -1;
  std::string title;
};

std::string window_property(Display* display, Window window, const char* name, Atom type) {
  Atom actual = None;
  int format = 0;
  unsigned long count = 0;
  unsigned long after = 0;
  unsigned char* data = nullptr;
  std::string value;
  if (XGetWindowProperty(display, window, XInternAtom(display, name, False), 0, 4096, False, type,
                         &actual, &format, &count, &after, &data) == Success &&
      data != nullptr) {
    if (format == 8) value.assign(reinterpret_cast<char*>(data), count);
    if (format == 32 && count == 1) value = std::to_string(*reinterpret_cast<long*>(data));
  }
  if (data != nullptr) XFree(data);
  return value;
}

std::vector<shown_window> mapped_windows(Display* display) {
  Window root = 0;
  Window parent = 0;
  Window* children = nullptr;
  unsigned int count = 0;
  std::vector<shown_window> shown;
  // Without a window manager, top-level windows are the root's children.
  if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count))
    return shown;
  const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
  for (unsigned int i = 0; i < count; ++i) {
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, children[i], &attributes) ||
        attributes.map_state != IsViewable || attributes.override_redirect)
      continue;
    const std::string pid = window_property(display, children[i], "_NET_WM_PID", XA_CARDINAL);
    if (pid.empty()) continue;
    shown.push_back({std::stol(pid), window_property(display, children[i], "_NET_WM_NAME", utf8)});
  }
  if (children != nullptr) XFree(children);
  return shown;
}

long pid_of(GSubprocess* process) {
  const char* id = g_subprocess_get_identifier(process);
  return id ? std::stol(id) : -1;
}

// The program's output and exit status, run to its end.
struct finished_run {
  int status = -1;
  std::string out;
  std::string err;
};

class RunningInstanceTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    // Children inherit the private bus's address from the environment; the
    // bus unsets DISPLAY, which the windows need.
    const char* display = g_getenv("DISPLAY");
    const std::string display_name = display ? display : "";
    bus_ = g_test_dbus_new(G_TEST_DBUS_NONE);
    g_test_dbus_up(bus_);
    if (!display_name.empty()) g_setenv("DISPLAY", display_name.c_str(), TRUE);
  }
  static void TearDownTestSuite() {
    g_test_dbus_down(bus_);
    g_clear_object(&bus_);
  }

  void SetUp() override {
    display_.reset(XOpenDisplay(nullptr));
    if (!display_) GTEST_SKIP() << "No display: run through scripts/with-test-session";
    XSetErrorHandler(ignore_x_errors);
  }

  void TearDown() override {
    for (const process_handle& process : started_) g_subprocess_force_exit(process.get());
    for (const process_handle& process : started_) g_subprocess_wait(process.get(), nullptr, nullptr);
  }

  std::string song(const std::string& name) {
    return spc_builder().text_tag(name, "Game", "", "65").write_to(dir_.path(), name + ".spc");
  }

  static GSubprocessLauncher* launcher(GSubprocessFlags flags, bool without_desktop) {
    GSubprocessLauncher* made = g_subprocess_launcher_new(flags);
    if (without_desktop) {
      g_subprocess_launcher_unsetenv(made, "DISPLAY");
      g_subprocess_launcher_setenv(made, "DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent",
                                   TRUE);
    }
    return made;
  }

  static GSubprocess* spawn(GSubprocessLauncher* with, const std::vector<std::string>& arguments) {
    std::vector<const char*> argv{QUORLIN_PROGRAM};
    for (const std::string& argument : arguments) argv.push_back(argument.c_str());
    argv.push_back(nullptr);
    g_autoptr(GError) error = nullptr;
    GSubprocess* process = g_subprocess_launcher_spawnv(with, argv.data(), &error);
    EXPECT_TRUE(process) << (error ? error->message : "");
    return process;
  }

  // Started and left running; ended when the test ends.
  GSubprocess* start(const std::vector<std::string>& arguments, bool without_bus = false,
                     const std::vector<std::pair<const char*, std::string>>& environment = {}) {
    // Its output goes to the test's, unread: a pipe would fill and stop it.
    std::unique_ptr<GSubprocessLauncher, object_unref> with(
        launcher(G_SUBPROCESS_FLAGS_NONE, false));
    if (without_bus)
      g_subprocess_launcher_setenv(with.get(), "DBUS_SESSION_BUS_ADDRESS",
                                   "unix:path=/nonexistent", TRUE);
    for (const auto& [name, value] : environment)
      g_subprocess_launcher_setenv(with.get(), name, value.c_str(), TRUE);
    started_.emplace_back(spawn(with.get(), arguments));
    return started_.back().get();
  }

  // Run to its end, which must come within the start-up timeout; in the
  // folder `cwd` when one is given.
  static finished_run run(const std::vector<std::string>& arguments, bool without_desktop = false,
                          const std::string& cwd = "") {
    std::unique_ptr<GSubprocessLauncher, object_unref> with(launcher(
        GSubprocessFlags(G_SUBPROCESS_FLAGS_STDOUT_PIPE | G_SUBPROCESS_FLAGS_STDERR_PIPE),
        without_desktop));
    if (!cwd.empty()) g_subprocess_launcher_set_cwd(with.get(), cwd.c_str());
    process_handle process(spawn(with.get(), arguments));
    finished_run result;
    if (!process) return result;
    g_autoptr(GCancellable) cancellable = g_cancellable_new();
    guint timeout = g_timeout_add_seconds(
        std::chrono::seconds(start_timeout).count(),
        [](gpointer data) noexcept {
          g_cancellable_cancel(G_CANCELLABLE(data));
          return G_SOURCE_REMOVE;
        },
        cancellable);
    g_autofree char* out = nullptr;
    g_autofree char* err = nullptr;
    g_autoptr(GError) error = nullptr;
    const bool ended =
        g_subprocess_communicate_utf8(process.get(), nullptr, cancellable, &out, &err, &error);
    if (!g_cancellable_is_cancelled(cancellable)) g_source_remove(timeout);
    if (!ended) {
      ADD_FAILURE() << "quorlin did not end: " << (error ? error->message : "");
      g_subprocess_force_exit(process.get());
      return result;
    }
    result.status = g_subprocess_get_exit_status(process.get());
    result.out = out ? out : "";
    result.err = err ? err : "";
    return result;
  }

  // Polls the display until `done` holds of its mapped windows, answering
  // the bus meanwhile.
  bool wait_for_windows(const std::function<bool(const std::vector<shown_window>&)>& done) {
    return wait_for([&] { return done(mapped_windows(display_.get())); });
  }

  static bool wait_for(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + start_timeout;
    while (std::chrono::steady_clock::now() < deadline) {
      while (g_main_context_iteration(nullptr, FALSE)) {
      }
      if (done()) return true;
      std::this_thread::sleep_for(poll_interval);
    }
    return false;
  }

  // Space, as a person presses it in the window of `pid` (Play or Stop),
  // sent to the program that made the window.
  void press_space(long pid) {
    Display* display = display_.get();
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count);
    for (unsigned int i = 0; i < count; ++i) {
      if (window_property(display, children[i], "_NET_WM_PID", XA_CARDINAL) != std::to_string(pid))
        continue;
      XKeyEvent key{};
      key.display = display;
      key.window = children[i];
      key.root = root;
      key.keycode = XKeysymToKeycode(display, XK_space);
      key.same_screen = True;
      key.time = CurrentTime;
      for (int type : {KeyPress, KeyRelease}) {
        key.type = type;
        XSendEvent(display, children[i], False, 0, reinterpret_cast<XEvent*>(&key));
      }
    }
    if (children != nullptr) XFree(children);
    XFlush(display);
  }

  bool shows(long pid, const std::string& title) {
    return wait_for_windows([&](const std::vector<shown_window>& windows) {
      return std::any_of(windows.begin(), windows.end(), [&](const shown_window& window) {
        return window.pid == pid && window.title == title;
      });
    });
  }

  std::vector<shown_window> windows() { return mapped_windows(display_.get()); }

  temp_dir dir_;

 private:
  static GTestDBus* bus_;
  std::unique_ptr<Display, display_closer> display_;
  std::vector<process_handle> started_;
};

GTestDBus* RunningInstanceTest::bus_ = nullptr;

// GNOME's session manager as far as GTK's inhibit goes, on the private bus:
// it records what it is asked. Started before the program, which looks for
// it once at start.
class session_manager {
 public:
  session_manager() {
    static const char xml[] =
        "<node><interface name='org.gnome.SessionManager'>"
        "<method name='Inhibit'><arg type='s' direction='in'/><arg type='u' direction='in'/>"
        "<arg type='s' direction='in'/><arg type='u' direction='in'/>"
        "<arg type='u' direction='out'/></method>"
        "<method name='Uninhibit'><arg type='u' direction='in'/></method>"
        "<method name='IsInhibited'><arg type='u' direction='in'/>"
        "<arg type='b' direction='out'/></method>"
        "</interface></node>";
    g_autoptr(GDBusNodeInfo) node = g_dbus_node_info_new_for_xml(xml, nullptr);
    bus_ = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    static const GDBusInterfaceVTable vtable{on_call, nullptr, nullptr, {}};
    object_ = g_dbus_connection_register_object(bus_, "/org/gnome/SessionManager",
                                                node->interfaces[0], &vtable, this, nullptr, nullptr);
    name_ = g_bus_own_name_on_connection(bus_, "org.gnome.SessionManager",
                                         G_BUS_NAME_OWNER_FLAGS_NONE, on_name, nullptr, this,
                                         nullptr);
  }
  ~session_manager() {
    g_bus_unown_name(name_);
    g_dbus_connection_unregister_object(bus_, object_);
    g_object_unref(bus_);
  }
  session_manager(const session_manager&) = delete;
  session_manager& operator=(const session_manager&) = delete;

  bool owned = false;
  std::vector<std::string> reasons;   // of each Inhibit, with its flags: "4 Playing x.spc"
  std::vector<guint32> released;      // cookies given back
  guint32 last_cookie = 0;

 private:
  static void on_name(GDBusConnection*, const char*, gpointer self) noexcept {
    static_cast<session_manager*>(self)->owned = true;
  }
  static void on_call(GDBusConnection*, const char*, const char*, const char*, const char* method,
                      GVariant* parameters, GDBusMethodInvocation* invocation,
                      gpointer data) noexcept {
    auto* self = static_cast<session_manager*>(data);
    if (g_strcmp0(method, "Inhibit") == 0) {
      const char* reason = nullptr;
      guint32 flags = 0;
      g_variant_get(parameters, "(&su&su)", nullptr, nullptr, &reason, &flags);
      self->reasons.push_back(std::to_string(flags) + " " + reason);
      g_dbus_method_invocation_return_value(invocation, g_variant_new("(u)", ++self->last_cookie));
    } else if (g_strcmp0(method, "Uninhibit") == 0) {
      guint32 cookie = 0;
      g_variant_get(parameters, "(u)", &cookie);
      self->released.push_back(cookie);
      g_dbus_method_invocation_return_value(invocation, nullptr);
    } else {
      g_dbus_method_invocation_return_value(invocation, g_variant_new("(b)", FALSE));
    }
  }

  GDBusConnection* bus_ = nullptr;
  guint object_ = 0;
  guint name_ = 0;
};

TEST_F(RunningInstanceTest, ASecondProcessLoadsItsFileIntoTheRunningWindowAndExits) {
  const std::string first_song = song("first");
  const std::string second_song = song("second");
  GSubprocess* running = start({first_song});
  ASSERT_TRUE(shows(pid_of(running), "first.spc \u2014 Quorlin"));

  const finished_run second = run({second_song});
  EXPECT_EQ(second.status, 0) << second.err;
  EXPECT_EQ(second.err, "") << "a forward says nothing, GLib neither";
  EXPECT_TRUE(shows(pid_of(running), "second.spc \u2014 Quorlin"))
      << "the running window did not load the second file";
  const std::vector<shown_window> shown = windows();
  EXPECT_EQ(shown.size(), 1u) << "a second window opened";

  // No file: the running window is raised, and nothing else changes.
  const finished_run bare = run({});
  EXPECT_EQ(bare.status, 0);
  EXPECT_EQ(bare.err, "");
  EXPECT_TRUE(shows(pid_of(running), "second.spc \u2014 Quorlin"));
  EXPECT_EQ(windows().size(), 1u);
}

// The terminal that named the file hears what became of it, in the words of
// the command line, named as given from its own folder; the window goes on.
TEST_F(RunningInstanceTest, ASecondProcessWhoseFileCannotBeReadSaysSoInItsTerminalAndFails) {
  GSubprocess* running = start({song("shown")});
  ASSERT_TRUE(shows(pid_of(running), "shown.spc \u2014 Quorlin"));
  g_file_set_contents(dir_.file("short.spc").c_str(), "x", 1, nullptr);

  const finished_run short_file = run({"short.spc"}, false, dir_.path());
  EXPECT_EQ(short_file.status, 1);
  const std::string named = "quorlin: " + dir_.file("short.spc") + ": ";
  EXPECT_EQ(short_file.err.rfind(named + "Unable to read SPC file", 0), 0u) << short_file.err;
  EXPECT_EQ(std::count(short_file.err.begin(), short_file.err.end(), '\n'), 1) << short_file.err;

  const finished_run missing = run({dir_.file("missing.spc"), song("ignored")});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.err, "Only the first file is opened; ignoring " + dir_.file("ignored.spc") +
                             "\nquorlin: " + dir_.file("missing.spc") +
                             ": Unable to open file: No such file or directory\n");
  EXPECT_EQ(windows().size(), 1u);
  EXPECT_TRUE(shows(pid_of(running), "shown.spc \u2014 Quorlin"));
}

TEST_F(RunningInstanceTest, APlayingSongKeepsTheDesktopAwakeUntilItStopsOrAnotherFileLoads) {
  session_manager manager;
  ASSERT_TRUE(wait_for([&] { return manager.owned; }));
  temp_dir home;  // where the program plays into libao's null device
  g_file_set_contents((home.path() + "/.libao").c_str(), "default_driver=null\n", -1, nullptr);
  const std::string tone =
      spc_builder().text_tag("Tone", "Game", "", "65").square_wave_tone().write_to(dir_.path(), "tone.spc");
  // Core X events, so that a key sent to the window reaches GTK.
  GSubprocess* running =
      start({tone}, false, {{"HOME", home.path()}, {"GDK_CORE_DEVICE_EVENTS", "1"}});
  ASSERT_TRUE(shows(pid_of(running), "tone.spc \u2014 Quorlin"));

  press_space(pid_of(running));
  ASSERT_TRUE(wait_for([&] { return manager.reasons.size() == 1; })) << "Play asked nothing";
  EXPECT_EQ(manager.reasons[0], "4 Playing tone.spc");  // GTK_APPLICATION_INHIBIT_SUSPEND
  press_space(pid_of(running));
  EXPECT_TRUE(wait_for([&] { return manager.released.size() == 1; })) << "Stop released nothing";

  press_space(pid_of(running));
  ASSERT_TRUE(wait_for([&] { return manager.reasons.size() == 2; }));
  EXPECT_EQ(run({song("next")}).status, 0);
  EXPECT_TRUE(wait_for([&] { return manager.released.size() == 2; }))
      << "the song stopped for the next file, and the desktop still may not suspend";
  EXPECT_EQ(manager.released, (std::vector<guint32>{1, 2}));
}

TEST_F(RunningInstanceTest, WithoutASessionBusEachProcessKeepsAWindowOfItsOwn) {
  GSubprocess* one = start({song("one")}, true);
  GSubprocess* two = start({song("two")}, true);
  EXPECT_TRUE(shows(pid_of(one), "one.spc \u2014 Quorlin"));
  EXPECT_TRUE(shows(pid_of(two), "two.spc \u2014 Quorlin"));
}

TEST_F(RunningInstanceTest, CommandsThatPrintRunInTheirOwnProcessWithoutDisplayOrBus) {
  const std::string path = song("listed");
  GSubprocess* running = start({song("shown")});
  ASSERT_TRUE(shows(pid_of(running), "shown.spc \u2014 Quorlin"));

  const finished_run beside = run({"--list", path});
  EXPECT_EQ(beside.status, 0) << beside.err;
  EXPECT_EQ(beside.out.rfind("Sample #\t", 0), 0u) << "the table went elsewhere: " << beside.out;
  EXPECT_TRUE(shows(pid_of(running), "shown.spc \u2014 Quorlin"));

  for (const std::vector<std::string>& command :
       {std::vector<std::string>{"--list", path}, {"--version"}, {"--help"}}) {
    const finished_run alone = run(command, true);
    EXPECT_EQ(alone.status, 0) << command[0] << ": " << alone.err;
    EXPECT_FALSE(alone.out.empty()) << command[0];
  }
}

}  // namespace
