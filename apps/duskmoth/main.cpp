// duskmoth: the command-line host program. Its commands arrive with the
// host's application layer; until then it only names itself.
#include <cstdio>

int main(int argc, char** argv) {
  (void)argv;
  std::fprintf(argc > 1 ? stderr : stdout, "usage: duskmoth render|import|info ...\n");
  return argc > 1 ? 2 : 0;
}
