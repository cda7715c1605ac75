#include "apps/duskmoth/CommandLine.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <sstream>

#include <CLI/CLI.hpp>

#include "host/import/JsonSceneImporter.h"
#include "host/sdk/SdkRender.h"
#include "host/toolkit/ScnRenderSettings.h"

namespace {

// --size asks for no image the render path would refuse.
constexpr int kMaxImageSide = CKavraSdkRender::kMaxImageSide;
// Points as far out as a scene description may place them.
constexpr double kMaxCoordinate = CJsonSceneImporter::kMaxCoordinate;

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  return s;
}

// The image formats the host's bitmap class writes, by extension.
bool IsImageFile(const std::filesystem::path& path) {
  const std::string ext = Lower(path.extension().string());
  return ext == ".png" || ext == ".bmp" || ext == ".jpg" || ext == ".jpeg" || ext == ".tga";
}

// The formats among those whose files keep an alpha channel.
bool HasAlphaChannel(const std::filesystem::path& path) {
  const std::string ext = Lower(path.extension().string());
  return ext == ".png" || ext == ".tga";
}

ParseOutcome Usage(const std::string& message) {
  return {false, ParseOutcome::kUsage, "duskmoth: " + message + "\nRun 'duskmoth --help' for usage.\n"};
}

// A whole number from lo to hi; CLI11's own range check would call "x" out of range.
CLI::Validator Whole(int lo, int hi) {
  const std::string range = std::to_string(lo) + " to " + std::to_string(hi);
  return CLI::Validator(
      [lo, hi, range](std::string& text) -> std::string {
        std::size_t used = 0;
        long value = 0;
        try {
          value = std::stol(text, &used);
        } catch (const std::exception&) {
          used = 0;
        }
        if (used == 0 || used != text.size()) return "expected an integer from " + range + ", not \"" + text + "\"";
        if (value < lo || value > hi) return "expected " + range + ", not " + text;
        return {};
      },
      "INT in " + range);
}

// CLI11's "The following argument(s) was/were not expected: a b" in the
// program's words, an unknown option first.
ParseOutcome Unexpected(const std::string& what) {
  std::istringstream extras(what.substr(what.find(": ") + 2));
  std::string first, word;
  while (extras >> word) {
    if (word.rfind('-', 0) == 0) return Usage("unknown option " + word);
    if (first.empty()) first = word;
  }
  return Usage("unexpected argument " + first);
}

// The options `render` and `window` share, as CLI11 reads them, then checked.
struct RenderFlags {
  std::string scene, size, view, location, target;
  int antialias = 0, shadows = 0, map_size = 0, threads = 0;
  double map_offset = 0, angle = 0;
  bool favor_memory = false, favor_speed = false, quiet = false;
  CLI::Option* view_opt = nullptr;
  CLI::Option* location_opt = nullptr;
  CLI::Option* target_opt = nullptr;
  CLI::Option* angle_opt = nullptr;
  CLI::Option* size_opt = nullptr;
  CLI::Option* aa_opt = nullptr;
  CLI::Option* shadows_opt = nullptr;
  CLI::Option* map_size_opt = nullptr;
  CLI::Option* map_offset_opt = nullptr;
  CLI::Option* threads_opt = nullptr;

