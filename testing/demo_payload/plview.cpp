// The demo's stand-alone viewer: names the Plim documents it is given, which
// is all a demonstration needs of it.
#include <cstdio>

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: plview DOCUMENT...\n");
    return 1;
  }
  for (int i = 1; i < argc; ++i) std::printf("plview: showing %s\n", argv[i]);
  return 0;
}
