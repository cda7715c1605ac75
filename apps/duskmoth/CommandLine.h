#pragma once
// The duskmoth program's command line: which command runs, with which files
// and options, parsed and checked with CLI11. Parsing prints nothing: it
// hands back the exit code and the text to show (help, or the reason for a
// usage error), so that tests can drive it.

#include <array>
#include <filesystem>
#include <optional>
#include <string>

// What `duskmoth render` was asked for; unset options leave the document's
// render settings as they are.
struct RenderOptions {
  std::optional<std::filesystem::path> scene;  // none: the built-in demo scene
  std::filesystem::path output = "render.png";
  std::optional<int> width;  // with height, from --size WxH
  std::optional<int> height;
  std::optional<int> antialias;
  std::optional<int> shadows;
  std::optional<int> shadow_map_size;
  std::optional<double> shadow_map_offset;
  std::optional<bool> favor_memory;  // the renderer's own flag, kept for the render path
  std::optional<int> threads;        // threads for reading the scene and rendering; none: the default
  bool quiet = false;
  std::optional<std::string> view;  // the document's view of that name, made active
  // The camera for this render: location and target come together; the
  // angle is the half-angle of the image's narrower side in degrees, as the
  // document's views hold it.
  std::optional<std::array<double, 3>> camera_location;
  std::optional<std::array<double, 3>> camera_target;
  std::optional<double> camera_angle;
  // `render` alone: the image's alpha is each pixel's coverage (.png, .tga);
  // the phase times and peak memory follow the closing line.
  bool alpha = false;
  bool stats = false;
};

// What `duskmoth window` was asked for: the render options (the output
// aside), and what a script wants of the window.
struct WindowOptions {
  RenderOptions render;
  std::optional<std::filesystem::path> screenshot;  // the window's picture, then close it
  std::optional<int> zoom;                          // 1..10 or -2..-10, applied after the render
  std::optional<int> screenshot_at;                 // the render's percentage at which the picture is taken
};

// What `duskmoth material` and `duskmoth properties` (and, the document
// alone, `duskmoth options`) were asked for.
struct DialogOptions {
  std::filesystem::path document;               // a .kvd document, saved in place
  std::optional<std::string> material;          // material: its name; none: the first
  std::optional<std::filesystem::path> script;  // the dialogs' user, played from a file
};

struct CommandLine {
  enum class Command { none, render, window, import, info, material, properties, options };
  Command command = Command::none;
  RenderOptions render;
  WindowOptions window;
  DialogOptions dialog;          // material, properties, options
  std::filesystem::path input;   // import, info
  std::filesystem::path output;  // import
};

struct ParseOutcome {
  // Exit codes of the program.
  static constexpr int kOk = 0;
  static constexpr int kFailed = 1;
  static constexpr int kUsage = 2;

  bool run = false;    // a command is to run; otherwise exit with exit_code
  int exit_code = kOk;
  std::string text;    // help or version (stdout), or the usage error (stderr)
};

ParseOutcome ParseCommandLine(int argc, const char* const* argv, CommandLine& line);

// Checks a --size argument: "WxH" with whole numbers 1..16384.
bool ParseImageSize(const std::string& text, int& width, int& height);
// Checks a point argument: "X,Y,Z", three numbers within 1e8 of 0.
bool ParsePoint(const std::string& text, std::array<double, 3>& point);
