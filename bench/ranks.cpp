// One image rendered by 1, 2 and 4 processes under mpirun (oversubscribed on
// this machine, one thread each): the whole time, each rank's time, and the
// cost of gathering the rows on the first rank, per megapixel. Each run is
// the real program, so the figures include starting the processes.
//
//   ranks [SCENE] [WxH]     (default: the demo scene at 1920x1080)

#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

namespace {

struct Figures {
  bool ok = false;
  double wall = 0;    // seconds, mpirun's start to end
  double gather = 0;  // seconds
  double per_mp = 0;  // gather seconds per megapixel
  std::string ranks;  // the "Ranks:" line
};

Figures Run(int ranks, const std::string& scene, const std::string& size) {
  const std::string command = "mpirun --oversubscribe --allow-run-as-root -n " + std::to_string(ranks) +
                              " '" DM_BINARY_DIR "/duskmoth' render " + scene + " --size " + size +
                              " --aa 2 --shadows 1 --threads 1 --stats -q -o /tmp/duskmoth-ranks-bench.png"
                              " 2> /tmp/duskmoth-ranks-bench.txt";
  const auto start = std::chrono::steady_clock::now();
  const int status = std::system(command.c_str());
  Figures f;
  f.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  f.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  std::stringstream err;
  err << std::ifstream("/tmp/duskmoth-ranks-bench.txt").rdbuf();
  const std::string text = err.str();
  std::smatch m;
  if (std::regex_search(text, m, std::regex("Ranks: [^\\n]*"))) f.ranks = m[0];
  if (std::regex_search(text, m, std::regex("Gathering the rows: ([0-9.]+) s, ([0-9.]+) s per megapixel"))) {
    f.gather = std::stod(m[1]);
    f.per_mp = std::stod(m[2]);
  }
  if (!f.ok) std::fprintf(stderr, "%s", text.c_str());
  return f;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string scene = argc > 1 ? std::string("'") + argv[1] + "'" : "";
  const std::string size = argc > 2 ? argv[2] : "1920x1080";
  std::printf("%-6s %10s %12s %16s  %s\n", "ranks", "wall s", "gather s", "gather s/MP", "per rank");
  for (const int ranks : {1, 2, 4}) {
    const Figures f = Run(ranks, scene, size);
    if (!f.ok) {
      std::printf("%-6d failed\n", ranks);
      return 1;
    }
    std::printf("%-6d %10.3f %12.4f %16.4f  %s\n", ranks, f.wall, f.gather, f.per_mp, f.ranks.c_str());
  }
  return 0;
}