  void AddTo(CLI::App& command) {
    command.add_option("SCENE", scene, "a .kvd document, a .json scene description or a model file");
    size_opt = command.add_option("--size", size, "image size WxH, such as 800x600");
    aa_opt = command.add_option("--aa", antialias, "antialiasing: 0 none, 1 normal, 2 best, 3 best 4x4")
                 ->check(Whole(kAntialiasNone, kMaxAntialiasLevel));
    shadows_opt = command.add_option("--shadows", shadows, "shadows: 0 none, 1 normal, 2 best")->check(Whole(0, 2));
    map_size_opt = command.add_option("--shadow-map-size", map_size, "side of the shadow maps in pixels, 8 to 4096")
                       ->check(Whole(8, 4096));
    map_offset_opt =
        command.add_option("--shadow-map-offset", map_offset, "depth bias of the shadow test, in model units");
    CLI::Option* memory = command.add_flag("--favor-memory", favor_memory, "fill pixel cells a few rows at a time");
    CLI::Option* speed = command.add_flag("--favor-speed", favor_speed, "fill pixel cells many rows at a time");
    memory->excludes(speed);
    threads_opt = command.add_option("--threads", threads, "threads the scene is read and rendered on, 1 to 256 (default: every core)")
                      ->check(Whole(1, 256));
    command.add_flag("-q,--quiet", quiet, "no progress, warnings or closing line");
    view_opt = command.add_option("--view", view, "render the document's view of this name")->type_name("NAME");
    location_opt = command.add_option("--camera-location", location, "put the camera at X,Y,Z for this render")
                       ->type_name("X,Y,Z");
    target_opt = command.add_option("--camera-target", target, "turn the camera towards X,Y,Z (with --camera-location)")
                     ->type_name("X,Y,Z");
    location_opt->needs(target_opt);
    target_opt->needs(location_opt);
    angle_opt = command.add_option(
        "--camera-angle", angle, "half-angle of the image's narrower side in degrees, above 0 and below 90")
        ->type_name("DEG");
  }

  // Fills r; a usage error when a value is out of range.
  std::optional<ParseOutcome> Take(RenderOptions& r) const {
    if (!scene.empty()) r.scene = scene;
    if (*size_opt) {
      int w = 0, h = 0;
      if (!ParseImageSize(size, w, h))
        return Usage("--size: expected WxH with sides 1 to " + std::to_string(kMaxImageSide) + ", such as 800x600");
      r.width = w;
      r.height = h;
    }
    if (*aa_opt) r.antialias = antialias;
    if (*shadows_opt) r.shadows = shadows;
    if (*map_size_opt) r.shadow_map_size = map_size;
    if (*map_offset_opt) {
      if (!std::isfinite(map_offset) || std::fabs(map_offset) > 1e6)
        return Usage("--shadow-map-offset: expected a number between -1e6 and 1e6");
      r.shadow_map_offset = map_offset;
    }
    if (favor_memory) r.favor_memory = true;
    if (favor_speed) r.favor_memory = false;
    if (*threads_opt) r.threads = threads;
    r.quiet = quiet;
    if (*view_opt) r.view = view;
    if (*location_opt) {
      std::array<double, 3> from{}, to{};
      const std::string expected = ": expected three numbers X,Y,Z (each within 1e8 of 0), such as ";
      if (!ParsePoint(location, from)) return Usage("--camera-location" + expected + "4,-6,3");
      if (!ParsePoint(target, to)) return Usage("--camera-target" + expected + "0,0,1");
      if (from == to)
        return Usage("--camera-location and --camera-target are the same point: the camera needs a direction");
      r.camera_location = from;
      r.camera_target = to;
    }
    if (*angle_opt) {
      if (!(angle > 0 && angle < 90))
        return Usage("--camera-angle: expected degrees above 0 and below 90 (the half-angle of the image's narrower side)");
      r.camera_angle = angle;
    }
    return std::nullopt;
  }
};

}  // namespace

bool ParseImageSize(const std::string& text, int& width, int& height) {
  const auto x = text.find_first_of("xX");
  if (x == std::string::npos || x == 0 || x + 1 >= text.size() || x > 5 || text.size() - x - 1 > 5) return false;
  const auto digits = [](std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](unsigned char c) { return std::isdigit(c) != 0; });
  };
  const std::string w = text.substr(0, x), h = text.substr(x + 1);
  if (!digits(w) || !digits(h)) return false;
  const int iw = std::stoi(w), ih = std::stoi(h);
  if (iw < 1 || ih < 1 || iw > kMaxImageSide || ih > kMaxImageSide) return false;
  width = iw;
  height = ih;
  return true;
}

