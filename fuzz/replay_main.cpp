// Runs a fuzz target over seed files, for builds without libFuzzer: every
// file named, and every file in every folder named, is fed to the target once.
#include <dirent.h>
#include <stdint.h>
#include <stdio.h>
#include <sys/stat.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

static int RunFile(const std::string &path) {
  std::ifstream f(path, std::ios::binary);
  if (!f) {
    fprintf(stderr, "replay: cannot read %s\n", path.c_str());
    return 1;
  }
  std::ostringstream s;
  s << f.rdbuf();
  const std::string data = s.str();
  LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(data.data()), data.size());
  return 0;
}

int main(int argc, char **argv) {
  int runs = 0, errors = 0;
  for (int i = 1; i < argc; ++i) {
    struct stat st;
    if (stat(argv[i], &st) != 0) {
      fprintf(stderr, "replay: no such seed %s\n", argv[i]);
      ++errors;
      continue;
    }
    if (!S_ISDIR(st.st_mode)) {
      errors += RunFile(argv[i]);
      ++runs;
      continue;
    }
    DIR *d = opendir(argv[i]);
    std::vector<std::string> names;
    while (dirent *e = d ? readdir(d) : nullptr)
      if (e->d_name[0] != '.') names.push_back(std::string(argv[i]) + "/" + e->d_name);
    if (d) closedir(d);
    for (const std::string &n : names) {
      errors += RunFile(n);
      ++runs;
    }
  }
  printf("replay: %d inputs, %d unreadable\n", runs, errors);
  return errors || runs == 0 ? 1 : 0;
}
