// Says which user runs it, through its own library: it starts only where that library is found.
#include <cstdio>

extern "C" unsigned ProbeUser();

int main() {
  std::printf("probe %u\n", ProbeUser());
  return 0;
}