bool ParsePoint(const std::string& text, std::array<double, 3>& point) {
  const char* p = text.c_str();
  for (std::size_t i = 0; i < 3; ++i) {
    if (i > 0 && *p++ != ',') return false;
    while (*p == ' ') ++p;
    char* end = nullptr;
    const double value = std::strtod(p, &end);
    if (end == p || !std::isfinite(value) || std::fabs(value) > kMaxCoordinate) return false;
    point[i] = value;
    for (p = end; *p == ' ';) ++p;
  }
  return *p == '\0';
}

ParseOutcome ParseCommandLine(int argc, const char* const* argv, CommandLine& line) {
  CLI::App app("DuskMoth Render: render scenes, show them in a window, import them into documents, describe them.",
               "duskmoth");
  app.set_version_flag("--version", "duskmoth 0.1.0");
  app.require_subcommand(1, 1);

  RenderFlags render_flags, window_flags;
  std::string output;
  CLI::App* render = app.add_subcommand("render", "Render a scene (without SCENE: the built-in demo scene).");
  render_flags.AddTo(*render);
  CLI::Option* output_opt = render->add_option("-o,--output", output, "the image to write; its extension picks the format (default render.png)");
  bool alpha = false, stats = false;
  render->add_flag("--alpha", alpha, "write each pixel's coverage as the image's alpha (.png and .tga only)");
  render->add_flag("--stats", stats, "after the closing line, the time of each phase and the peak memory");

  std::string screenshot;
  int zoom = 1, screenshot_at = 0;
  CLI::App* window = app.add_subcommand("window", "Render a scene in a window that stays open until closed.");
  window_flags.AddTo(*window);
  CLI::Option* screenshot_opt = window->add_option(
      "--screenshot", screenshot, "save a picture of the window once rendered (its extension picks the format), then close it");
  CLI::Option* zoom_opt =
      window->add_option("--zoom", zoom, "show the image at a zoom after the render: 1 to 10, or -2 to -10 to reduce")
          ->check(Whole(-10, 10));
  CLI::Option* at_opt = window->add_option("--screenshot-at", screenshot_at,
                                           "take the screenshot when the render reaches this percentage, then stop it")
                            ->check(Whole(0, 100))
                            ->needs(screenshot_opt);

  std::string import_in, import_out, info_in;
  CLI::App* import = app.add_subcommand("import", "Import a scene or model into a .kvd document.");
  import->add_option("IN", import_in, "a .json scene description, a model file or a .kvd document")->required();
  import->add_option("-o,--output", import_out, "the .kvd document to write")->required();
  CLI::App* info = app.add_subcommand("info", "Describe a document, scene description or model.");
  info->add_option("FILE", info_in, "a .kvd document, a .json scene description or a model file")->required();

  // The commands that edit a document in place.
  std::string document, material_name, script;
  CLI::App* material = app.add_subcommand("material", "Edit a material's render settings in the material dialog.");
  material->add_option("DOC", document, "the .kvd document; saved when the dialog is confirmed")->required();
  CLI::Option* name_opt = material->add_option("NAME", material_name, "the material (default: the first)");
  CLI::App* properties =
      app.add_subcommand("properties", "Edit the document's render settings in the render properties dialog.");
  properties->add_option("DOC", document, "the .kvd document; saved when the dialog is confirmed")->required();
  CLI::Option* script_opts[2];
  for (int i = 0; CLI::App* command : {material, properties})
    script_opts[i++] = command->add_option("--script", script, "play the user from this dialog script instead");
  CLI::App* options = app.add_subcommand("options", "Edit the document's render settings at the render options prompt.");
  options->add_option("DOC", document, "the .kvd document; saved when something was changed")->required();

  const auto known = [](const std::string& name) {
    static const char* const kCommands[] = {"render", "window", "import", "info", "material", "properties", "options"};
    return std::find(std::begin(kCommands), std::end(kCommands), name) != std::end(kCommands);
  };
  const auto unknown_command = [](const std::string& name) {
    return Usage("unknown command \"" + name +
                 "\" (the commands are render, window, import, info, material, properties and options)");
  };
  // duskmoth help [COMMAND]: the help of the program or of one command.
  if (argc > 1 && std::string(argv[1]) == "help") {
    if (argc == 2) return {false, ParseOutcome::kOk, app.help()};
    if (argc > 3) return Usage("unexpected argument " + std::string(argv[3]));
    if (!known(argv[2])) return unknown_command(argv[2]);
    const char* const as_help[] = {argv[0], argv[2], "--help"};
    return ParseCommandLine(3, as_help, line);
  }
  if (argc < 2) return Usage("a command is required: render, window, import, info, material, properties or options");
  if (argv[1][0] != '-' && !known(argv[1])) return unknown_command(argv[1]);
  if (argv[1][0] == '-' && std::string(argv[1]) != "--version" && std::string(argv[1]) != "-h" &&
      std::string(argv[1]) != "--help")
    return Usage("unknown option " + std::string(argv[1]));
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    return {false, ParseOutcome::kOk, app.help()};
  } catch (const CLI::CallForAllHelp&) {
    return {false, ParseOutcome::kOk, app.help("", CLI::AppFormatMode::All)};
  } catch (const CLI::CallForVersion& e) {
    return {false, ParseOutcome::kOk, std::string(e.what()) + "\n"};
  } catch (const CLI::ExtrasError& e) {
    return Unexpected(e.what());
  } catch (const CLI::ParseError& e) {
    return Usage(e.what());
  }

  if (render->parsed()) {
    line.command = CommandLine::Command::render;
    RenderOptions& r = line.render;
    if (std::optional<ParseOutcome> error = render_flags.Take(r)) return *error;
    if (*output_opt && output.empty()) return Usage("--output: the name is empty");
    if (!output.empty()) r.output = output;
    if (!IsImageFile(r.output))
      return Usage("--output: " + r.output.string() + ": the extension must be .png, .bmp, .jpg or .tga");
    if (alpha && !HasAlphaChannel(r.output))
      return Usage("--alpha: " + r.output.string() + ": the format has no alpha channel; write .png or .tga");
    r.alpha = alpha;
    r.stats = stats;
  } else if (window->parsed()) {
    line.command = CommandLine::Command::window;
    WindowOptions& w = line.window;
    if (std::optional<ParseOutcome> error = window_flags.Take(w.render)) return *error;
    if (*screenshot_opt) {
      if (!IsImageFile(screenshot))
        return Usage("--screenshot: " + screenshot + ": the extension must be .png, .bmp, .jpg or .tga");
      w.screenshot = screenshot;
    }
    if (*zoom_opt) {
      if (zoom == 0 || zoom == -1) return Usage("--zoom: expected 1 to 10, or -2 to -10");
      w.zoom = zoom;
    }
    if (*at_opt) w.screenshot_at = screenshot_at;
  } else if (import->parsed()) {
    line.command = CommandLine::Command::import;
    line.input = import_in;
    line.output = import_out;
    if (import_out.empty()) return Usage("--output: the name is empty");
    if (Lower(line.output.extension().string()) != ".kvd")
      return Usage("--output: " + import_out + ": the document must have the extension .kvd");
  } else if (info->parsed()) {
    line.command = CommandLine::Command::info;
    line.input = info_in;
  } else {
    line.command = material->parsed()     ? CommandLine::Command::material
                   : properties->parsed() ? CommandLine::Command::properties
                                          : CommandLine::Command::options;
    DialogOptions& d = line.dialog;
    d.document = document;
    if (Lower(d.document.extension().string()) != ".kvd")
      return Usage(document + ": the document must have the extension .kvd");
    if (*name_opt) d.material = material_name;
    if (*script_opts[0] || *script_opts[1]) d.script = script;
  }
  return {true, ParseOutcome::kOk, {}};
}
